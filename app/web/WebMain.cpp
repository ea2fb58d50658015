// The page's entry: the updater's window drawn in the page, on the serial
// ports the user granted. main() builds the window and returns; the
// browser's loop runs the page from then on.
#include "app/TClassSimpleForm_253AA30.h"
#include "app/web/DrainedSuccess.h"
#include "device/SessionLog.h"
#include "platform/web/WebComm.h"
#include "serial/qeComAsync.h"
#include "ui/elements/qeComboBox.h"
#include "ui/elements/qeSimpleForm.h"
#include "ui/toolkit/Application.h"

#include <emscripten/emscripten.h>

#include <string>

namespace {
// The window's schema, for the page's lifetime.
TClassSimpleForm_253AA30* g_schema = nullptr;
} // namespace

int main() {
    TApplication::Create("varnomiksal");
    g_schema = new TClassSimpleForm_253AA30;
    // A success is told once "PUSK" has left the line, and read errors go
    // into the session log.
    TSessionLog* log = g_schema->Log;
    auto note = [log](const std::string& text) { log->Note(text); };
    g_schema->Add<TDrainedSuccess>()->Attach(*g_schema->Session.UploadHost, note);
    OnSerialNote(note);
    g_schema->MainForm->Start();
    return 0;
}

// The ports the page may use have changed (one granted in the chooser, one
// plugged in or out): a port list that can still be chosen from is filled
// anew, keeping the choice. `choose` > 0 chooses COM<choose> as the user
// would, for a port the user has just granted.
extern "C" EMSCRIPTEN_KEEPALIVE void varno_ports_changed(int choose) {
    if (!g_schema || TApplication::Instance().Quitting()) return;
    TControl* combo = g_schema->PortCombo->Control;
    if (!combo || !combo->Enabled() || !combo->Visible()) return;
    const std::string current = combo->Text();
    combo->ResetContent();
    TData none;
    g_schema->Session.SerialPort->inEnumPorts(none, serial_enum_ports);
    // The port being probed is open, so the listing leaves it out: keep it.
    auto indexOf = [combo](const std::string& name) {
        for (int i = 0; i < combo->ItemCount(); ++i)
            if (combo->ItemText(i) == name) return i;
        return -1;
    };
    if (!current.empty() && indexOf(current) < 0) combo->AddItem(current);
    const std::string wanted = choose > 0 ? "COM" + std::to_string(choose) : current;
    const int index = indexOf(wanted);
    combo->SetCurSel(index);
    if (choose > 0 && index >= 0 && combo->hooks.selChange) combo->hooks.selChange();
}
