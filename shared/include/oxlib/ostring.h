// OString: the support library's string.
//
// An OString is one pointer to a reference-counted buffer record holding bytes in
// the process's multibyte (ANSI) code page, always zero-terminated. Copies share
// the buffer; any change first gives the changed string a private buffer (copy on
// write). Counts change only by atomic increment and decrement, so strings on
// different threads may share a buffer; one OString object belongs to one thread
// at a time. A static empty buffer with count -1 is never counted or freed.
//
// Capacity: a fresh buffer for n bytes holds n + 33 (32 spare bytes beyond the
// terminator); a sole owner that outgrows its buffer reallocates it to 2u + n + 1.
// A character pointer or iterator taken from a string is valid until the string
// is next modified.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>

using NativeChar = char;
using WideChar = char16_t;

// The code page argument of the conversions: only the user's default one exists.
constexpr int32_t userDefaultCodePage = -1;

// The shared buffer record: a 16-byte header followed by the characters.
struct OStringBuffer {
    int32_t refCount;             // -1 for the static empty buffer; changed only atomically
    int32_t reserved;             // always 0
    int32_t nativeCharsUsed;      // bytes of text, terminator excluded
    int32_t nativeCharsAllocated; // capacity for text and terminator

    NativeChar* chars() { return reinterpret_cast<NativeChar*>(this + 1); }
    const NativeChar* chars() const { return reinterpret_cast<const NativeChar*>(this + 1); }
};
static_assert(sizeof(OStringBuffer) == 16, "the buffer header is 16 bytes");

// One character: a byte value below 256, or a double-byte character with its lead
// byte in the low 8 bits and its trail byte in the high 8 bits.
class OChar {
public:
    constexpr OChar() = default;
    constexpr explicit OChar(uint16_t value) : value_(value) {}
    static constexpr OChar fromBytes(unsigned char lead, unsigned char trail) {
        return OChar(static_cast<uint16_t>(lead | (trail << 8)));
    }

    constexpr uint16_t value() const { return value_; }
    constexpr bool isDBChar() const { return (value_ & 0xFF00) != 0; }
    constexpr int32_t byteLength() const { return value_ == 0 ? 0 : (value_ < 256 ? 1 : 2); }
    // isspace of the byte in the C runtime's current locale; a double-byte
    // character is never a space.
    bool isSpace() const;

    // Writes the character's one or two bytes at `p`; returns the bytes written.
    int32_t store(NativeChar* p) const;

    constexpr bool operator==(const OChar& other) const = default;

private:
    void storeSingle(NativeChar* p) const;
    void storeLead(NativeChar* p) const;
    void storeTrail(NativeChar* p) const;

    uint16_t value_ = 0;
};

class OString;

// A position in an OString's characters (a byte pointer into its buffer).
class OStringIterator {
public:
    OStringIterator() = default;
    explicit OStringIterator(const NativeChar* position) : position_(position) {}
    explicit OStringIterator(const OString& text);

    // The character here: two bytes when the byte is a DBCS lead byte.
    OChar current() const;
    bool isAtEnd() const { return *position_ == 0; }
    // Moves forward by `count` characters, stopping at the terminator.
    OStringIterator& advance(int32_t count = 1);
    OStringIterator& operator++() { return advance(1); }

    const NativeChar* position() const { return position_; }
    bool operator==(const OStringIterator& other) const = default;

private:
    friend class OString;
    const NativeChar* position_ = nullptr;
};

class OString {
public:
    OString() noexcept;
    OString(const NativeChar* text);
    OString(const NativeChar* text, int32_t nNativeChars);
    explicit OString(OChar c);
    OString(const OString& other) noexcept;
    // Leaves `other` empty (on the static buffer); costs no atomic operation.
    OString(OString&& other) noexcept;
    ~OString();

    static OString fromNumber(int32_t value, int radix = 10);
    static OString fromNumber(uint32_t value, int radix = 10);
    // UTF-16 text converted to the user's default code page.
    static OString fromWide(const WideChar* text);

    OString& assign(const OString& other);
    OString& assign(const NativeChar* text);
    OString& assign(OChar c);
    OString& operator=(const OString& other) { return assign(other); }
    OString& operator=(OString&& other) noexcept;
    OString& operator=(const NativeChar* text) { return assign(text); }
    OString& operator=(OChar c) { return assign(c); }

