// Window tests run on Qt's offscreen platform unless told otherwise; set
// before any test creates the application. (The Win32 toolkit ignores it.)
#include <cstdlib>

namespace {
const bool g_offscreen = [] {
    static char setting[] = "QT_QPA_PLATFORM=offscreen";
    if (!std::getenv("QT_QPA_PLATFORM")) putenv(setting);
    return true;
}();
} // namespace
