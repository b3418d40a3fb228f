// The POSIX registry store through the system layer's calls: names compared
// without case beyond ASCII, Windows' name limits and path rules, deletion of
// whole trees, handles that are checked, and where the file goes.
#include "tempregistry.h"

#include <oxlib/oregistry.h>

#include "sys/osys.h"
#include "sys/registrynames.h"
#include "sys/registrystore.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using namespace oxsys;

class RegistryStoreTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(registry::openHandles(), 0u); }

    static int32_t create(const std::string& path) {
        RegKey key = nullptr;
        const int32_t rc = regCreateKey(HKEY_LOCAL_MACHINE, path.c_str(), kKeyWrite, &key);
        if (rc == kErrSuccess)
            regCloseKey(key);
        return rc;
    }
    static int32_t open(const std::string& path) {
        RegKey key = nullptr;
        const int32_t rc = regOpenKey(HKEY_LOCAL_MACHINE, path.c_str(), kKeyRead, &key);
        if (rc == kErrSuccess)
            regCloseKey(key);
        return rc;
    }
    static int32_t setText(RegKey key, const std::string& name, const std::string& text) {
        return regSetValue(key, name.c_str(), REG_SZ,
                           reinterpret_cast<const unsigned char*>(text.c_str()),
                           static_cast<uint32_t>(text.size() + 1));
    }
    static std::vector<std::string> subKeys(const std::string& path) {
        std::vector<std::string> names;
        RegKey key = nullptr;
        if (regOpenKey(HKEY_LOCAL_MACHINE, path.c_str(), kKeyRead, &key) != kErrSuccess)
            return names;
        char name[1024];
        for (uint32_t i = 0;; ++i) {
            uint32_t size = sizeof name;
            if (regEnumKey(key, i, name, &size) != kErrSuccess)
                break;
            names.emplace_back(name, size);
        }
        regCloseKey(key);
        return names;
    }

    TempRegistry store_;
};

TEST_F(RegistryStoreTest, NamesKeepTheirCaseAndCompareWithoutItBeyondAscii) {
    EXPECT_EQ(registry::foldName("ärger ωmega straße"), "ÄRGER ΩMEGA STRAßE");
    EXPECT_EQ(registry::foldName("Ärger Ωmega straße"), registry::foldName("äRGER ωMEGA STRAßE"));
    EXPECT_NE(registry::foldName("É"), registry::foldName("E"));
    // Bytes that are not UTF-8 stay as they are; only ASCII letters in them fold.
    EXPECT_EQ(registry::foldName("a\xF5\x80\x80z\xC3"), "A\xF5\x80\x80Z\xC3");
    EXPECT_EQ(registry::foldName("\xED\xA0\x80"), "\xED\xA0\x80"); // a lone surrogate
    EXPECT_EQ(registry::foldName("ı"), "ı"); // dotless i does not become I

    ASSERT_EQ(create("Software\\Ärger\\Ωmega"), kErrSuccess);
    EXPECT_EQ(open("SOFTWARE\\äRGER\\ωMEGA"), kErrSuccess);
    EXPECT_EQ(create("software\\ärger\\ωmega\\Child"), kErrSuccess);
    EXPECT_EQ(subKeys("Software"), (std::vector<std::string>{"Ärger"}));
    EXPECT_EQ(subKeys("software\\ÄRGER"), (std::vector<std::string>{"Ωmega"}));

    RegKey key = nullptr;
    ASSERT_EQ(regOpenKey(HKEY_LOCAL_MACHINE, "Software\\Ärger", kKeyRead | kKeySetValue, &key), 0);
    ASSERT_EQ(setText(key, "Größe", "1"), kErrSuccess);
    ASSERT_EQ(setText(key, "gRÖßE", "2"), kErrSuccess); // the same value
    char name[64];
    uint32_t nameSize = sizeof name;
    uint32_t type = 0;
    ASSERT_EQ(regEnumValue(key, 0, name, &nameSize, &type, nullptr, nullptr), kErrSuccess);
    EXPECT_EQ(std::string(name, nameSize), "Größe");
    nameSize = sizeof name;
    EXPECT_EQ(regEnumValue(key, 1, name, &nameSize, &type, nullptr, nullptr), kErrNoMoreItems);
    unsigned char data[8];
    uint32_t size = sizeof data;
    ASSERT_EQ(regQueryValue(key, "GRÖSSE", &type, data, &size), kErrFileNotFound); // ß stays ß
    ASSERT_EQ(regQueryValue(key, "GRÖßE", &type, data, &size), kErrSuccess);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data)), "2");
    regCloseKey(key);
}

