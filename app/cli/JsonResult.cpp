#include "app/cli/JsonResult.h"

#include <cstdio>

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
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
            if (c < 0x20) {
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
