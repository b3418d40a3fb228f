// ORegistry over the store: the trailing-backslash reports, how each type
// reads, the defaults and when they are written, the 1024-byte buffers, and
// enumeration. Every test has a store of its own.
#include "logcapture.h"
#include "tempregistry.h"

#include <oxlib/olog.h>
#include <oxlib/oregistry.h>

#include "sys/osys.h"
#if !defined(_WIN32)
#include "sys/registrystore.h"
#endif

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char* const kBase = "Software\\Corvane Software\\";

class ORegistryTest : public ::testing::Test {
protected:
    void TearDown() override {
#if !defined(_WIN32) // the store counts its handles; the system registry does not say
        EXPECT_EQ(oxsys::registry::openHandles(), 0u) << "a key handle was left open";
#endif
    }

    // Stores raw bytes of any type, as another program could.
    static void setRaw(const char* key, const char* name, uint32_t type, const std::string& bytes) {
        oxsys::RegKey k = nullptr;
        const std::string path = std::string(kBase) + key;
        ASSERT_EQ(oxsys::regCreateKey(HKEY_LOCAL_MACHINE, path.c_str(), oxsys::kKeyWrite, &k), 0);
        ASSERT_EQ(oxsys::regSetValue(k, name, type,
                                     reinterpret_cast<const unsigned char*>(bytes.data()),
                                     static_cast<uint32_t>(bytes.size())),
                  0);
        oxsys::regCloseKey(k);
    }

    // Type and bytes as stored; type 0xFFFFFFFF when missing.
    static std::pair<uint32_t, std::string> getRaw(const char* key, const char* name) {
        oxsys::RegKey k = nullptr;
        const std::string path = std::string(kBase) + key;
        if (oxsys::regOpenKey(HKEY_LOCAL_MACHINE, path.c_str(), oxsys::kKeyRead, &k) != 0)
            return {0xFFFFFFFF, ""};
        unsigned char buffer[4096];
        uint32_t size = sizeof buffer;
        uint32_t type = 0;
        const int32_t rc = oxsys::regQueryValue(k, name, &type, buffer, &size);
        oxsys::regCloseKey(k);
        if (rc != 0)
            return {0xFFFFFFFF, ""};
        return {type, std::string(reinterpret_cast<char*>(buffer), size)};
    }

    TempRegistry store_;
    ORegistry reg_{"Test", kBase, HKEY_LOCAL_MACHINE};
};

TEST_F(ORegistryTest, TrailingBackslashIsReportedOncePerReadAndEnumerationWhichStillRun) {
    const ORegistry slash("Slash\\", kBase, HKEY_LOCAL_MACHINE);
    LogCapture log;
    ASSERT_TRUE(slash.writeString("name", "value")); // writes make no check
    EXPECT_TRUE(log.events().empty());

    EXPECT_TRUE(slash.keyExists());
    EXPECT_EQ(slash.readString("name"), OString("value"));
    ORegistryKeyIterator keys = slash.subKeys();
    ORegistryValueIterator values = slash.values();
    EXPECT_EQ(values.name(), OString("name"));
    while (values.next()) {
    }

    const std::string tail = ":m_subKey.getAt ( m_subKey.getNChars () - 1 ) != '\\\\'"
                             ":Win95 doesn't like opening \\ ending reg keys";
    EXPECT_EQ(log.assertions(),
              (std::vector<std::string>{"oregistry.cpp:57" + tail, "oregistry.cpp:76" + tail,
                                        "oregistry.cpp:289" + tail, "oregistry.cpp:311" + tail}));
    for (const auto& event : log.events()) {
        EXPECT_EQ(event.type, EVENTLOG_ERROR_TYPE);
        EXPECT_EQ(event.category, 1);
    }
}

