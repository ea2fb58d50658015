#include "device/VisibleText.h"

#include <cstdio>

namespace {

std::string Escape(const char* format, unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The length of the well-formed UTF-8 sequence at `i`, or 0.
std::size_t SequenceLength(const std::string& s, std::size_t i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
    if (n == 0 || i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
    return n;
}

} // namespace

std::string VisibleText(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            out += Escape("\\x%02X", c);
        } else if (c < 0x80) {
            out += char(c);
        } else if (std::size_t n = SequenceLength(text, i)) {
            unsigned second = static_cast<unsigned char>(text[i + 1]);
            if (c == 0xC2 && second < 0xA0)
                out += Escape("\\u%04X", second); // U+0080 to U+009F
            else
                out += text.substr(i, n);
            i += n;
            continue;
        } else {
            out += Escape("\\x%02X", c);
        }
        ++i;
    }
    return out;
}

namespace {

bool Continuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

} // namespace

std::size_t Columns(const std::string& text) {
    std::size_t n = 0;
    for (unsigned char c : text)
        n += !Continuation(c);
    return n;
}

std::string FitColumns(const std::string& text, int columns) {
    if (columns <= 1) return text;
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (Continuation((unsigned char)text[i])) continue;
        if (++n >= std::size_t(columns)) return text.substr(0, i);
    }
    return text;
}
