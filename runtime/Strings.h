// String operations that several elements share.
#pragma once

#include <string>
#include <string_view>

// 1-based position of sub in s at or after `from`; 0 when absent.
int PosFrom(std::string_view sub, std::string_view s, int from);

using TReplaceFilter = bool (*)(void* object, int pos);
void ReplaceAll(std::string& s, std::string_view oldText, std::string_view newText,
                TReplaceFilter filter = nullptr, void* filterObject = nullptr);

int CompareTextAscii(const char* a, const char* b);