TEST_F(ORegistryTest, ReadsEachTypeAsTheBufferAllows) {
    ASSERT_TRUE(reg_.writeInteger("ones", -1));
    EXPECT_EQ(reg_.readString("ones"), OString("4294967295"));
    ASSERT_TRUE(reg_.writeInteger("seven", 7));
    EXPECT_EQ(reg_.readString("seven"), OString("7"));
    EXPECT_EQ(getRaw("Test", "seven"),
              (std::pair<uint32_t, std::string>{REG_DWORD, std::string("\7\0\0\0", 4)}));

    setRaw("Test", "binary", REG_BINARY, std::string("\x01\x02\x03", 3));
    setRaw("Test", "expand", REG_EXPAND_SZ, std::string("%HOME%\0", 7));
    setRaw("Test", "short dword", REG_DWORD, std::string("\1\0", 2));
    EXPECT_EQ(reg_.readString("binary"), OString());
    EXPECT_EQ(reg_.readString("expand"), OString());
    EXPECT_EQ(reg_.readString("short dword"), OString());
    EXPECT_EQ(reg_.readString("missing"), OString());

    // Text fills the buffer up to 1024 bytes with its terminator; beyond, the
    // read fails and gives empty text although the write succeeded.
    const std::string fits(1023, 'a');
    const std::string tooLong(1024, 'b');
    ASSERT_TRUE(reg_.writeString("fits", fits.c_str()));
    ASSERT_TRUE(reg_.writeString("too long", tooLong.c_str()));
    EXPECT_EQ(std::string(reg_.readString("fits").c_str()), fits);
    EXPECT_EQ(reg_.readString("too long"), OString());
    // Text stored without a terminator never reads past its data.
#if defined(_WIN32)
    // Wine's ANSI read wants room for a terminator it adds itself: 1023 bytes.
    const std::string unterminated(1023, 'c');
#else
    const std::string unterminated(1024, 'c');
#endif
    setRaw("Test", "unterminated", REG_SZ, unterminated);
    EXPECT_EQ(std::string(reg_.readString("unterminated").c_str()), unterminated);

    // Names compare without regard to case; a missing key reads as empty.
    EXPECT_EQ(reg_.readString("SEVEN"), OString("7"));
    EXPECT_EQ(ORegistry("Nowhere", kBase, HKEY_LOCAL_MACHINE).readString("x"), OString());
}

