// A minimal uploader that speaks the device protocol directly, one write per
// 256-byte block: the yardstick for the element graph's upload.
#pragma once

#include <string>

// Identifies the device on `port`, uploads the embedded image and sends
// "PUSK". Returns an empty string on success, else what went wrong.
std::string ReferenceUpload(const std::string& port);
