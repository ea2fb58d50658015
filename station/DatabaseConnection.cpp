#include "station/DatabaseConnection.h"

#include <cctype>

namespace {

std::string Lower(std::string text) {
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool IsPasswordKey(const std::string& key) {
    std::string k = Lower(key);
    while (!k.empty() && k.back() == ' ')
        k.pop_back();
    while (!k.empty() && k.front() == ' ')
        k.erase(k.begin());
    return k == "pwd" || k == "password";
}

// Calls `each(key, valueBegin, valueEnd)` for every attribute; a value may
// be braced ({...}, where "}}" stands for "}").
template <typename F> void Attributes(const std::string& s, F each) {
    std::size_t at = 0;
    while (at < s.size()) {
        std::size_t eq = s.find('=', at);
        std::size_t semi = s.find(';', at);
        if (eq == std::string::npos || (semi != std::string::npos && semi < eq)) {
            at = semi == std::string::npos ? s.size() : semi + 1;
            continue;
        }
        std::string key = s.substr(at, eq - at);
        std::size_t begin = eq + 1, end = begin;
        if (end < s.size() && s[end] == '{') {
            for (++end; end < s.size(); ++end) {
                if (s[end] == '}' && end + 1 < s.size() && s[end + 1] == '}')
                    ++end;
                else if (s[end] == '}')
                    break;
            }
            end = std::min(end + 1, s.size());
        }
        end = std::min(s.find(';', end), s.size());
        each(key, begin, end);
        at = end + 1;
    }
}

} // namespace

bool HasPassword(const std::string& connection) {
    bool found = false;
    Attributes(connection, [&](const std::string& key, std::size_t, std::size_t) {
        found |= IsPasswordKey(key);
    });
    return found;
}

std::string MaskedConnection(const std::string& connection) {
    std::string out;
    std::size_t copied = 0;
    Attributes(connection, [&](const std::string& key, std::size_t begin, std::size_t end) {
        if (!IsPasswordKey(key)) return;
        out += connection.substr(copied, begin - copied) + "***";
        copied = end;
    });
    return out + connection.substr(copied);
}

std::string WithPassword(const std::string& connection, const std::string& password) {
    if (password.empty()) return connection;
    std::string braced;
    for (char c : password)
        braced += c == '}' ? std::string("}}") : std::string(1, c);
    std::string s = connection;
    if (!s.empty() && s.back() != ';') s += ';';
    return s + "PWD={" + braced + "};";
}

std::string Masked(const std::string& text, const std::string& password) {
    std::string out = MaskedConnection(text);
    if (password.empty()) return out;
    for (std::size_t at; (at = out.find(password)) != std::string::npos;)
        out.replace(at, password.size(), "***");
    return out;
}
