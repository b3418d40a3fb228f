// The character view of OString: access, search, substrings, trims, replacement
// and wide-text conversion (single-byte model on this platform).
#include "logcapture.h"

#include <oxlib/ostring.h>

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

TEST(OStringChars, AccessAndCounts) {
    const OString s("key\\");
    EXPECT_EQ(s.getNChars(), 4);
    EXPECT_EQ(s.getAt(s.getNChars() - 1).value(), 92); // the trailing-backslash test
    EXPECT_EQ(s.getAt(0).value(), 'k');
    EXPECT_EQ(s.getAt(4).value(), 0);
    EXPECT_EQ(s.getAt(100).value(), 0);
    EXPECT_TRUE(OString().isEmpty());
    EXPECT_FALSE(s.isEmpty());
    EXPECT_EQ(s.byteSize(userDefaultCodePage), 5);
}

TEST(OStringChars, OCharKinds) {
    EXPECT_EQ(OChar(0).byteLength(), 0);
    EXPECT_EQ(OChar('a').byteLength(), 1);
    const OChar dbc = OChar::fromBytes(0x82, 0xA0);
    EXPECT_TRUE(dbc.isDBChar());
    EXPECT_EQ(dbc.byteLength(), 2);
    EXPECT_EQ(dbc.value(), 0xA082);
    EXPECT_FALSE(dbc.isSpace());
    EXPECT_TRUE(OChar(' ').isSpace());
    EXPECT_TRUE(OChar('\t').isSpace());
    EXPECT_TRUE(OChar('\v').isSpace());
    EXPECT_FALSE(OChar('x').isSpace());
    EXPECT_FALSE(OChar(0).isSpace());
}

TEST(OStringChars, FindCharacterAndText) {
    const OString s("alpha=beta");
    OStringIterator eq = s.find(OChar('='));
    EXPECT_FALSE(eq.isAtEnd());
    EXPECT_EQ(eq.position() - s.c_str(), 5);
    EXPECT_TRUE(s.find(OChar('z')).isAtEnd());

    EXPECT_EQ(s.find(OString("beta")) - s.c_str(), 6);
    EXPECT_EQ(*s.find(OString("gamma")), 0); // the terminator when absent
    EXPECT_EQ(s.find(OString()), s.c_str());

    const OString key = s.substring(s.begin(), eq);
    EXPECT_STREQ(key.c_str(), "alpha");
    EXPECT_STREQ(s.substring(eq.position() + 1, s.c_str() + 10).c_str(), "beta");
    EXPECT_TRUE(s.substring(eq.position(), s.c_str()).isEmpty());
}

TEST(OStringChars, LeftAndIteration) {
    const OString s("abcdef");
    EXPECT_STREQ(s.left(3).c_str(), "abc");
    EXPECT_STREQ(s.left(0).c_str(), "");
    EXPECT_STREQ(s.left(99).c_str(), "abcdef");
    OStringIterator it(s);
    it.advance(2);
    EXPECT_EQ(it.current().value(), 'c');
    it.advance(100);
    EXPECT_TRUE(it.isAtEnd());
    it.advance(1); // stepping at the end stays there
    EXPECT_TRUE(it.isAtEnd());
}

TEST(OStringTrim, LeadingThenTrailingKeepsInnerSpace) {
    OString s("  a b ");
    OString shared(s);
    s.trimLeft();
    EXPECT_STREQ(s.c_str(), "a b ");
    EXPECT_STREQ(shared.c_str(), "  a b "); // trims replace the buffer, never edit it
    s.trimRight();
    EXPECT_STREQ(s.c_str(), "a b");

    OString untouched("abc");
    const OStringBuffer* before = untouched.bufferRecord();
    untouched.trimLeft();
    untouched.trimRight();
    EXPECT_EQ(untouched.bufferRecord(), before);

    OString empty("");
    const OStringBuffer* own = empty.bufferRecord();
    empty.trimLeft(); // an empty text is left as it is
    EXPECT_EQ(empty.bufferRecord(), own);
    empty.trimRight(); // ... but "no non-space character" gives the shared empty
    EXPECT_EQ(empty.bufferRecord(), OString::emptyBuffer());

    for (const char* blank : {"   ", "\t\n\r"}) {
        OString l(blank), r(blank);
        l.trimLeft();
        r.trimRight();
        EXPECT_EQ(l.bufferRecord(), OString::emptyBuffer()) << blank;
        EXPECT_EQ(r.bufferRecord(), OString::emptyBuffer()) << blank;
    }
}