TEST_F(RegistryStoreTest, PathRulesAndWindowsLimits) {
    EXPECT_EQ(create("\\Software\\Lead"), kErrBadPathname);
    EXPECT_EQ(create("Software\\\\Double"), kErrBadPathname);
    EXPECT_EQ(create("Software\\Trail\\\\"), kErrBadPathname);
    EXPECT_EQ(create("Software\\Trail\\"), kErrSuccess); // one trailing backslash is fine
    EXPECT_EQ(open("Software\\Trail"), kErrSuccess);
    EXPECT_FALSE(regErrorText(create("\\x")).empty());

    EXPECT_EQ(create("Software\\" + std::string(255, 'k')), kErrSuccess);
    EXPECT_EQ(create("Software\\" + std::string(256, 'k')), kErrInvalidParameter);
    std::string accents;
    for (int i = 0; i < 255; ++i)
        accents += "é"; // 510 bytes, but 255 characters: characters count
    EXPECT_EQ(create("Software\\" + accents), kErrSuccess);
    EXPECT_EQ(create("Software\\" + accents + "é"), kErrInvalidParameter);

    std::string deep = "D";
    for (int level = 1; level < 512; ++level)
        deep += "\\D";
    EXPECT_EQ(create(deep), kErrSuccess);
    EXPECT_EQ(create(deep + "\\Deeper"), kErrInvalidParameter);

    RegKey key = nullptr;
    ASSERT_EQ(regCreateKey(HKEY_LOCAL_MACHINE, "Software\\Names", kKeyWrite, &key), 0);
    EXPECT_EQ(setText(key, std::string(16383, 'n'), "ok"), kErrSuccess);
    EXPECT_EQ(setText(key, std::string(16384, 'n'), "too long"), kErrInvalidParameter);
    EXPECT_EQ(setText(key, "", "the default value"), kErrSuccess);
    EXPECT_EQ(setText(key, "back\\slash\\", "value names may hold backslashes"), kErrSuccess);
    regCloseKey(key);
}

TEST_F(RegistryStoreTest, DeletingATreeTakesItsDescendantsAndNothingElse) {
    for (const char* path : {"S\\A\\B\\C", "S\\A B", "S\\A0", "S\\A]x", "S\\Z"})
        ASSERT_EQ(create(path), kErrSuccess);
    RegKey key = nullptr;
    ASSERT_EQ(regCreateKey(HKEY_LOCAL_MACHINE, "S\\A\\B", kKeyWrite, &key), 0);
    ASSERT_EQ(setText(key, "v", "x"), kErrSuccess);

    ASSERT_EQ(regDeleteTree(HKEY_LOCAL_MACHINE, "s\\a"), kErrSuccess);
    EXPECT_EQ(subKeys("S"), (std::vector<std::string>{"A B", "A0", "A]x", "Z"}));
    EXPECT_EQ(open("S\\A\\B\\C"), kErrFileNotFound);
    EXPECT_EQ(regDeleteTree(HKEY_LOCAL_MACHINE, "S\\A"), kErrFileNotFound);
    // A handle to a deleted key no longer takes values.
    EXPECT_EQ(setText(key, "v", "y"), kErrKeyDeleted);
    regCloseKey(key);

    // With no sub-key, a key keeps itself and loses its contents.
    RegKey s = nullptr;
    ASSERT_EQ(regOpenKey(HKEY_LOCAL_MACHINE, "S", kKeyRead | kKeySetValue, &s), 0);
    ASSERT_EQ(setText(s, "w", "x"), kErrSuccess);
    ASSERT_EQ(regDeleteTree(s, ""), kErrSuccess);
    regCloseKey(s);
    EXPECT_EQ(open("S"), kErrSuccess);
    EXPECT_TRUE(subKeys("S").empty());
    EXPECT_EQ(ORegistry("S", "", HKEY_LOCAL_MACHINE).readString("w"), OString());
}

