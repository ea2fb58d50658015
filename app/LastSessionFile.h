// The window's transcript of its last session, kept in the user's state
// folder (platform/StateFolder.h) as last-session.log; the one before it
// becomes last-session.log.1.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The file's path; empty when the system names no state folder.
std::filesystem::path LastSessionPath();
// Keeps the previous transcript as ".1" and writes `lines`; false when the
// file could not be written (the window goes on all the same).
bool WriteLastSession(const std::vector<std::string>& lines);
