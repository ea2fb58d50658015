// SHA-256 of a byte string, as lower-case hexadecimal (FIPS 180-4).
#pragma once

#include <string>

std::string Sha256Hex(const std::string& bytes);
