#include "runtime/JsonResult.h"

#include <cstdio>

namespace {

// The length of the well-formed UTF-8 sequence at `at`, or 0.
std::size_t Utf8Length(const std::string& text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return (unsigned char)text[i]; };
    const unsigned char c = byte(at);
    std::size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
    if (n == 0 || at + n > text.size()) return 0;
    for (std::size_t i = 1; i < n; ++i)
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
    const unsigned char d = byte(at + 1);
    if ((c == 0xE0 && d < 0xA0) || (c == 0xED && d >= 0xA0) || (c == 0xF0 && d < 0x90) ||
        (c == 0xF4 && d >= 0x90))
        return 0; // overlong, a surrogate, or beyond U+10FFFF
    return n;
}

} // namespace

// Bytes that are no UTF-8 become U+FFFD, so that the text is valid JSON.
std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = (unsigned char)text[i];
        if (c >= 0x80) {
            std::size_t n = Utf8Length(text, i);
            if (n == 0) {
                out += "\\ufffd";
                continue;
            }
            out.append(text, i, n);
            i += n - 1;
            continue;
        }
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\u%04x", c);
                out += esc;
            } else {
                out += char(c);
            }
        }
    }
    return out + "\"";
}

void TJsonResult::Add(const std::string& key, const std::string& text) {
    fields_.emplace_back(key, JsonString(text));
}

void TJsonResult::Add(const std::string& key, long long number) {
    fields_.emplace_back(key, std::to_string(number));
}

void TJsonResult::AddReal(const std::string& key, double number) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", number);
    fields_.emplace_back(key, text);
}

void TJsonResult::Add(const std::string& key, bool value) {
    fields_.emplace_back(key, value ? "true" : "false");
}

void TJsonResult::AddEncoded(const std::string& key, std::string json) {
    fields_.emplace_back(key, std::move(json));
}

std::string TJsonResult::Text() const {
    std::string out = "{";
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        if (i > 0) out += ", ";
        out += JsonString(fields_[i].first) + ": " + fields_[i].second;
    }
    return out + "}";
}
