// Base of every element and of every schema class.
#pragma once

#include <memory>
#include <utility>
#include <vector>

class TQeElement {
public:
    TQeElement() = default;
    TQeElement(const TQeElement&) = delete;
    TQeElement& operator=(const TQeElement&) = delete;
    virtual ~TQeElement() = default;
};

// A schema owns the elements it created and frees them in reverse order.
class TSchema {
public:
    TSchema() = default;
    TSchema(const TSchema&) = delete;
    TSchema& operator=(const TSchema&) = delete;
    virtual ~TSchema() { FreeElements(); }

protected:
    template <class T, class... Args> T* Add(Args&&... args) {
        auto element = std::make_unique<T>(std::forward<Args>(args)...);
        T* raw = element.get();
        elements_.push_back(std::move(element));
        return raw;
    }
    void FreeElements() {
        while (!elements_.empty())
            elements_.pop_back();
    }

private:
    std::vector<std::unique_ptr<TQeElement>> elements_;
};
