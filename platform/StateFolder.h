// The folder where the program keeps what it leaves for the user between
// runs (the transcript of the window's last session): on Linux
// ${XDG_STATE_HOME:-$HOME/.local/state}/varnomiksal, on Windows
// %LOCALAPPDATA%\Varnomiksal. Empty when the system names none.
#pragma once

#include <filesystem>

std::filesystem::path StateFolder();
