// Window tests run on Qt's offscreen platform unless told otherwise; set
// before any test creates the application.
#include <cstdlib>

namespace {
const bool g_offscreen = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return true;
}();
} // namespace
