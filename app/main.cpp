// Program entry: "/iq" shows the information box; "--help" and "--version"
// print their text and end; anything else runs the updater's window until
// it closes.
#include "app/TClassSimpleForm_253AA30.h"
#include "platform/Console.h"
#include "platform/Text1251.h"
#include "resources/ImageLabel.h"
#include "ui/elements/qeSimpleForm.h"
#include "ui/toolkit/Application.h"

#include <cstring>
#include <string>

#ifndef VARNO_VERSION
#define VARNO_VERSION "0.0.0"
#endif

namespace {
// The main schema, from its construction until the program ends.
TClassSimpleForm_253AA30* g_mainSchema = nullptr;

const char* kHelp = R"(Usage: varnomiksal [/iq | --help | --version]

Opens the window "Varnomiksal bootloader": choose the serial port of the
device; once the device has answered, "Записать" (write) uploads the image
this program carries to the device's bootloader.

  /iq         show the information box instead of the window
  --help      show this text
  --version   show the program's version and the image it carries

For scripts and service benches use varnomiksal-cli.
)";
} // namespace

int main(int argc, char** argv) {
    // Only the first argument counts; the window toolkit gets none of them.
    const char* first = argc > 1 ? argv[1] : "";
    if (std::strcmp(first, "--help") == 0) {
        ConsoleWrite(TStdStream::out, kHelp);
        return 0;
    }
    if (std::strcmp(first, "--version") == 0) {
        ConsoleWrite(TStdStream::out, "varnomiksal " + std::string(VARNO_VERSION) + " carries " +
                                          ImageTitle(EmbeddedImageLabel()) + "\n");
        return 0;
    }
    bool info = std::strcmp(first, "/iq") == 0;
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
