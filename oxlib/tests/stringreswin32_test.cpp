// The message libraries on Windows: stringres_en.dll and stringres_de.dll, built
// by windres from the same sources as the Linux ones, found through the folder
// the registry names and read with LoadStringA. The library picks the language
// from the user's locale, so CTest runs this program once in English and once
// in German (Wine takes the locale from LC_ALL); each test checks the language
// it was run for and skips in the other. The search copies the DLLs into a
// folder of its own: the registry's folder, the English fallback, the one
// report when nothing is found, and LoadLibraryA's search by bare name (a
// loaded library answers to its bare name, so the logger's start-up searches
// before anything can be found). Each DLL also carries the same
// messages as a MESSAGETABLE, where the event log's readers find an event's
// text; on NT the event sink reports to the event log, not to event.log.
#include "logcapture.h"

#include "oresmanagerstate.h"

#include <oxlib/oeventlog.h>
#include <oxlib/olog.h>
#include <oxlib/oregistry.h>
#include <oxlib/oresmanager.h>

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
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
    void TearDown() override { RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Corvane Software"); }
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
              "Interne Pr\xFC"
              "fung fehlgeschlagen: %3 (%1, Zeile %2). %4");
}

// The search over a folder of this test's own, into which tests copy the
// built libraries.
class StringResourceSearch : public StringResources {
protected:
    void SetUp() override {
        // The logger's own start-up searches first, before there is anything
        // to find: a library it loaded would answer to its bare name.
        logLevel();
        StringResources::SetUp();
        forgetStringResources();
        folder_ = std::filesystem::temp_directory_path() /
                  ("oxstrings-" + std::to_string(GetCurrentProcessId()));
        std::filesystem::create_directories(folder_);
        ASSERT_TRUE(strings_.writeString("Path", folder_.string().c_str()));
    }
    void TearDown() override {
        // The library stays loaded for the process's life; its file can go
        // only once it is unloaded.
        if (const HMODULE loaded = GetModuleHandleA(getStringLibraryPath().c_str()))
            FreeLibrary(loaded);
        forgetStringResources();
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(folder_);
        StringResources::TearDown();
    }
    void ship(const char* dllName) {
        std::filesystem::copy_file(libraryFolder() + "\\" + dllName, folder_ / dllName);
    }
    bool foundIn(const std::filesystem::path& file) const {
        std::error_code error;
        return std::filesystem::equivalent(getStringLibraryPath().c_str(), file, error);
    }

    std::filesystem::path folder_;
    std::filesystem::path previous_ = std::filesystem::current_path();
};

TEST_F(StringResourceSearch, GermanUserGetsTheEnFileWhenTheFolderHasNoDeFile) {
    expectLanguage("DE");
    ship("stringres_en.dll");
    initStringResources();
    EXPECT_TRUE(foundIn(folder_ / "stringres_en.dll")) << getStringLibraryPath().c_str();
    EXPECT_EQ(std::string(loadResourceString(33009).c_str()),
              "Internal check failed: %3 (%1, line %2). %4");
}

TEST_F(StringResourceSearch, EnglishUserToldOnceOfNoLibraryWhileEachCallSearchesAgain) {
    expectLanguage("EN");
    LogCapture log;
    initStringResources();
    initStringResources();
    EXPECT_TRUE(getStringLibraryPath().isEmpty());
    EXPECT_EQ(log.assertions(), std::vector<std::string>{"oresmanager.cpp:105:resHandle:Could "
                                                         "not find string resource DLL. Some "
                                                         "strings may not appear."});
    // The next call finds what has been installed since.
    ship("stringres_en.dll");
    initStringResources();
    EXPECT_TRUE(foundIn(folder_ / "stringres_en.dll")) << getStringLibraryPath().c_str();
    EXPECT_EQ(log.events().size(), 1u);
}

// Without the registry's folder the name alone is loaded, by the system's
// search order, which takes in the current folder.
TEST_F(StringResourceSearch, EnglishUserWithoutTheRegistryValueLoadsByTheSearchOrder) {
    expectLanguage("EN");
    ASSERT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Corvane Software"), ERROR_SUCCESS);
    ship("stringres_en.dll");
    std::filesystem::current_path(folder_);
    LogCapture log;
    initStringResources();
    EXPECT_TRUE(foundIn(folder_ / "stringres_en.dll")) << getStringLibraryPath().c_str();
    EXPECT_TRUE(log.events().empty());
}

// Every string of the STRINGTABLE is in the MESSAGETABLE with the same text
// (a line break there is the message compiler's CR LF).
void expectMessageTableMatchesStringTable(const char* dllName) {
    const HMODULE dll = LoadLibraryExA((libraryFolder() + "\\" + dllName).c_str(), nullptr,
                                       LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(dll, nullptr);
    int compared = 0;
    for (UINT id = 1; id < 65536; ++id) {
        char text[1024];
        if (LoadStringA(dll, id, text, sizeof text) <= 0)
            continue;
        std::string expected;
        for (const char* c = text; *c != 0; ++c)
            expected += *c == '\n' ? std::string("\r\n") : std::string(1, *c);
        char message[1024] = {};
        ASSERT_GT(FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, dll,
                                 id, 0, message, sizeof message, nullptr),
                  0u)
            << dllName << " lacks message " << id;
        EXPECT_EQ(std::string(message), expected) << dllName << " message " << id;
        ++compared;
    }
    EXPECT_GE(compared, 10);
    FreeLibrary(dll);
}

TEST(MessageTable, EnglishMessagesMatchTheStringTable) {
    expectMessageTableMatchesStringTable("stringres_en.dll");
}

TEST(MessageTable, GermanMessagesMatchTheStringTable) {
    expectMessageTableMatchesStringTable("stringres_de.dll");
}

// On NT a report goes to the event log; what its reader shows is the text of
// the event's id in the message file, with the event's strings put in.
TEST_F(StringResources, EnglishEventOnNtGoesToTheEventLogAndReadsWithItsText) {
    expectLanguage("EN");
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_TRUE(GetVersionExA(&version));
    ASSERT_EQ(version.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));

    const std::filesystem::path previous = std::filesystem::current_path();
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("oxevent-" + std::to_string(GetCurrentProcessId()));
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
    OEventLog sink;
    const bool opened = sink.open(nullptr, "Corvane_test");
    const char* strings[] = {"x"};
    const bool reported = opened && sink.report(EVENTLOG_WARNING_TYPE, strings, 15, 1, 34402);
    sink.close();
    const bool wroteFile = std::filesystem::exists("event.log");
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(folder);
    EXPECT_TRUE(opened);
    EXPECT_TRUE(reported);
    EXPECT_FALSE(wroteFile) << "an NT report went to event.log";

    initStringResources();
    const std::string messageFile = getStringLibraryPath().c_str();
    const HMODULE dll = LoadLibraryExA(messageFile.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(dll, nullptr) << messageFile;
    DWORD_PTR inserts[] = {reinterpret_cast<DWORD_PTR>(strings[0])};
    char text[512] = {};
    ASSERT_GT(FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, dll,
                             34402, 0, text, sizeof text, reinterpret_cast<va_list*>(inserts)),
              0u);
    EXPECT_STREQ(text, "The logging library x did not accept an event, or failed while taking it.");
    FreeLibrary(dll);
}

} // namespace
