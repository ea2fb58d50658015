// The value record carried by every event and filled by every data pull.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// An immutable byte string. Short strings are kept in the record itself, so
// the many small values that events carry cost no allocation; longer ones are
// reference-counted, and copies share their bytes. May contain zero bytes.
class TStr {
public:
    TStr() = default;
    TStr(std::string s) {
        if (s.size() <= inline_size)
            short_ = std::move(s);
        else
            long_ = std::make_shared<const std::string>(std::move(s));
    }
    TStr(const char* s) : TStr(std::string(s)) {}
    TStr(std::string_view s) : TStr(std::string(s)) {}

    const std::string& str() const { return long_ ? *long_ : short_; }
    operator const std::string&() const { return str(); }
    std::string_view view() const { return str(); }
    std::size_t size() const { return str().size(); }
    bool empty() const { return size() == 0; }
    const char* data() const { return str().data(); }
    // True when both share one buffer (or both are empty); short strings are
    // copied, never shared.
    bool SharesWith(const TStr& o) const { return long_ ? long_ == o.long_ : empty() && o.empty(); }

    friend bool operator==(const TStr& a, const TStr& b) { return a.view() == b.view(); }
    friend bool operator==(const TStr& a, std::string_view b) { return a.view() == b; }
    friend bool operator==(const TStr& a, const char* b) { return a.view() == b; }

private:
    // What fits in a string's own small buffer in the common libraries.
    static constexpr std::size_t inline_size = 15;
    std::string short_;
    std::shared_ptr<const std::string> long_;
};

// Type tags (low seven bits of TData::type). The top bit is the forward flag.
enum : uint8_t {
    data_null = 0,
    data_int = 1,
    data_str = 2,
    data_data = 3,
    data_combo = 4,
    data_strlist = 5,
    data_icon = 6,
    data_real = 7,
    data_color = 8,
    data_script = 9,
    data_stream = 10,
    data_bitmap = 11,
    data_wave = 12,
    data_array = 13,
    data_comboex = 14,
    data_font = 15,
    data_matrix = 16,
    data_jpeg = 17,
    data_menu = 18,
    data_code = 19,
    data_object = 20,
    data_type = 21,
    data_break = 22,
    data_forward = 128,
};
inline constexpr int DataTypeCount = 23;
extern const char* const DataTypeNames[DataTypeCount];

class TMemStream; // the memory stream a Stream value refers to (never owned here)
struct TEventLink;

struct TData {
    uint8_t type = data_null;
    int32_t idata = 0;
    TStr sdata;
    double rdata = 0.0;
    const TEventLink* fwd = nullptr; // next link while the forward flag is set
    TData* next = nullptr;           // next value of a value list (not owned)
    TMemStream* stream = nullptr;    // the Stream's object (not owned)
};

// Setters: each clears the forward link and next.
void SetNull(TData& d);
void SetInteger(TData& d, int32_t n);
void SetString(TData& d, TStr s);
void SetStream(TData& d, TMemStream* stream);
inline uint8_t TypeOf(const TData& d) {
    return d.type;
}
inline bool IsInteger(const TData& d) {
    return d.type == data_int;
}

// Conversions; they never change the record.
int32_t ToInteger(const TData& d);
double ToReal(const TData& d);
std::string ToString(const TData& d);
TMemStream* ToStream(const TData& d);
int32_t ToIndex(const TData& d);
bool IsTrue(const TData& d);

// The integer rule for strings, shared with readers of numeric text.
int32_t StrToIntLenient(std::string_view s);
// Plain decimal text of a double with 15 significant digits.
std::string RealToString(double v);
double StrToRealLenient(std::string_view s);