TEST(OStringReplace, GrowingShrinkingAndAppending) {
    OString s("a-c");
    OString other(s);
    OStringIterator it = s.find(OChar('-'));
    s.replaceChar(it, OChar('b'));
    EXPECT_STREQ(s.c_str(), "abc");
    EXPECT_STREQ(other.c_str(), "a-c");
    EXPECT_EQ(it.current().value(), 'b');

    // A double-byte character lengthens the text by one byte and shifts the tail.
    OStringIterator mid = s.find(OChar('b'));
    s.replaceChar(mid, OChar::fromBytes(0x82, 0xA0));
    EXPECT_EQ(s.getNativeCharsUsed(), 4);
    EXPECT_EQ(static_cast<unsigned char>(s.c_str()[1]), 0x82);
    EXPECT_EQ(static_cast<unsigned char>(s.c_str()[2]), 0xA0);
    EXPECT_EQ(s.c_str()[3], 'c');

    // A shorter character closes the gap (a zero character removes one).
    s.assign("aBxc");
    OStringIterator x = s.find(OChar('x'));
    s.replaceChar(x, OChar(0));
    EXPECT_STREQ(s.c_str(), "aBc");
    EXPECT_EQ(s.getNativeCharsUsed(), 3);

    // At the terminator the character is appended.
    OStringIterator end = s.find(OChar('z'));
    s.replaceChar(end, OChar('d'));
    EXPECT_STREQ(s.c_str(), "aBcd");

    // The same character: nothing changes, not even the sharing.
    OString t("xyz");
    OString u(t);
    OStringIterator y = t.find(OChar('y'));
    t.replaceChar(y, OChar('y'));
    EXPECT_EQ(t.bufferRecord(), u.bufferRecord());
}

TEST(OStringReplace, GrowsAFullSoleOwnedBuffer) {
    OString s;
    s.reserveNew(-29); // capacity 3
    s.assign("ab");
    ASSERT_EQ(s.getNativeCharsAllocated(), 3);
    OStringIterator end = s.find(OChar(0));
    s.replaceChar(end, OChar('c'));
    EXPECT_STREQ(s.c_str(), "abc");
    EXPECT_EQ(s.getNativeCharsAllocated(), 3 + 33);
}

TEST(OStringReplace, ForeignIteratorIsReportedAndIgnored) {
    LogCapture log;
    OString s("abc");
    const OString other("xyz");
    OStringIterator foreign(other);
    s.replaceChar(foreign, OChar('q'));
    EXPECT_STREQ(s.c_str(), "abc");
    ASSERT_EQ(log.assertions().size(), 1u);
    EXPECT_EQ(log.assertions()[0], "ostring.cpp:315:nBytesToMove >= 0");
}

TEST(OStringReports, CodePageAndNarrowBuffer) {
    LogCapture log;
    EXPECT_EQ(OString("ab").byteSize(1252), 3);
    const OWideString w(u"abc");
    char small[2];
    w.toNarrow(userDefaultCodePage, small, sizeof small);
    const auto reports = log.assertions();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0], "ostring.cpp:476:codePage == userDefaultCodePage");
    EXPECT_EQ(reports[1], "ostring.cpp:488:nBytesInBuffer >= nBytesUsed");
}

TEST(OWideString, SizesAndConversion) {
    EXPECT_EQ(OWideString().narrowSize(userDefaultCodePage), 1);
    EXPECT_EQ(OWideString(nullptr).narrowSize(userDefaultCodePage), 1);
    EXPECT_EQ(OWideString(u"abc").narrowSize(userDefaultCodePage), 4);
    EXPECT_EQ(OWideString().bufferRecord(), OWideString::emptyBuffer());
    EXPECT_EQ(OWideString::emptyBuffer()->refCount, -1);
    EXPECT_EQ(OWideString(u"abc").bufferRecord()->nativeCharsAllocated, 3 + 33);

    EXPECT_STREQ(OString::fromWide(u"W. Europe Standard Time").c_str(), "W. Europe Standard Time");
    EXPECT_STREQ(OString::fromWide(nullptr).c_str(), "");
#if defined(_WIN32)
    // The ANSI code page of a Western system (Wine's default is 1252).
    if (GetACP() == 1252) {
        EXPECT_STREQ(OString::fromWide(u"M\u00fcnchen").c_str(), "M\xFCnchen");
    }
#else
    // UTF-8 stands for the ANSI code page: non-ASCII text, a surrogate pair and a
    // lone surrogate.
    EXPECT_STREQ(OString::fromWide(u"M\u00fcnchen").c_str(), "M\xC3\xBCnchen");
    EXPECT_STREQ(OString::fromWide(u"\U0001F600").c_str(), "\xF0\x9F\x98\x80");
    const char16_t lone[] = {0xD800, u'x', 0};
    EXPECT_STREQ(OString::fromWide(lone).c_str(), "\xEF\xBF\xBDx");
#endif

    OWideString a(u"shared");
    OWideString b(a);
    EXPECT_EQ(a.bufferRecord(), b.bufferRecord());
    EXPECT_EQ(a.bufferRecord()->refCount, 2);
}

} // namespace
