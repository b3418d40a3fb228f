// Inline part of OString: the operations that run on every copy, destruction and
// small append, kept in the header so they cost what they must and no call more.
// Included by ostring.h only.
#pragma once

#include <atomic>
#include <cstdlib>
#include <cstring>

inline void OString::addRef(OStringBuffer* buffer) {
    std::atomic_ref<int32_t> count(buffer->refCount);
    // The static buffer's -1 never changes, so a relaxed look is enough to skip it;
    // a counted buffer cannot reach zero while we hold the reference we copy from.
    if (count.load(std::memory_order_relaxed) != -1)
        count.fetch_add(1, std::memory_order_relaxed);
}

inline void OString::release(OStringBuffer* buffer) {
    std::atomic_ref<int32_t> count(buffer->refCount);
    if (count.load(std::memory_order_relaxed) == -1)
        return;
    if (count.fetch_sub(1, std::memory_order_acq_rel) == 1)
        destroy(buffer);
}

inline bool OString::isSoleOwner() const {
    // Acquire pairs with the release in release(): once another owner has let
    // go, everything it did with the buffer happened before we write to it.
    return std::atomic_ref<int32_t>(buffer_->refCount).load(std::memory_order_acquire) == 1;
}

inline OString::OString() noexcept : buffer_(const_cast<OStringBuffer*>(emptyBuffer())) {}

inline OString::OString(const OString& other) noexcept : buffer_(other.buffer_) {
    addRef(buffer_);
}

inline OString::OString(OString&& other) noexcept : buffer_(other.buffer_) {
    other.buffer_ = const_cast<OStringBuffer*>(emptyBuffer());
}

inline OString::~OString() {
    release(buffer_);
}

inline OString& OString::operator=(OString&& other) noexcept {
    if (this != &other) {
        OStringBuffer* old = buffer_;
        buffer_ = other.buffer_;
        other.buffer_ = const_cast<OStringBuffer*>(emptyBuffer());
        release(old);
    }
    return *this;
}

inline OString& OString::appendBytes(const NativeChar* bytes, int32_t n) {
    if (n <= 0 || bytes == nullptr)
        return *this;
    OStringBuffer* buffer = buffer_;
    const int32_t used = buffer->nativeCharsUsed;
    if (used + n < buffer->nativeCharsAllocated && isSoleOwner()) {
        NativeChar* end = buffer->chars() + used;
        // Never overlapping: even the string's own text lies below `end`.
        std::memcpy(end, bytes, static_cast<size_t>(n));
        end[n] = 0;
        buffer->nativeCharsUsed = used + n;
        return *this;
    }
    appendSlow(bytes, n);
    return *this;
}

inline OString& OString::append(const NativeChar* text) {
    if (text == nullptr)
        return *this;
    return appendBytes(text, static_cast<int32_t>(std::strlen(text)));
}

inline OString& OString::append(const OString& other) {
    // Appending a string to itself is safe: the slow path re-points into a moved
    // buffer and releases an old one only after copying from it.
    return appendBytes(other.c_str(), other.getNativeCharsUsed());
}

inline OString& OString::assign(const NativeChar* text) {
    // Our own characters: nothing changes, not even a length counted past a zero.
    if (text == buffer_->chars())
        return *this;
    if (text != nullptr && isSoleOwner()) {
        const auto n = static_cast<int32_t>(std::strlen(text));
        if (n < buffer_->nativeCharsAllocated) {
            // memmove: the text may be a tail of our own.
            std::memmove(buffer_->chars(), text, static_cast<size_t>(n) + 1);
            buffer_->nativeCharsUsed = n;
            return *this;
        }
    }
    return assignSlow(text);
}

inline OString& OString::append(NativeChar byte) {
    return appendBytes(&byte, 1);
}
