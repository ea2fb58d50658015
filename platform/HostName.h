// The name of this machine, as records of the work done on it carry it.
#pragma once

#include <string>

// Empty when the system does not tell.
std::string HostName();
