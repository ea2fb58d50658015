#include "elements/MemStream.h"

#include <algorithm>
#include <cstring>
#include <limits>

void TMemStream::Seek(int32_t p) {
    if (p < 0) p = 0;
    if (std::size_t(p) > bytes_.size()) bytes_.resize(std::size_t(p), 0);
    position_ = p;
}

int32_t TMemStream::Read(void* buffer, int32_t n) {
    if (n <= 0) return 0;
    int32_t k = std::min(n, Size() - position_);
    if (k <= 0) return 0;
    std::memcpy(buffer, bytes_.data() + position_, std::size_t(k));
    position_ += k;
    return k;
}

int32_t TMemStream::Write(const void* buffer, int32_t n) {
    if (n <= 0 || n > std::numeric_limits<int32_t>::max() - position_) return 0;
    std::size_t end = std::size_t(position_) + std::size_t(n);
    if (end > bytes_.size()) bytes_.resize(end);
    std::memcpy(bytes_.data() + position_, buffer, std::size_t(n));
    position_ += n;
    return n;
}

void TMemStream::Clear() {
    bytes_.clear();
    bytes_.shrink_to_fit();
    position_ = 0;
}

std::unique_ptr<TMemStream> LoadStreamResource(std::string_view name, int type) {
    auto stream = std::make_unique<TMemStream>();
    TResourceData res;
    if (FindResourceData(name, type, res) && res.size > 0 &&
        res.size <= std::size_t(std::numeric_limits<int32_t>::max())) {
        stream->Write(res.data, int32_t(res.size));
        stream->Seek(0);
    }
    return stream;
}
