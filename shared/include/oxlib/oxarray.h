// OXArray: the library's growable array; OXArray<OString> is the argument list of
// every logged event. Elements keep insertion order and share their strings'
// buffers, so copying one in or out costs a count increment, not a text copy.
#pragma once

#include <cstdint>
#include <vector>

template <class T> class OXArray {
public:
    OXArray() = default;
    virtual ~OXArray() = default;
    OXArray(const OXArray&) = default;
    OXArray& operator=(const OXArray&) = default;

    // Appends a copy; returns its index.
    int32_t add(T element) {
        elements_.push_back(static_cast<T&&>(element));
        return static_cast<int32_t>(elements_.size()) - 1;
    }
    // The index must be below the size (not checked).
    T getAt(int32_t index) const { return elements_[static_cast<size_t>(index)]; }
    T& operator[](int32_t index) { return elements_[static_cast<size_t>(index)]; }
    const T& operator[](int32_t index) const { return elements_[static_cast<size_t>(index)]; }
    uint32_t getSize() const { return static_cast<uint32_t>(elements_.size()); }

    // New elements are default values (empty strings share the static buffer);
    // removed ones are released.
    void setSize(uint32_t n) {
        if (!elements_.empty() && elements_.capacity() < n) {
            size_t grown = elements_.capacity() + 1;
            elements_.reserve(n > grown ? n : grown);
        }
        elements_.resize(n);
    }

private:
    std::vector<T> elements_;
};
