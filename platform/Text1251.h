// Windows-1251 text: conversion to and from UTF-8 and UTF-16, and ANSI
// lower-casing. The program's own table, never the system's code page.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// UTF-8 to Windows-1251; characters without a Windows-1251 byte become '?'.
std::string Utf8ToCp1251(std::string_view utf8);
// Windows-1251 to UTF-8. Every byte maps (0x98 to U+0098).
std::string Cp1251ToUtf8(std::string_view cp1251);

// UTF-16 to Windows-1251; characters without a Windows-1251 byte (and lone
// surrogates) become '?', a surrogate pair as one character.
std::string Utf16ToCp1251(std::u16string_view utf16);
// Windows-1251 to UTF-16. Every byte maps to one code unit (0x98 to U+0098).
std::u16string Cp1251ToUtf16(std::string_view cp1251);

// Unicode's own forms, which the conversions above are made of: a code point
// (up to U+10FFFF) appended as UTF-8, and UTF-16 as UTF-8 (a surrogate pair as
// one character, a lone surrogate as U+FFFD).
void AppendUtf8(std::string& out, uint32_t codePoint);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Lower-case of one Windows-1251 byte (ASCII and Cyrillic letters).
char AnsiLower1251(char c);
std::string AnsiLowerCase1251(std::string_view s);

// A Windows-1251 string from UTF-8 source text (the schemas' texts).
inline std::string Cp1251(std::string_view utf8) {
    return Utf8ToCp1251(utf8);
}
