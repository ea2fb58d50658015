#include "runtime/TData.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

const char* const DataTypeNames[DataTypeCount] = {
    "NULL",   "Integer", "String", "Data",   "Combo",  "StrList", "Icon",    "Real",
    "Color",  "Script",  "Stream", "Bitmap", "Wave",   "Array",   "ComboEx", "Font",
    "Matrix", "Jpeg",    "Menu",   "Code",   "Object", "Type",    "Break"};

void SetNull(TData& d) {
    d.type = data_null;
    d.fwd = nullptr;
    d.next = nullptr;
}

void SetInteger(TData& d, int32_t n) {
    d.type = data_int;
    d.idata = n;
    d.fwd = nullptr;
    d.next = nullptr;
}

void SetString(TData& d, TStr s) {
    d.type = data_str;
    d.sdata = std::move(s);
    d.fwd = nullptr;
    d.next = nullptr;
}

void SetStream(TData& d, TMemStream* stream) {
    d.type = data_stream;
    d.stream = stream;
    d.idata = 0;
    d.fwd = nullptr;
    d.next = nullptr;
}

int32_t StrToIntLenient(std::string_view s) {
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    uint32_t value = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
        value = value * 10u + uint32_t(s[i] - '0');
    if (negative) value = 0u - value;
    return int32_t(value);
}

double StrToRealLenient(std::string_view s) {
    std::size_t i = 0;
    bool negative = false;
    if (!s.empty() && s[0] == '-') {
        negative = true;
        i = 1;
    }
    double result = 0.0;
    bool fraction = false;
    double scale = 1.0;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (c >= '0' && c <= '9') {
            if (fraction) {
                scale /= 10.0;
                result += (c - '0') * scale;
            } else {
                result = result * 10.0 + (c - '0');
            }
        } else if (c == '.') {
            if (fraction) break;
            fraction = true;
        } else if (c == 'E' || c == 'e') {
            result *= std::pow(10.0, StrToIntLenient(s.substr(i + 1)));
            break;
        }
    }
    return negative ? -result : result;
}

static int32_t RoundRealToInt(double v) {
    if (!std::isfinite(v) || std::fabs(v) >= 9.2e18) return 0;
    long long r = std::llrint(v); // round to nearest, ties to even
    return int32_t(uint32_t(static_cast<unsigned long long>(r)));
}

std::string RealToString(double v) {
    if (v == 0.0) return "0";
    if (!std::isfinite(v)) return std::isnan(v) ? "NAN" : (v > 0 ? "INF" : "-INF");
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(v)); // d.dddddddddddddde[+-]x
    std::string digits;
    digits += buf[0];
    digits.append(buf + 2, 14);
    int exponent = std::atoi(buf + 17);
    int n = exponent + 1; // digits before the point
    std::string out = v < 0 ? "-" : "";
    if (n >= 15) {
        out += digits;
        out.append(std::size_t(n - 15), '0');
        return out;
    }
    std::string frac;
    if (n >= 1) {
        out += digits.substr(0, std::size_t(n));
        frac = digits.substr(std::size_t(n));
    } else {
        out += "0";
        frac = std::string(std::size_t(-n), '0') + digits;
    }
    while (!frac.empty() && frac.back() == '0')
        frac.pop_back();
    if (!frac.empty()) out += "." + frac;
    return out;
}

// The number a value holds: an Integer's, a String's read leniently, a
// Real's converted; 0 for the other types.
template <class TNumber>
static TNumber NumberOf(const TData& d, TNumber (*fromString)(std::string_view),
                        TNumber (*fromReal)(double)) {
    switch (d.type) {
    case data_int:
        return d.idata;
    case data_str:
        return fromString(d.sdata.view());
    case data_real:
        return fromReal(d.rdata);
    default:
        return 0;
    }
}

int32_t ToInteger(const TData& d) {
    return NumberOf(d, &StrToIntLenient, &RoundRealToInt);
}

double ToReal(const TData& d) {
    return NumberOf<double>(d, &StrToRealLenient, [](double v) { return v; });
}

std::string ToString(const TData& d) {
    switch (d.type) {
    case data_int:
        return std::to_string(d.idata);
    case data_str:
        return d.sdata.str();
    case data_real:
        return RealToString(d.rdata);
    default:
        return std::string();
    }
}

TMemStream* ToStream(const TData& d) {
    return d.type == data_stream ? d.stream : nullptr;
}

int32_t ToIndex(const TData& d) {
    switch (d.type) {
    case data_int:
        return d.idata;
    case data_str: {
        int32_t v = StrToIntLenient(d.sdata.view());
        if (!d.sdata.empty() && (v != 0 || d.sdata.str()[0] == '0')) return v;
        return -1;
    }
    case data_real:
        return RoundRealToInt(d.rdata);
    default:
        return -1;
    }
}

bool IsTrue(const TData& d) {
    return !(d.type == data_int && d.idata == 0);
}
