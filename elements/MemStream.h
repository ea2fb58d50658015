// The memory stream: a growable byte buffer with a size and a position. A
// Stream value (TData::stream) refers to one of these.
#pragma once

#include "platform/Resources.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

class TMemStream {
public:
    TMemStream() = default;
    TMemStream(const TMemStream&) = delete;
    TMemStream& operator=(const TMemStream&) = delete;

    int32_t Size() const { return int32_t(bytes_.size()); }
    int32_t Position() const { return position_; }
    const unsigned char* Data() const { return bytes_.data(); }

    // The position becomes p; a position beyond the end grows the stream to p
    // (zero bytes). A negative p is taken as 0.
    void Seek(int32_t p);
    // Copies up to n bytes from the position into buffer and advances; returns
    // the count copied (0 at the end, the buffer then untouched).
    int32_t Read(void* buffer, int32_t n);
    // Copies n bytes in at the position, growing the stream as needed, and
    // advances; returns n (0 when n is not positive or would pass 2 GiB).
    int32_t Write(const void* buffer, int32_t n);
    // Empties the stream.
    void Clear();

private:
    std::vector<unsigned char> bytes_;
    int32_t position_ = 0;
};

// A new stream holding the whole resource `name` of `type`, positioned at 0;
// an empty stream when there is no such resource. The caller owns it.
std::unique_ptr<TMemStream> LoadStreamResource(std::string_view name, int type = rt_stream);
