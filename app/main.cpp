// Program entry: "/iq" shows the information box; anything else runs the
// updater's window until it closes.
#include "app/TClassSimpleForm_253AA30.h"
#include "runtime/Text1251.h"
#include "ui/elements/qeSimpleForm.h"
#include "ui/toolkit/Application.h"

#include <cstring>

namespace {
// The main schema, from its construction until the program ends.
TClassSimpleForm_253AA30* g_mainSchema = nullptr;
} // namespace

int main(int argc, char** argv) {
    // Only the first argument counts; the window toolkit gets none of them.
    bool info = argc > 1 && std::strcmp(argv[1], "/iq") == 0;
    TApplication& application = TApplication::Create(argc > 0 ? argv[0] : nullptr);
    if (info) {
        ShowMessageBox("Qe Info", Cp1251("Сделано в Qe."));
        return 0;
    }
    g_mainSchema = new TClassSimpleForm_253AA30;
    g_mainSchema->MainForm->Start();
    application.Run();
    delete g_mainSchema; // dispatch is already off: nothing reacts
    g_mainSchema = nullptr;
    return 0;
}