    OString& append(const NativeChar* text);
    OString& append(const OString& other);
    OString& append(OChar c);
    OString& append(NativeChar byte);
    OString& append(int32_t value);
    OString& append(uint32_t value);
    // Appends `n` bytes (which may hold zeros).
    OString& appendBytes(const NativeChar* bytes, int32_t n);
    OString& operator+=(const NativeChar* text) { return append(text); }
    OString& operator+=(const OString& other) { return append(other); }
    OString& operator+=(OChar c) { return append(c); }
    OString& operator+=(NativeChar byte) { return append(byte); }
    OString& operator+=(int32_t value) { return append(value); }
    OString& operator+=(uint32_t value) { return append(value); }
#if LONG_MAX == INT32_MAX
    // Where long is 32 bits it is the library's "long".
    static OString fromNumber(long value, int radix = 10) {
        return fromNumber(int32_t(value), radix);
    }
    static OString fromNumber(unsigned long value, int radix = 10) {
        return fromNumber(uint32_t(value), radix);
    }
    OString& append(long value) {
        return append(int32_t(value));
    }
    OString& append(unsigned long value) {
        return append(uint32_t(value));
    }
    OString& operator+=(long value) {
        return append(int32_t(value));
    }
    OString& operator+=(unsigned long value) {
        return append(uint32_t(value));
    }
#endif

    // A new string: this one followed by `other`; neither changes.
    OString concat(const OString& other) const;

    // Sets the length (below the capacity) and writes the terminator there.
    void setLength(int32_t nativeCharsUsed);
    // Points this string at a fresh private buffer of capacity + 32 with empty
    // text. The old buffer is NOT released: that is the caller's business.
    void reserveNew(int32_t capacity);

    // --- character view (walks whole characters, never splits a DBCS pair)
    OChar getAt(int32_t index) const;
    int32_t getNChars() const;
    bool isEmpty() const {
        return buffer_->nativeCharsUsed == 0;
    }
    OStringIterator find(OChar c) const;
    // First occurrence of `other`'s text; the terminator's position if none.
    const NativeChar* find(const OString& other) const;
    OString left(int32_t nChars) const;
    OString substring(const NativeChar* begin, const NativeChar* end) const;
    OString substring(const OStringIterator& begin, const OStringIterator& end) const {
        return substring(begin.position(), end.position());
    }
    void trimLeft();
    void trimRight();
    // Replaces the character at `it` (at the terminator: appends) and re-points
    // `it` into the possibly new buffer.
    void replaceChar(OStringIterator& it, OChar c);
    // Bytes needed for the text and its terminator in `codePage`.
    int32_t byteSize(int32_t codePage) const;
    OStringIterator begin() const {
        return OStringIterator(c_str());
    }

    // --- raw access
    const NativeChar* c_str() const {
        return buffer_->chars();
    }
    int32_t getNativeCharsUsed() const {
        return buffer_->nativeCharsUsed;
    }
    int32_t getNativeCharsAllocated() const {
        return buffer_->nativeCharsAllocated;
    }
    // The shared record, for inspection; never null.
    const OStringBuffer* bufferRecord() const {
        return buffer_;
    }
    // The static empty buffer every empty default string shares.
    static const OStringBuffer* emptyBuffer();

    int compare(const OString& other) const;
    bool operator==(const OString& other) const;
    bool operator==(const NativeChar* text) const;
    bool operator<(const OString& other) const {
        return compare(other) < 0;
    }

private:
    static OStringBuffer* allocate(int32_t capacity);
    static void release(OStringBuffer* buffer);
    static void destroy(OStringBuffer* buffer);
    static void addRef(OStringBuffer* buffer);
    bool isSoleOwner() const;
    void setUsed(int32_t nativeCharsUsed);
    void appendSlow(const NativeChar* bytes, int32_t n);
    OString& assignSlow(const NativeChar* text);
    // Gives this string a private buffer holding its text with room for at least
    // `minUsed` bytes of text (capacity minUsed + 33 when it has to allocate).
    void makePrivate(int32_t minUsed);

    OStringBuffer* buffer_;

    friend class OWideString;
};

inline OString operator+(const OString& a, const OString& b) {
    return a.concat(b);
}
inline OString operator+(const OString& a, const NativeChar* b) {
    return a.concat(OString(b));
}
inline OString operator+(const NativeChar* a, const OString& b) {
    return OString(a).concat(b);
}
inline bool operator!=(const OString& a, const OString& b) {
    return !(a == b);
}

// The wide-character (UTF-16) string, on the same buffer scheme; sizes are in
// 16-bit units.
class OWideString {
public:
    OWideString() noexcept;
    explicit OWideString(const WideChar* text);
    OWideString(const OWideString& other) noexcept;
    OWideString& operator=(const OWideString& other);
    ~OWideString();

    const WideChar* c_str() const { return reinterpret_cast<const WideChar*>(buffer_ + 1); }
    int32_t length() const { return buffer_->nativeCharsUsed; }
    const OStringBuffer* bufferRecord() const { return buffer_; }
    static const OStringBuffer* emptyBuffer();

    // Bytes the text and its terminator need in `codePage` (-1: the user's default).
    int32_t narrowSize(int32_t codePage) const;
    // Converts text and terminator into `out`; returns the bytes used.
    int32_t toNarrow(int32_t codePage, NativeChar* out, int32_t nBytesInBuffer) const;

private:
    OStringBuffer* buffer_;
};

#include <oxlib/ostringimpl.h>
