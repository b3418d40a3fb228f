// The system layer's tree delete over Windows' own registry: a whole key with
// its descendants, or the contents of a key that stays, and nothing beside it.
#include "sys/osys.h"
#include "tempregistry.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

const std::string kRoot = "Software\\Corvane Software\\DeleteTree";

LONG create(const std::string& path) {
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExA(HKEY_CURRENT_USER, (kRoot + "\\" + path).c_str(), 0, nullptr, 0,
                              KEY_WRITE, nullptr, &key, nullptr);
    if (rc == ERROR_SUCCESS) {
        rc = RegSetValueExA(key, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2);
        RegCloseKey(key);
    }
    return rc;
}

bool exists(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, (kRoot + "\\" + path).c_str(), 0, KEY_READ, &key))
        return false;
    RegCloseKey(key);
    return true;
}

std::vector<std::string> contents(const std::string& path) {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, (kRoot + "\\" + path).c_str(), 0, KEY_READ, &key))
        return names;
    char name[256];
    for (DWORD i = 0, n = sizeof name;
         RegEnumKeyExA(key, i, name, &n, nullptr, nullptr, nullptr, nullptr) == 0;
         ++i, n = sizeof name)
        names.push_back(name);
    for (DWORD i = 0, n = sizeof name;
         RegEnumValueA(key, i, name, &n, nullptr, nullptr, nullptr, nullptr) == 0;
         ++i, n = sizeof name)
        names.push_back("=" + std::string(name));
    RegCloseKey(key);
    return names;
}

TEST(SystemRegistry, DeleteTreeTakesTheKeyOrItsContentsAndNothingBeside) {
    struct Case {
        const char* subKey; // below kRoot\S; "" deletes S's contents only
        std::vector<std::string> left;
    } cases[] = {
        {"A", {"A0", "Z", "=v"}},
        {"", {}},
    };
    TempRegistry registry;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.subKey);
        for (const char* path : {"S", "S\\A\\B\\C", "S\\A\\D", "S\\A0", "S\\Z"})
            ASSERT_EQ(create(path), ERROR_SUCCESS);
        oxsys::RegKey s = nullptr;
        ASSERT_EQ(oxsys::regOpenKey(HKEY_CURRENT_USER, (kRoot + "\\S").c_str(), KEY_READ, &s), 0);
        EXPECT_EQ(oxsys::regDeleteTree(s, c.subKey), ERROR_SUCCESS);
        oxsys::regCloseKey(s);
        EXPECT_TRUE(exists("S"));
        EXPECT_EQ(contents("S"), c.left);
    }
    // A key that is not there is reported, not created.
    EXPECT_EQ(oxsys::regDeleteTree(HKEY_CURRENT_USER, (kRoot + "\\S\\A").c_str()),
              ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(exists("S\\A"));
}

} // namespace
