// The one machine-readable result object that --json prints at the end.
#pragma once

#include <string>
#include <utility>
#include <vector>

class TJsonResult {
public:
    void Add(const std::string& key, const std::string& text);
    void Add(const std::string& key, long long number);
    void AddReal(const std::string& key, double number);
    void Add(const std::string& key, bool value);
    // A value that is JSON already (an array of objects).
    void AddEncoded(const std::string& key, std::string json);
    // One line: {"key": value, ...}
    std::string Text() const;

private:
    std::vector<std::pair<std::string, std::string>> fields_; // key, encoded value
};

// A JSON string literal of UTF-8 text.
std::string JsonString(const std::string& text);