TEST_F(ORegistryTest, StringDefaultIsWrittenOnlyWhenMissingOrEmpty) {
    LogCapture log;
    // Missing value of a missing key: key created, "abc" stored with its zero.
    EXPECT_FALSE(reg_.keyExists());
    EXPECT_EQ(reg_.readStringDefault("fresh", "abc"), OString("abc"));
    EXPECT_TRUE(reg_.keyExists());
    EXPECT_EQ(getRaw("Test", "fresh"),
              (std::pair<uint32_t, std::string>{REG_SZ, std::string("abc\0", 4)}));

    // An existing value wins and nothing is written.
    ASSERT_TRUE(reg_.writeString("kept", "x"));
    EXPECT_EQ(reg_.readStringDefault("kept", "abc"), OString("x"));
    EXPECT_EQ(getRaw("Test", "kept").second, std::string("x\0", 2));

    // An empty default is never written.
    EXPECT_EQ(reg_.readStringDefault("none", ""), OString());
    EXPECT_EQ(getRaw("Test", "none").first, 0xFFFFFFFFu);
    const ORegistry untouched("Untouched", kBase, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(untouched.readStringDefault("none", ""), OString());
    EXPECT_FALSE(untouched.keyExists());

    // A stored empty text counts as missing.
    ASSERT_TRUE(reg_.writeString("empty", ""));
    EXPECT_EQ(reg_.readStringDefault("empty", "abc"), OString("abc"));
    EXPECT_TRUE(log.assertions().empty());

    // A default that cannot be read back as written is reported.
    const std::string tooLong(2000, 'd');
    EXPECT_EQ(reg_.readStringDefault("long", tooLong.c_str()), OString());
    EXPECT_EQ(log.assertions(),
              (std::vector<std::string>{"oregistry.cpp:108:defaultValue == retval"}));
}

TEST_F(ORegistryTest, IntegerDefaultIsWrittenAsDwordOnlyWhenMissing) {
    LogCapture log;
    EXPECT_EQ(reg_.readIntegerDefault("count", 31), OString("31"));
    EXPECT_EQ(getRaw("Test", "count"),
              (std::pair<uint32_t, std::string>{REG_DWORD, std::string("\x1F\0\0\0", 4)}));
    EXPECT_EQ(reg_.readIntegerDefault("count", 5), OString("31"));

    ASSERT_TRUE(reg_.writeString("text", "x"));
    EXPECT_EQ(reg_.readIntegerDefault("text", 7), OString("x"));
    EXPECT_EQ(getRaw("Test", "text").first, static_cast<uint32_t>(REG_SZ));

    EXPECT_EQ(reg_.readIntegerDefault("zero", 0), OString("0"));
    EXPECT_EQ(getRaw("Test", "zero").first, static_cast<uint32_t>(REG_DWORD));
    // A negative default reads back as its unsigned text, which is no mismatch.
    EXPECT_EQ(reg_.readIntegerDefault("minus", -1), OString("4294967295"));
    EXPECT_TRUE(log.assertions().empty());
}

TEST_F(ORegistryTest, EnumeratesSubKeysInNameOrderAndValuesInWriteOrder) {
    const ORegistry parent("Parent", kBase, HKEY_LOCAL_MACHINE);
    for (const char* name : {"beta", "Alpha", "gamma"})
        ASSERT_TRUE(ORegistry(name, "Software\\Corvane Software\\Parent\\", HKEY_LOCAL_MACHINE)
                        .writeString("v", "1"));
    ASSERT_TRUE(parent.writeString("zeta", "last letter"));
    ASSERT_TRUE(parent.writeInteger("alpha", 5));
    ASSERT_TRUE(parent.writeString("mid", "m"));
    ASSERT_TRUE(parent.writeString("ZETA", "rewritten")); // keeps its place and name

    std::vector<std::string> keys;
    for (ORegistryKeyIterator it = parent.subKeys(); it.key() != nullptr; it.next())
        keys.emplace_back(it.name().c_str());
    EXPECT_EQ(keys, (std::vector<std::string>{"Alpha", "beta", "gamma"}));

    std::vector<std::string> values;
    ORegistryValueIterator it = parent.values();
    for (; it.key() != nullptr; it.next())
        values.push_back(std::string(it.name().c_str()) + "=" + it.data().c_str());
#if defined(_WIN32)
    // Wine's registry lists values by name, where Windows keeps the write order.
    EXPECT_EQ(values, (std::vector<std::string>{"alpha=", "mid=m", "zeta=rewritten"}));
#else
    EXPECT_EQ(values, (std::vector<std::string>{"zeta=rewritten", "alpha=", "mid=m"}));
#endif
    EXPECT_EQ(it.name(), OString());
    EXPECT_EQ(it.data(), OString());
    EXPECT_FALSE(it.next());
}

TEST_F(ORegistryTest, EmptyOrMissingKeysEnumerateAsFinished) {
    ASSERT_TRUE(reg_.writeString("only", "value"));
    ORegistryKeyIterator none = reg_.subKeys();
    EXPECT_EQ(none.key(), nullptr);
    EXPECT_EQ(none.name(), OString());
    EXPECT_FALSE(none.next());

    const ORegistry missing("Missing", kBase, HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(missing.keyExists());
    EXPECT_EQ(missing.subKeys().key(), nullptr);
    EXPECT_EQ(missing.values().key(), nullptr);
}

TEST_F(ORegistryTest, ValueEnumerationEndsAtAnOversizedValue) {
    ASSERT_TRUE(reg_.writeString("first", "1"));
    ASSERT_TRUE(reg_.writeString("big", std::string(1500, 'x').c_str()));
    ASSERT_TRUE(reg_.writeString("after", "2"));
    ORegistryValueIterator it = reg_.values();
#if defined(_WIN32)
    EXPECT_EQ(it.name(), OString("after")); // Wine: in name order, so "big" comes second
#else
    EXPECT_EQ(it.name(), OString("first"));
#endif
    EXPECT_FALSE(it.next());
    EXPECT_EQ(it.key(), nullptr);
}

TEST_F(ORegistryTest, AnUnfinishedIteratorClosesItsKey) {
    ASSERT_TRUE(reg_.writeString("a", "1"));
    ASSERT_TRUE(reg_.writeString("b", "2"));
    {
        ORegistryValueIterator it = reg_.values();
        ORegistryValueIterator moved = std::move(it);
        EXPECT_EQ(it.key(), nullptr);
        EXPECT_NE(moved.key(), nullptr);
#if !defined(_WIN32)
        EXPECT_EQ(oxsys::registry::openHandles(), 1u);
#endif
    }
    // TearDown checks that nothing is left open.
}

} // namespace
