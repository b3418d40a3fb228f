// The character view of OString in a double-byte code page: Japanese (932,
// Shift-JIS), where a lead byte and its trail byte are one character and a
// trail byte may look like ASCII ("\x95\x5C" is one character whose second byte
// is a backslash). The suite runs only where the ANSI code page is 932 (under
// Wine: LC_ALL=ja_JP.UTF-8); elsewhere each test says it was skipped.

#include <oxlib/ostring.h>

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

// Shift-JIS: hiragana a and i, a kanji whose trail byte is '\' and one whose
// trail byte is 'a', and the full-width space.
const char* const kA = "\x82\xA0";
const char* const kI = "\x82\xA2";
const char* const kBackslashTrail = "\x95\x5C";
const char* const kLetterTrail = "\x83\x61";
const char* const kWideSpace = "\x81\x40";

class OStringDbcs : public ::testing::Test {
protected:
    void SetUp() override {
        if (GetACP() != 932)
            GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 932";
    }
    static std::string bytes(const OString& s) { return std::string(s.c_str()); }
};

TEST_F(OStringDbcs, CountsAndReadsWholeCharacters) {
    const OString s((std::string("k") + kA + kBackslashTrail).c_str());
    EXPECT_EQ(s.getNativeCharsUsed(), 5);
    EXPECT_EQ(s.getNChars(), 3);
    EXPECT_EQ(s.getAt(0).value(), 'k');
    EXPECT_EQ(s.getAt(1).value(), 0xA082);
    // A key path ending in this character does not end in a backslash.
    EXPECT_EQ(s.getAt(s.getNChars() - 1).value(), 0x5C95);
    EXPECT_TRUE(s.getAt(2).isDBChar());
    EXPECT_EQ(s.getAt(3).value(), 0);
}

TEST_F(OStringDbcs, LeftNeverSplitsACharacter) {
    const OString s((std::string(kA) + "x" + kI).c_str());
    EXPECT_EQ(bytes(s.left(1)), kA);
    EXPECT_EQ(bytes(s.left(2)), std::string(kA) + "x");
    EXPECT_EQ(bytes(s.left(3)), bytes(s));
    EXPECT_EQ(bytes(s.left(9)), bytes(s));
}

TEST_F(OStringDbcs, FindsOnlyAtCharacterBoundaries) {
    const OString s((std::string(kBackslashTrail) + kLetterTrail + "a\\").c_str());
    // The '\' and 'a' inside the double-byte characters are not found.
    OStringIterator slash = s.find(OChar('\\'));
    ASSERT_FALSE(slash.isAtEnd());
    EXPECT_EQ(slash.position() - s.c_str(), 5);
    OStringIterator a = s.find(OChar('a'));
    EXPECT_EQ(a.position() - s.c_str(), 4);
    EXPECT_EQ(s.find(OChar::fromBytes(0x83, 0x61)).position() - s.c_str(), 2);
    EXPECT_TRUE(s.find(OChar::fromBytes(0x82, 0xA0)).isAtEnd());
    // Text search as well: "a\" starts at byte 4, not inside the second character.
    EXPECT_EQ(s.find(OString("a\\")) - s.c_str(), 4);
    EXPECT_EQ(s.find(OString("\\")) - s.c_str(), 5);
    EXPECT_EQ(*s.find(OString("\x5C\x83")), 0); // spans two characters: no match
}

TEST_F(OStringDbcs, TrimsKeepDoubleByteCharactersAndTheWideSpace) {
    // The full-width space is a double-byte character, so no space: only
    // single-byte blanks are trimmed, and double-byte characters stay whole.
    OString s((std::string("  ") + kWideSpace + kA + " " + kBackslashTrail + "  ").c_str());
    s.trimLeft();
    EXPECT_EQ(bytes(s), std::string(kWideSpace) + kA + " " + kBackslashTrail + "  ");
    s.trimRight();
    EXPECT_EQ(bytes(s), std::string(kWideSpace) + kA + " " + kBackslashTrail);
    OString wide(kWideSpace);
    wide.trimRight();
    EXPECT_EQ(bytes(wide), kWideSpace);
}

TEST_F(OStringDbcs, ReplaceCharChangesTheLengthByWholeCharacters) {
    OString s((std::string("a") + kA + "c").c_str());
    OStringIterator it(s);
    it.advance(1);
    // Double by single: one byte shorter, the tail moved up.
    s.replaceChar(it, OChar('b'));
    EXPECT_STREQ(s.c_str(), "abc");
    EXPECT_EQ(it.current().value(), 'b');
    // Single by double: one byte longer.
    s.replaceChar(it, OChar::fromBytes(0x95, 0x5C));
    EXPECT_EQ(bytes(s), std::string("a") + kBackslashTrail + "c");
    EXPECT_EQ(s.getNChars(), 3);
    // Double by another double: the same length.
    s.replaceChar(it, OChar::fromBytes(0x82, 0xA2));
    EXPECT_EQ(bytes(s), std::string("a") + kI + "c");
    // At the terminator the character is appended.
    OStringIterator end(s);
    end.advance(3);
    ASSERT_TRUE(end.isAtEnd());
    s.replaceChar(end, OChar::fromBytes(0x82, 0xA0));
    EXPECT_EQ(bytes(s), std::string("a") + kI + "c" + kA);
    EXPECT_EQ(s.getNChars(), 4);
}

TEST_F(OStringDbcs, WideTextBecomesShiftJis) {
    EXPECT_EQ(bytes(OString::fromWide(u"\u3042\u3044")), std::string(kA) + kI);
    EXPECT_EQ(OWideString(u"\u3042").narrowSize(userDefaultCodePage), 3);
}

} // namespace
