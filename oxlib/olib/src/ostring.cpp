// OString and OWideString: buffer management, construction, assignment,
// appending, number texts and the character-level view.
#include <oxlib/olog.h>
#include <oxlib/ostring.h>

#include "sys/osys.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

namespace {

// File texts the string class's assertion reports carry.
constexpr const char* kFileString = "ostring.cpp";
constexpr const char* kFileHeader = "ostring.h";
constexpr const char* kFileImpl = "ostringimpl.h";

// The static empty buffers: constant-initialised, so they exist before any
// dynamic initialiser of the library (or of a program that links it) runs.
struct StaticEmptyBuffer {
    OStringBuffer header;
    char16_t text[2]; // room for a narrow or a wide terminator
};
constinit StaticEmptyBuffer g_emptyString{{-1, 0, 0, 1}, {0, 0}};
constinit StaticEmptyBuffer g_emptyWideString{{-1, 0, 0, 1}, {0, 0}};

OStringBuffer* emptyString() {
    return &g_emptyString.header;
}

} // namespace

const OStringBuffer* OString::emptyBuffer() {
    return &g_emptyString.header;
}

// Out of line so that no caller's inlined release() is seen freeing the static
// buffer, which it never does: the static buffer's count is -1.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wfree-nonheap-object"
#endif
void OString::destroy(OStringBuffer* buffer) {
    std::free(buffer);
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
const OStringBuffer* OWideString::emptyBuffer() {
    return &g_emptyWideString.header;
}

// ---------------------------------------------------------------------------
// OChar

bool OChar::isSpace() const {
    return value_ < 256 && std::isspace(static_cast<unsigned char>(value_)) != 0;
}

void OChar::storeSingle(NativeChar* p) const {
    OX_ASSERT_AT(!isDBChar(), kFileHeader, "68", "!isDBChar ()");
    *p = static_cast<NativeChar>(value_ & 0xFF);
}

void OChar::storeLead(NativeChar* p) const {
    OX_ASSERT_AT(isDBChar(), kFileHeader, "69", "isDBChar ()");
    *p = static_cast<NativeChar>(value_ & 0xFF);
}

void OChar::storeTrail(NativeChar* p) const {
    OX_ASSERT_AT(isDBChar(), kFileHeader, "70", "isDBChar ()");
    *p = static_cast<NativeChar>(value_ >> 8);
}

int32_t OChar::store(NativeChar* p) const {
    if (isDBChar()) {
        storeLead(p);
        storeTrail(p + 1);
        return 2;
    }
    if (value_ == 0)
        return 0;
    storeSingle(p);
    return 1;
}

// ---------------------------------------------------------------------------
// OStringIterator

OStringIterator::OStringIterator(const OString& text) : position_(text.c_str()) {}

OChar OStringIterator::current() const {
    const auto lead = static_cast<unsigned char>(position_[0]);
    if (lead != 0 && oxsys::isDBCSLeadByte(lead) && position_[1] != 0)
        return OChar::fromBytes(lead, static_cast<unsigned char>(position_[1]));
    return OChar(lead);
}

OStringIterator& OStringIterator::advance(int32_t count) {
    for (int32_t i = 0; i < count && *position_ != 0; ++i)
        position_ = oxsys::charNext(position_);
    return *this;
}

namespace {

// One step of a search or trim walk; the walks test for the end first, so the
// report marks a broken walk rather than a normal end.
void stepChecked(OStringIterator& it) {
    OX_ASSERT_AT(!it.isAtEnd(), kFileHeader, "489", "!isAtEnd ()");
    it.advance(1);
}

} // namespace

// ---------------------------------------------------------------------------
// Buffer management

OStringBuffer* OString::allocate(int32_t capacity) {
    auto* buffer = static_cast<OStringBuffer*>(
        std::malloc(sizeof(OStringBuffer) + static_cast<size_t>(capacity)));
    if (buffer == nullptr)
        return nullptr;
    buffer->refCount = 1;
    buffer->reserved = 0;
    buffer->nativeCharsUsed = 0;
    buffer->nativeCharsAllocated = capacity;
    OX_ASSERT_AT(0 < capacity, kFileString, "847",
                 "nativeCharsUsed < buffer->nativeCharsAllocated");
    if (capacity > 0)
        buffer->chars()[0] = 0;
    return buffer;
}

void OString::setUsed(int32_t nativeCharsUsed) {
    OStringBuffer* buffer = buffer_;
    if (!(nativeCharsUsed < buffer->nativeCharsAllocated) || nativeCharsUsed < 0) {
        logAssertion(kFileString, "847", "nativeCharsUsed < buffer->nativeCharsAllocated");
        // Never write past the buffer: keep what fits.
        nativeCharsUsed = std::clamp(nativeCharsUsed, 0, buffer->nativeCharsAllocated - 1);
        if (buffer->nativeCharsAllocated <= 0)
            return;
    }
    buffer->nativeCharsUsed = nativeCharsUsed;
    buffer->chars()[nativeCharsUsed] = 0;
}

void OString::makePrivate(int32_t minUsed) {
    const int32_t used = buffer_->nativeCharsUsed;
    if (isSoleOwner()) {
        if (buffer_->nativeCharsAllocated < minUsed + 1) {
            auto* grown = static_cast<OStringBuffer*>(
                std::realloc(buffer_, sizeof(OStringBuffer) + static_cast<size_t>(minUsed) + 33));
            if (grown == nullptr)
                return;
            buffer_ = grown;
            buffer_->nativeCharsAllocated = minUsed + 33;
        }
        return;
    }
    OStringBuffer* fresh = allocate(minUsed + 33);
    OX_ASSERT_AT(fresh != nullptr, kFileImpl, "124", "l != 0");
    if (fresh == nullptr)
        return;
    std::memcpy(fresh->chars(), buffer_->chars(), static_cast<size_t>(used));
    OStringBuffer* old = buffer_;
    buffer_ = fresh;
    setUsed(used);
    release(old);
}

void OString::appendSlow(const NativeChar* bytes, int32_t n) {
    OStringBuffer* buffer = buffer_;
    const int32_t used = buffer->nativeCharsUsed;
    const bool fits = buffer->nativeCharsAllocated >= used + n + 1;
    // The added bytes may be this string's own text, which a realloc moves.
    const auto own = reinterpret_cast<uintptr_t>(buffer->chars());
    const auto source = reinterpret_cast<uintptr_t>(bytes);
    const bool inside = source >= own && source <= own + static_cast<uintptr_t>(used);
    const uintptr_t offset = source - own;

    if (isSoleOwner()) {
        // A sole owner only gets here when the text does not fit.
        const int32_t capacity = 2 * used + n + 1;
        auto* grown = static_cast<OStringBuffer*>(
            std::realloc(buffer, sizeof(OStringBuffer) + static_cast<size_t>(capacity)));
        if (grown == nullptr)
            return;
        grown->nativeCharsAllocated = capacity;
        buffer_ = grown;
        if (inside)
            bytes = grown->chars() + offset;
        std::memmove(grown->chars() + used, bytes, static_cast<size_t>(n));
        setUsed(used + n);
        return;
    }

    // Shared (or the static empty buffer): a private copy with the added text.
    const int32_t capacity = fits ? used + n + 33 : 2 * used + n + 33;
    OStringBuffer* fresh = allocate(capacity);
    OX_ASSERT_AT(fresh != nullptr, kFileImpl, "124", "l != 0");
    if (fresh == nullptr)
        return;
    std::memcpy(fresh->chars(), buffer->chars(), static_cast<size_t>(used));
    std::memcpy(fresh->chars() + used, bytes, static_cast<size_t>(n));
    buffer_ = fresh;
    setUsed(used + n);
    release(buffer); // after the copy: `bytes` may point into it
}

// ---------------------------------------------------------------------------
// Construction

OString::OString(const NativeChar* text) : buffer_(emptyString()) {
    const auto n = text ? static_cast<int32_t>(std::strlen(text)) : 0;
    OStringBuffer* fresh = allocate(n + 33);
    OX_ASSERT_AT(fresh != nullptr, kFileImpl, "124", "l != 0");
    if (fresh == nullptr)
        return;
    buffer_ = fresh;
    if (n > 0)
        std::memcpy(fresh->chars(), text, static_cast<size_t>(n));
    setUsed(n);
}

OString::OString(const NativeChar* text, int32_t nNativeChars) : buffer_(emptyString()) {
    OX_ASSERT_AT(text != nullptr || nNativeChars == 0, kFileImpl, "147", "r!=0 || nNativeChars==0");
    if (nNativeChars < 0 || (text == nullptr && nNativeChars != 0))
        nNativeChars = 0; // nothing to read: an empty string, never a wild copy
    OStringBuffer* fresh = allocate(nNativeChars + 33);
    OX_ASSERT_AT(fresh != nullptr, kFileImpl, "146", "l != 0");
    if (fresh == nullptr)
        return;
    buffer_ = fresh;
    if (nNativeChars > 0)
        std::strncpy(fresh->chars(), text, static_cast<size_t>(nNativeChars));
    setUsed(nNativeChars);
}

OString::OString(OChar c) : buffer_(emptyString()) {
    const int32_t n = c.byteLength();
    OStringBuffer* fresh = allocate(n + 33);
    OX_ASSERT_AT(fresh != nullptr, kFileImpl, "135", "l != 0");
    if (fresh == nullptr)
        return;
    buffer_ = fresh;
    c.store(fresh->chars());
    setUsed(n);
}

namespace {

// The digits of _itoa / _ltoa / _ultoa: lower-case letters above 9, a minus sign
// only for a negative value in radix 10 (other radixes show the two's complement).
// The 40-byte area holds every 32-bit value in every radix from 2 to 36.
struct NumberText {
    char area[40];
    int32_t start = sizeof area; // an offset, so the struct copies safely
    const char* begin() const { return area + start; }
    int32_t length() const { return static_cast<int32_t>(sizeof area) - start; }
};

NumberText numberText(int64_t value, int radix) {
    NumberText text;
    if (radix < 2 || radix > 36)
        return text;
    const bool negative = radix == 10 && value < 0;
    // Outside radix 10 a negative int shows its 32-bit two's complement.
    uint32_t magnitude =
        negative ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    char* p = text.area + sizeof text.area;
    if (radix == 10) { // the only radix the library uses: a constant divisor
        do {
            *--p = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
    } else {
        do {
            const uint32_t digit = magnitude % static_cast<uint32_t>(radix);
            *--p = static_cast<char>(digit < 10 ? '0' + digit : 'a' + digit - 10);
            magnitude /= static_cast<uint32_t>(radix);
        } while (magnitude != 0);
    }
    if (negative)
        *--p = '-';
    text.start = static_cast<int32_t>(p - text.area);
    return text;
}

} // namespace

OString OString::fromNumber(int32_t value, int radix) {
    const NumberText text = numberText(value, radix);
    return text.length() ? OString(text.begin(), text.length()) : OString();
}

OString OString::fromNumber(uint32_t value, int radix) {
    const NumberText text = numberText(static_cast<int64_t>(value), radix);
    return text.length() ? OString(text.begin(), text.length()) : OString();
}

OString OString::fromWide(const WideChar* text) {
    const OWideString wide(text);
    const int32_t size = wide.narrowSize(userDefaultCodePage);
    OString narrow;
    narrow.reserveNew(size); // `narrow` held the static buffer: nothing to release
    const int32_t converted = wide.toNarrow(userDefaultCodePage, narrow.buffer_->chars(), size);
    narrow.setLength(converted > 0 ? converted - 1 : 0);
    return narrow;
}

// ---------------------------------------------------------------------------
// Assignment

OString& OString::assign(const OString& other) {
    if (other.buffer_ == nullptr) {
        logAssertion(kFileString, "777", "buffer_ != 0");
        return *this;
    }
    if (other.buffer_ == buffer_)
        return *this;
    OStringBuffer* old = buffer_;
    buffer_ = other.buffer_;
    addRef(buffer_);
    OX_ASSERT_AT(buffer_ != nullptr, kFileString, "785", "buffer != 0");
    release(old);
    return *this;
}

OString& OString::assignSlow(const NativeChar* text) {
    if (text == buffer_->chars())
        return *this;
    const auto n = text ? static_cast<int32_t>(std::strlen(text)) : 0;
    const int32_t m = std::max(n, buffer_->nativeCharsUsed);
    if (!isSoleOwner()) {
        // The text may lie in the shared buffer, which our release can free
        // when another owner lets go at the same moment: copy, then release.
        OStringBuffer* fresh = allocate(m + 33);
        OX_ASSERT_AT(fresh != nullptr, kFileImpl, "124", "l != 0");
        if (fresh == nullptr)
            return *this;
        if (n > 0)
            std::memcpy(fresh->chars(), text, static_cast<size_t>(n));
        OStringBuffer* old = buffer_;
        buffer_ = fresh;
        setUsed(n);
        release(old);
        return *this;
    }
    // Text inside our own buffer is no longer than what we hold, so only
    // outside text can make the buffer grow, and a realloc never moves it.
    makePrivate(m);
    if (n > 0)
        std::memmove(buffer_->chars(), text, static_cast<size_t>(n));
    setUsed(n);
    return *this;
}

OString& OString::assign(OChar c) {
    return assign(OString(c));
}

OString& OString::append(OChar c) {
    NativeChar bytes[2];
    return appendBytes(bytes, c.store(bytes));
}

OString& OString::append(int32_t value) {
    const NumberText text = numberText(value, 10);
    return appendBytes(text.begin(), text.length());
}

OString& OString::append(uint32_t value) {
    const NumberText text = numberText(static_cast<int64_t>(value), 10);
    return appendBytes(text.begin(), text.length());
}

OString OString::concat(const OString& other) const {
    OString result(*this);
    result.append(other);
    return result;
}

void OString::setLength(int32_t nativeCharsUsed) {
    setUsed(nativeCharsUsed);
}

void OString::reserveNew(int32_t capacity) {
    OStringBuffer* fresh = allocate(capacity + 32);
    OX_ASSERT_AT(fresh != nullptr, kFileImpl, "124", "l != 0");
    buffer_ = fresh ? fresh : emptyString();
}

// ---------------------------------------------------------------------------
// Character view

OChar OString::getAt(int32_t index) const {
    OStringIterator it(*this);
    it.advance(index);
    return it.current();
}

int32_t OString::getNChars() const {
    return oxsys::mbsLen(c_str());
}

OStringIterator OString::find(OChar c) const {
    OStringIterator it(*this);
    while (!it.isAtEnd() && !(it.current() == c))
        stepChecked(it);
    return it;
}

const NativeChar* OString::find(const OString& other) const {
    const NativeChar* hit = oxsys::mbsStr(c_str(), other.c_str());
    return hit ? hit : c_str() + std::strlen(c_str());
}

OString OString::left(int32_t nChars) const {
    OStringIterator end(*this);
    end.advance(nChars);
    return substring(c_str(), end.position());
}

OString OString::substring(const NativeChar* begin, const NativeChar* end) const {
    const ptrdiff_t count = end - begin;
    return OString(begin, count > 0 ? static_cast<int32_t>(count) : 0);
}

void OString::trimLeft() {
    OStringIterator it(*this);
    while (!it.isAtEnd() && it.current().isSpace())
        stepChecked(it);
    if (it.position() == c_str())
        return;
    if (it.isAtEnd()) {
        assign(OString());
        return;
    }
    const OString rest(it.position(),
                       static_cast<int32_t>(c_str() + getNativeCharsUsed() - it.position()));
    assign(rest);
}

void OString::trimRight() {
    // A trail byte is never a white-space byte, so a text whose last byte is not
    // white space ends in a character that is not: nothing to cut, no walk.
    const int32_t used = getNativeCharsUsed();
    if (used > 0 && !OChar(static_cast<unsigned char>(c_str()[used - 1])).isSpace())
        return;
    const NativeChar* lastEnd = nullptr; // just past the last non-space character
    OStringIterator it(*this);
    while (!it.isAtEnd()) {
        const bool space = it.current().isSpace();
        stepChecked(it);
        if (!space)
            lastEnd = it.position();
    }
    if (lastEnd == nullptr) {
        assign(OString());
        return;
    }
    if (*lastEnd == 0)
        return;
    assign(OString(c_str(), static_cast<int32_t>(lastEnd - c_str())));
}

void OString::replaceChar(OStringIterator& it, OChar c) {
    const OChar old = it.current();
    if (old == c)
        return;
    const int32_t oldLength = old.byteLength();
    const int32_t newLength = c.byteLength();
    const int32_t used = buffer_->nativeCharsUsed;
    const ptrdiff_t offset = it.position_ - buffer_->chars();
    const int32_t nBytesToMove = used - static_cast<int32_t>(offset) - oldLength;
    if (offset < 0 || offset > used || nBytesToMove < 0) {
        // Not a position in this string: touching memory there would be unsafe.
        logAssertion(kFileString, "315", "nBytesToMove >= 0");
        return;
    }
    const int32_t newUsed = used + newLength - oldLength;
    makePrivate(std::max(newUsed, used));
    NativeChar* p = buffer_->chars() + offset;
    it.position_ = p;
    if (oldLength != newLength) {
        std::memmove(p + newLength, p + oldLength, static_cast<size_t>(nBytesToMove));
        setUsed(newUsed);
    }
    c.store(p);
}

int32_t OString::byteSize(int32_t codePage) const {
    OX_ASSERT_AT(codePage == userDefaultCodePage, kFileString, "476",
                 "codePage == userDefaultCodePage");
    return buffer_->nativeCharsUsed + 1;
}

int OString::compare(const OString& other) const {
    const int32_t a = getNativeCharsUsed();
    const int32_t b = other.getNativeCharsUsed();
    const int r = std::memcmp(c_str(), other.c_str(), static_cast<size_t>(std::min(a, b)));
    return r != 0 ? r : (a < b ? -1 : (a > b ? 1 : 0));
}

bool OString::operator==(const OString& other) const {
    return buffer_ == other.buffer_ ||
           (getNativeCharsUsed() == other.getNativeCharsUsed() &&
            std::memcmp(c_str(), other.c_str(), static_cast<size_t>(getNativeCharsUsed())) == 0);
}

bool OString::operator==(const NativeChar* text) const {
    const size_t n = text ? std::strlen(text) : 0;
    return n == static_cast<size_t>(getNativeCharsUsed()) &&
           std::memcmp(c_str(), text ? text : "", n) == 0;
}

// ---------------------------------------------------------------------------
// OWideString

namespace {

OStringBuffer* allocateWide(int32_t units) {
    auto* buffer = static_cast<OStringBuffer*>(
        std::malloc(sizeof(OStringBuffer) + static_cast<size_t>(units) * sizeof(WideChar)));
    if (buffer == nullptr)
        return nullptr;
    buffer->refCount = 1;
    buffer->reserved = 0;
    buffer->nativeCharsUsed = 0;
    buffer->nativeCharsAllocated = units;
    return buffer;
}

WideChar* wideChars(OStringBuffer* buffer) {
    return reinterpret_cast<WideChar*>(buffer + 1);
}

} // namespace

OWideString::OWideString() noexcept : buffer_(&g_emptyWideString.header) {}

OWideString::OWideString(const WideChar* text) : buffer_(&g_emptyWideString.header) {
    int32_t n = 0;
    if (text)
        while (text[n] != 0)
            ++n;
    OStringBuffer* fresh = allocateWide(n + 33);
    if (fresh == nullptr)
        return;
    std::memcpy(wideChars(fresh), text ? text : u"", static_cast<size_t>(n) * sizeof(WideChar));
    wideChars(fresh)[n] = 0;
    fresh->nativeCharsUsed = n;
    buffer_ = fresh;
}

OWideString::OWideString(const OWideString& other) noexcept : buffer_(other.buffer_) {
    OString::addRef(buffer_);
}

OWideString& OWideString::operator=(const OWideString& other) {
    if (other.buffer_ != buffer_) {
        OString::addRef(other.buffer_);
        OString::release(buffer_);
        buffer_ = other.buffer_;
    }
    return *this;
}

OWideString::~OWideString() {
    OString::release(buffer_);
}

int32_t OWideString::narrowSize(int32_t codePage) const {
    (void)codePage; // only the user's default code page exists
    return oxsys::wideToNarrow(c_str(), length() + 1, nullptr, 0);
}

int32_t OWideString::toNarrow(int32_t codePage, NativeChar* out, int32_t nBytesInBuffer) const {
    const int32_t nBytesUsed = narrowSize(codePage);
    OX_ASSERT_AT(nBytesInBuffer >= nBytesUsed, kFileString, "488", "nBytesInBuffer >= nBytesUsed");
    return oxsys::wideToNarrow(c_str(), length() + 1, out, nBytesInBuffer);
}
