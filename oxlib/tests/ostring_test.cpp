// OString buffers: capacity and sharing rules, assignment, appending, numbers.
#include "logcapture.h"

#include <oxlib/olog.h>
#include <oxlib/ostring.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

namespace {

int32_t countOf(const OString& s) {
    return s.bufferRecord()->refCount;
}

TEST(OStringBuffer, StaticEmptyBufferIsNeverCountedOrFreed) {
    const OStringBuffer* empty = OString::emptyBuffer();
    {
        OString a;
        OString b(a);
        OString c;
        c = b;
        EXPECT_EQ(a.bufferRecord(), empty);
        EXPECT_EQ(c.bufferRecord(), empty);
        EXPECT_EQ(empty->refCount, -1);
    }
    EXPECT_EQ(empty->refCount, -1);
    EXPECT_EQ(empty->nativeCharsUsed, 0);
    EXPECT_EQ(empty->nativeCharsAllocated, 1);
    EXPECT_STREQ(empty->chars(), "");

    OString s;
    s.append("a");
    EXPECT_NE(s.bufferRecord(), empty);
    EXPECT_EQ(s.getNativeCharsAllocated(), 34);
    EXPECT_EQ(s.getNativeCharsUsed(), 1);
    EXPECT_EQ(countOf(s), 1);
    EXPECT_EQ(empty->refCount, -1);
}

TEST(OStringBuffer, FreshBuffersHaveThirtyTwoSpareBytes) {
    EXPECT_EQ(OString("hello").getNativeCharsAllocated(), 5 + 33);
    EXPECT_EQ(OString(static_cast<const char*>(nullptr)).getNativeCharsAllocated(), 33);
    EXPECT_EQ(OString("abcdef", 3).getNativeCharsAllocated(), 3 + 33);
    EXPECT_EQ(OString(OChar('x')).getNativeCharsAllocated(), 1 + 33);
    const OString null(static_cast<const char*>(nullptr));
    EXPECT_TRUE(null.isEmpty());
    EXPECT_NE(null.bufferRecord(), OString::emptyBuffer());
}

TEST(OStringBuffer, CopiesShareUntilOneChanges) {
    OString a("shared text");
    OString b(a);
    EXPECT_EQ(a.bufferRecord(), b.bufferRecord());
    EXPECT_EQ(countOf(a), 2);

    b.append("!");
    EXPECT_NE(a.bufferRecord(), b.bufferRecord());
    EXPECT_STREQ(a.c_str(), "shared text");
    EXPECT_STREQ(b.c_str(), "shared text!");
    EXPECT_EQ(countOf(a), 1);
    EXPECT_EQ(countOf(b), 1);
    // Shared and the text fits: a private copy sized for exactly what it holds.
    EXPECT_EQ(b.getNativeCharsAllocated(), 11 + 1 + 33);
}

TEST(OStringBuffer, EmptyAppendsLeaveSharingAlone) {
    OString a("abc");
    OString b(a);
    b.append("");
    b.append(static_cast<const char*>(nullptr));
    b.append(OString());
    EXPECT_EQ(a.bufferRecord(), b.bufferRecord());
    EXPECT_EQ(countOf(a), 2);
}

TEST(OStringBuffer, GrowthRules) {
    // A sole owner of length 10 and capacity 11 grows in place to 2 * 10 + 5 + 1.
    OString s;
    s.reserveNew(11 - 32);
    ASSERT_EQ(s.getNativeCharsAllocated(), 11);
    std::memcpy(const_cast<char*>(s.c_str()), "0123456789", 10);
    s.setLength(10);
    s.append("abcde");
    EXPECT_EQ(s.getNativeCharsAllocated(), 26);
    EXPECT_STREQ(s.c_str(), "0123456789abcde");

    // Shared and too small: a private buffer of 2u + n + 33.
    OString t(s);
    t.append(std::string(40, 'x').c_str());
    EXPECT_EQ(t.getNativeCharsAllocated(), 2 * 15 + 40 + 33);
    EXPECT_STREQ(s.c_str(), "0123456789abcde");

    // Fits and sole owner: in place, capacity unchanged.
    const OStringBuffer* before = t.bufferRecord();
    t.append("y");
    EXPECT_EQ(t.bufferRecord(), before);
    EXPECT_EQ(t.getNativeCharsUsed(), 56);
}

TEST(OStringBuffer, AppendingToItself) {
    OString s("abc");
    for (int i = 0; i < 6; ++i)
        s.append(s);
    EXPECT_EQ(s.getNativeCharsUsed(), 3 * 64);
    EXPECT_EQ(std::string(s.c_str()), [] {
        std::string r;
        for (int i = 0; i < 64; ++i)
            r += "abc";
        return r;
    }());
    OString t("xyz");
    t.append(t.c_str() + 1);
    EXPECT_STREQ(t.c_str(), "xyzyz");
}

TEST(OStringAssign, SharesOrCopiesAndNeverShrinks) {
    OString a("first");
    OString b;
    b = a;
    EXPECT_EQ(a.bufferRecord(), b.bufferRecord());
    b = b; // self-assignment of the same buffer changes nothing
    EXPECT_EQ(countOf(a), 2);

    OString longText(std::string(100, 'L').c_str());
    const int32_t capacity = longText.getNativeCharsAllocated();
    longText.assign("short");
    EXPECT_STREQ(longText.c_str(), "short");
    EXPECT_EQ(longText.getNativeCharsAllocated(), capacity);

    const OStringBuffer* own = longText.bufferRecord();
    longText.assign(longText.c_str());
    EXPECT_EQ(longText.bufferRecord(), own);
    EXPECT_STREQ(longText.c_str(), "short");

    // Assigning text to a shared string unshares it and leaves the other intact.
    OString c(a);
    c.assign("second, longer text");
    EXPECT_STREQ(a.c_str(), "first");
    EXPECT_STREQ(c.c_str(), "second, longer text");
    EXPECT_EQ(c.getNativeCharsAllocated(), 19 + 33);

    // A tail of its own text.
    OString d("prefix-tail");
    d.assign(d.c_str() + 7);
    EXPECT_STREQ(d.c_str(), "tail");

    OString e("x");
    e.assign(static_cast<const char*>(nullptr));
    EXPECT_TRUE(e.isEmpty());

    OString f;
    f = OChar('q');
    EXPECT_STREQ(f.c_str(), "q");
}

TEST(OStringNumbers, DecimalTexts) {
    OString s;
    s.append(int32_t{-5});
    EXPECT_STREQ(s.c_str(), "-5");
    OString u;
    u.append(uint32_t{UINT32_MAX});
    EXPECT_STREQ(u.c_str(), "4294967295");
    EXPECT_STREQ(OString::fromNumber(INT32_MIN).c_str(), "-2147483648");
    EXPECT_STREQ(OString::fromNumber(int32_t{0}).c_str(), "0");
    EXPECT_STREQ(OString::fromNumber(int32_t{255}, 16).c_str(), "ff");
    // Other radixes show the two's complement, as the C runtime's conversions do.
    EXPECT_STREQ(OString::fromNumber(int32_t{-1}, 16).c_str(), "ffffffff");
    EXPECT_STREQ(OString::fromNumber(uint32_t{0x80000000u}, 2).c_str(),
                 "10000000000000000000000000000000");
    EXPECT_TRUE(OString::fromNumber(int32_t{7}, 1).isEmpty());
    EXPECT_TRUE(OString::fromNumber(int32_t{7}, 37).isEmpty());

    OString mixed("n=");
    mixed += int32_t{42};
    mixed += ',';
    mixed += uint32_t{7};
    EXPECT_STREQ(mixed.c_str(), "n=42,7");
}

TEST(OStringConstruct, CountedConstructionOverAnEmbeddedZero) {
    const char bytes[] = {'a', 0, 'b'};
    OString s(bytes, 3);
    EXPECT_EQ(s.getNativeCharsUsed(), 3);
    EXPECT_EQ(s.c_str()[0], 'a');
    EXPECT_EQ(s.c_str()[1], 0);
    EXPECT_EQ(s.c_str()[2], 0); // the copy stops at the zero and pads
    EXPECT_EQ(s.c_str()[3], 0);
}

TEST(OStringAssign, OwnCharactersChangeNothingEvenPastAZero) {
    const char bytes[] = {'a', 0, 'b'};
    OString sole(bytes, 3);
    sole.assign(sole.c_str());
    EXPECT_EQ(sole.getNativeCharsUsed(), 3);

    OString shared(bytes, 3);
    const OString copy(shared);
    shared.assign(shared.c_str());
    EXPECT_EQ(shared.getNativeCharsUsed(), 3);
    EXPECT_EQ(shared.bufferRecord(), copy.bufferRecord());
}

TEST(OStringConstruct, NullWithCountIsReportedAndEmpty) {
    LogCapture log;
    OString s(nullptr, 5);
    EXPECT_TRUE(s.isEmpty());
    ASSERT_EQ(log.assertions().size(), 1u);
    EXPECT_EQ(log.assertions()[0], "ostringimpl.h:147:r!=0 || nNativeChars==0");
    const auto events = log.events();
    EXPECT_EQ(events[0].type, EVENTLOG_ERROR_TYPE);
    EXPECT_EQ(events[0].category, 1);
}

TEST(OStringConstruct, ConcatLeavesBothOperands) {
    const OString a("left");
    const OString b("right");
    const OString c = a + b;
    EXPECT_STREQ(c.c_str(), "leftright");
    EXPECT_STREQ(a.c_str(), "left");
    EXPECT_STREQ(b.c_str(), "right");
    EXPECT_EQ(countOf(a), 1);
    EXPECT_STREQ((a + "-" + b).c_str(), "left-right");
    EXPECT_STREQ((OString() + OString()).c_str(), "");
}

TEST(OStringLength, SetLengthOutsideTheBufferIsReportedNotWritten) {
    LogCapture log;
    OString s("abc");
    s.setLength(1);
    EXPECT_STREQ(s.c_str(), "a");
    EXPECT_TRUE(log.assertions().empty());
    s.setLength(s.getNativeCharsAllocated());
    ASSERT_EQ(log.assertions().size(), 1u);
    EXPECT_EQ(log.assertions()[0],
              "ostring.cpp:847:nativeCharsUsed < buffer->nativeCharsAllocated");
    EXPECT_LT(s.getNativeCharsUsed(), s.getNativeCharsAllocated());
}

TEST(OStringLength, ReserveNewLeavesTheOldBufferToTheCaller) {
    OString a("kept");
    OString b(a);
    const OStringBuffer* old = b.bufferRecord();
    b.reserveNew(10);
    EXPECT_EQ(b.getNativeCharsAllocated(), 42);
    EXPECT_TRUE(b.isEmpty());
    EXPECT_EQ(old->refCount, 2); // still counted for b: releasing it is the caller's job
    // Hand the count back as a caller would.
    OString adopt;
    std::memcpy(static_cast<void*>(&adopt), &old, sizeof old);
}

TEST(OStringCompare, EqualityAndOrder) {
    EXPECT_EQ(OString("abc"), OString("abc"));
    EXPECT_NE(OString("abc"), OString("abd"));
    EXPECT_TRUE(OString("abc") == "abc");
    EXPECT_FALSE(OString("abc") == "ab");
    EXPECT_TRUE(OString() == static_cast<const char*>(nullptr));
    EXPECT_LT(OString("ab"), OString("abc"));
    EXPECT_LT(OString("abc"), OString("abd"));
}

TEST(OStringMove, MovedFromIsEmptyAndUsable) {
    OString a("moving");
    OString b(std::move(a));
    EXPECT_STREQ(b.c_str(), "moving");
    EXPECT_EQ(a.bufferRecord(), OString::emptyBuffer()); // NOLINT(bugprone-use-after-move)
    a.append("again");
    EXPECT_STREQ(a.c_str(), "again");
    b = std::move(a);
    EXPECT_STREQ(b.c_str(), "again");
}

} // namespace
