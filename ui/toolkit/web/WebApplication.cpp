// The web backend of the application object: the browser's own event loop
// runs the page, so there is no loop to run; a closed main form tells the
// page (WebToolkit.js), which shows that the window has closed.
#include "ui/toolkit/Application.h"

#include "ui/toolkit/GuiThread.h"

#include <emscripten/emscripten.h>

// clang-format off
EM_JS(void, varno_ui_closed, (), { Module.varnoUi.closed(); });
EM_JS(void, varno_ui_message_box, (const char* caption, const char* text), {
    Module.varnoUi.messageBox(UTF8ToString(caption), UTF8ToString(text));
});
EM_JS(int, varno_ui_dpi, (), { return 96; });
// clang-format on

#include "platform/Text1251.h"

void TApplication::StartWindowSystem(const char*) {}

void TApplication::EndLoop() {
    varno_ui_closed();
}

// The browser's loop runs the page: Run returns at once, and the page lives on.
void TApplication::Run() {}

void TApplication::ProcessEvents() {
    ServeCalls();
}

bool TApplication::RunUntil(const std::function<bool()>& done, int, int) {
    return done();
}

void TApplication::ApplyIcon() {}

// The page's box is modal to the window (it covers it) but cannot stop the
// caller: it returns at once, and the box stays until the user's OK.
void ShowNativeMessageBox(const std::string& caption, const std::string& text) {
    varno_ui_message_box(Cp1251ToUtf8(caption).c_str(), Cp1251ToUtf8(text).c_str());
}

// CSS pixels: 96 to the inch.
int ScreenLogPixelsY() {
    return varno_ui_dpi();
}
