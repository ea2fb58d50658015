#include "runtime/JsonLine.h"

#include "platform/Text1251.h"

#include <cstdlib>
#include <cstring>

namespace {

struct TReader {
    const std::string& s;
    std::size_t at = 0;

    void Space() {
        while (at < s.size() && std::strchr(" \t\r\n", s[at]) && s[at] != 0)
            ++at;
    }
    bool Take(char c) {
        Space();
        if (at >= s.size() || s[at] != c) return false;
        ++at;
        return true;
    }
    bool Hex4(unsigned& code) {
        if (at + 4 > s.size()) return false;
        char digits[5] = {s[at], s[at + 1], s[at + 2], s[at + 3], 0};
        char* end = nullptr;
        code = unsigned(std::strtoul(digits, &end, 16));
        at += 4;
        return *end == 0;
    }
    bool String(std::string& out) {
        if (!Take('"')) return false;
        while (at < s.size()) {
            char c = s[at++];
            if (c == '"') return true;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at >= s.size()) return false;
            char e = s[at++];
            const char* plain = std::strchr("\"\\/bfnrt", e);
            if (e != 0 && plain) {
                out += "\"\\/\b\f\n\r\t"[plain - "\"\\/bfnrt"];
            } else if (e == 'u') {
                unsigned code = 0, low = 0;
                if (!Hex4(code)) return false;
                if (code >= 0xD800 && code < 0xDC00 && s.compare(at, 2, "\\u") == 0) {
                    at += 2;
                    if (!Hex4(low)) return false;
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                }
                AppendUtf8(out, code);
            } else {
                return false;
            }
        }
        return false;
    }
    bool Value(TJsonValue& v) {
        Space();
        if (at < s.size() && s[at] == '"') {
            v.isString = true;
            return String(v.text);
        }
        std::size_t start = at;
        while (at < s.size() && !std::strchr(",} \t\r\n", s[at]))
            ++at;
        v.text = s.substr(start, at - start);
        if (v.text == "true" || v.text == "false" || v.text == "null") return true;
        char* end = nullptr;
        v.number = std::strtod(v.text.c_str(), &end);
        return !v.text.empty() && *end == 0;
    }
};

} // namespace

bool ParseJsonLine(const std::string& line, std::map<std::string, TJsonValue>& object) {
    object.clear();
    TReader r{line};
    if (!r.Take('{')) return false;
    if (!r.Take('}')) {
        do {
            std::string key;
            TJsonValue value;
            if (!r.String(key) || !r.Take(':') || !r.Value(value)) return false;
            object[key] = value;
        } while (r.Take(','));
        if (!r.Take('}')) return false;
    }
    r.Space();
    return r.at == line.size();
}
