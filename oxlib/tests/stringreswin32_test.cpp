// The message libraries on Windows: stringres_en.dll and stringres_de.dll, built
// by windres from the same sources as the Linux ones, found through the folder
// the registry names and read with LoadStringA. The library picks the language
// from the user's locale, so CTest runs this program once in English and once
// in German (Wine takes the locale from LC_ALL); each test checks the language
// it was run for and skips in the other.
#include <oxlib/oregistry.h>
#include <oxlib/oresmanager.h>

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

// The build folder of the message libraries, as Wine's drive Z: shows it.
std::string libraryFolder() {
    std::string folder = "Z:" OX_STRINGRES_DIR;
    for (char& c : folder) {
        if (c == '/')
            c = '\\';
    }
    return folder;
}

class StringResources : public ::testing::Test {
protected:
    void SetUp() override {
        char language[16] = {};
        GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SABBREVLANGNAME, language, sizeof language);
        language_ = std::string(language).substr(0, 2);
        ASSERT_TRUE(strings_.writeString("Path", libraryFolder().c_str()));
    }
    void TearDown() override {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Corvane Software");
    }
    void expectLanguage(const char* wanted) {
        if (language_ != wanted)
            GTEST_SKIP() << "the user's language is " << language_ << ", not " << wanted;
    }

    std::string language_;
    ORegistry strings_{"Shared Tools\\Strings", "Software\\Corvane Software\\", HKEY_LOCAL_MACHINE};
};

TEST_F(StringResources, EnglishFromTheRegistryFolder) {
    expectLanguage("EN");
    initStringResources();
    // Asked for as stringres_EN (Wine's "ENU"), the file is stringres_en.dll.
    const std::string path = getStringLibraryPath().c_str();
    EXPECT_EQ(_stricmp(path.c_str(), (libraryFolder() + "\\stringres_en.dll").c_str()), 0) << path;
    EXPECT_EQ(std::string(loadResourceString(33009).c_str()),
              "Internal check failed: %3 (%1, line %2). %4");
    EXPECT_EQ(loadResourceString(65535), OString());
}

TEST_F(StringResources, GermanFoundWithoutRegardToCase) {
    expectLanguage("DE");
    initStringResources();
    // The name made from the language is stringres_DE; the file is stringres_de.dll.
    const std::string path = getStringLibraryPath().c_str();
    EXPECT_EQ(_stricmp(path.c_str(), (libraryFolder() + "\\stringres_de.dll").c_str()), 0) << path;
    // The table's UTF-8 source reaches the program in its ANSI code page.
    ASSERT_EQ(GetACP(), 1252u);
    EXPECT_EQ(std::string(loadResourceString(33009).c_str()),
              "Interne Pr\xFC" "fung fehlgeschlagen: %3 (%1, Zeile %2). %4");
}

} // namespace