TEST_F(RegistryStoreTest, HandlesAreCheckedAndAccessIsEnforced) {
    RegKey key = nullptr;
    ASSERT_EQ(regCreateKey(HKEY_LOCAL_MACHINE, "Software\\H", kKeyRead, &key), kErrSuccess);
    EXPECT_EQ(setText(key, "v", "read-only handle"), kErrAccessDenied);
    EXPECT_EQ(regCloseKey(key), kErrSuccess);
    EXPECT_EQ(regCloseKey(key), kErrInvalidHandle);
    int garbage = 0;
    EXPECT_EQ(regCloseKey(&garbage), kErrInvalidHandle);
    uint32_t size = 0;
    EXPECT_EQ(regQueryValue(&garbage, "v", nullptr, nullptr, &size), kErrInvalidHandle);
    EXPECT_EQ(regOpenKey(reinterpret_cast<RegKey>(0x80000000u), "x", kKeyRead, &key),
              kErrInvalidHandle); // a root the store does not keep
    EXPECT_EQ(key, nullptr);

    // The two roots are separate.
    ASSERT_EQ(create("Software\\OnlyMachine"), kErrSuccess);
    EXPECT_EQ(regOpenKey(HKEY_CURRENT_USER, "Software\\OnlyMachine", kKeyRead, &key),
              kErrFileNotFound);
}

TEST_F(RegistryStoreTest, QueryReportsTheSizeNeeded) {
    RegKey key = nullptr;
    ASSERT_EQ(regCreateKey(HKEY_LOCAL_MACHINE, "Software\\Q", kKeyWrite | kKeyRead, &key), 0);
    ASSERT_EQ(setText(key, "v", "twelve bytes"), kErrSuccess);
    uint32_t type = 0;
    uint32_t size = 0;
    EXPECT_EQ(regQueryValue(key, "v", &type, nullptr, &size), kErrSuccess);
    EXPECT_EQ(size, 13u);
    unsigned char small[4];
    size = sizeof small;
    EXPECT_EQ(regQueryValue(key, "v", &type, small, &size), kErrMoreData);
    EXPECT_EQ(size, 13u);
    EXPECT_EQ(regDeleteValue(key, "V"), kErrSuccess);
    EXPECT_EQ(regDeleteValue(key, "v"), kErrFileNotFound);
    regCloseKey(key);
}

TEST_F(RegistryStoreTest, StoreFileIsOwnerOnlyAndReadsNeverCreateIt) {
    const std::string nested = store_.folder() + "/new/folder/registry.db";
    setenv("OXLIB_REGISTRY", nested.c_str(), 1);
    EXPECT_EQ(regLocation(), nested);
    EXPECT_EQ(open("Software"), kErrFileNotFound);
    EXPECT_EQ(open(""), kErrSuccess); // a root is there before the store is
    struct stat st;
    EXPECT_NE(stat(nested.c_str(), &st), 0);

    ASSERT_EQ(create("Software\\New"), kErrSuccess);
    ASSERT_EQ(stat(nested.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(stat((store_.folder() + "/new").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(RegistryStoreTest, DefaultLocationFollowsXdgThenHome) {
    unsetenv("OXLIB_REGISTRY");
    const char* savedXdg = std::getenv("XDG_DATA_HOME");
    const std::string xdg = savedXdg ? savedXdg : "";
    setenv("XDG_DATA_HOME", "/data/home", 1);
    EXPECT_EQ(regLocation(), "/data/home/oxlib/registry.db");
    setenv("XDG_DATA_HOME", "relative/ignored", 1);
    const char* home = std::getenv("HOME");
    if (home && *home) {
        EXPECT_EQ(regLocation(), std::string(home) + "/.local/share/oxlib/registry.db");
    }
    if (savedXdg)
        setenv("XDG_DATA_HOME", xdg.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
    setenv("OXLIB_REGISTRY", store_.path().c_str(), 1);
}

// While a process keeps writing, the journal beside the store stays short.
TEST(RegistryJournal, StaysShortWhileAProcessWrites) {
    TempRegistry store;
    const ORegistry reg("Journal", "Software\\", HKEY_LOCAL_MACHINE);
    std::uintmax_t largest = 0;
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(
            reg.writeString(("V" + std::to_string(i)).c_str(), std::string(200, 'j').c_str()));
        std::error_code missing;
        const std::uintmax_t size = std::filesystem::file_size(store.path() + "-wal", missing);
        if (!missing)
            largest = std::max(largest, size);
    }
    EXPECT_LT(largest, 256u * 1024u);
    EXPECT_EQ(reg.readString("V199"), OString(std::string(200, 'j').c_str()));
}

} // namespace
