// varnomiksal-cli --help: composed from the command table's rows and the
// shared options.
#pragma once

#include <string>

std::string CliHelpText(const std::string& imageTitle);
