// The string resources over real message libraries: the built stringres_en.so
// and stringres_de.so copied into a temporary folder that a temporary registry
// store names, the user's language set through the locale variables.
#include "childprocess.h"
#include "logcapture.h"
#include "programstrings.h"
#include "tempregistry.h"

#include "oresmanagerstate.h"
#include "sys/osys.h"

#include <oxlib/olog.h>
#include <oxlib/oregistry.h>
#include <oxlib/oresmanager.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace {

namespace fs = std::filesystem;

const char* const kNotFoundMessage =
    "Could not find string resource DLL. Some strings may not appear.";
const std::string kNotFound = std::string("oresmanager.cpp:105:resHandle:") + kNotFoundMessage;

// Sets the locale variables for one test and puts the old values back.
class Locale {
public:
    Locale(const char* lcAll, const char* lcMessages, const char* lang) {
        set("LC_ALL", lcAll);
        set("LC_MESSAGES", lcMessages);
        set("LANG", lang);
    }
    ~Locale() {
        for (auto& [name, value] : saved_)
            value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
    }

private:
    void set(const char* name, const char* value) {
        const char* old = std::getenv(name);
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

class StringResources : public ::testing::Test {
protected:
    StringResources() : libraries_(store_.folder() + "/strings") {
        fs::create_directory(libraries_);
        forgetStringResources();
    }
    ~StringResources() override { forgetStringResources(); }

    void registerFolder(const std::string& folder) {
        const ORegistry strings("Shared Tools\\Strings", "Software\\Corvane Software\\",
                                HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(strings.writeString("Path", folder.c_str()));
    }
    // Puts a built message library into the folder under `name`.
    void ship(const char* built, const std::string& name) {
        fs::copy_file(built, libraries_ + "/" + name, fs::copy_options::overwrite_existing);
    }

    TempRegistry store_;
    std::string libraries_;
};

TEST_F(StringResources, EnglishUserLoadsUpperCaseNameFromTheRegisteredFolder) {
    Locale locale(nullptr, nullptr, "C");
    ship(OX_STRINGRES_EN, "stringres_EN.so");
    registerFolder(libraries_);
    LogCapture log;
    initStringResources();
    EXPECT_EQ(std::string(getStringLibraryPath().c_str()), libraries_ + "/stringres_EN.so");
    EXPECT_EQ(std::string(loadResourceString(34410).c_str()),
              "The logging sub-key %1 has an empty DLLPath value.");
    EXPECT_TRUE(log.events().empty());
}

TEST_F(StringResources, GermanUserFallsToEnglishAndGetsGermanWhenItIsThere) {
    Locale locale(nullptr, nullptr, "de_DE.UTF-8");
    ship(OX_STRINGRES_EN, "stringres_en.so");
    registerFolder(libraries_);
    initStringResources();
    EXPECT_EQ(std::string(getStringLibraryPath().c_str()), libraries_ + "/stringres_en.so");
    EXPECT_EQ(std::string(loadResourceString(34409).c_str()),
              "The logging library %1 lacks one of the required entry points and is not used.");

    // The language keeps its case ("stringres_DE"); the shipped file is found
    // as Windows would find it, whatever the case of its name.
    forgetStringResources();
    ship(OX_STRINGRES_DE, "stringres_de.so");
    initStringResources();
    EXPECT_EQ(std::string(getStringLibraryPath().c_str()), libraries_ + "/stringres_de.so");
    EXPECT_EQ(std::string(loadResourceString(34406).c_str()),
              "Die Protokollbibliothek %1 wurde nicht ordnungsgem\xC3\xA4\xC3\x9F beendet oder "
              "lie\xC3\x9F sich nicht entladen.");
}

TEST_F(StringResources, FolderEndingInASeparatorGetsNoSecondOne) {
    Locale locale(nullptr, nullptr, nullptr);
    ship(OX_STRINGRES_EN, "stringres_en.so");
    registerFolder(libraries_ + "/");
    initStringResources();
    EXPECT_EQ(std::string(getStringLibraryPath().c_str()), libraries_ + "/stringres_en.so");
}

TEST_F(StringResources, LanguageThatCannotBeReadSelectsEnglish) {
    // Neither C nor two leading letters: the language query fails, and the
    // name ends "_en" before any English-specific attempt.
    Locale locale("1234", nullptr, "de_DE");
    ship(OX_STRINGRES_DE, "stringres_en.so"); // proves attempt 1 took the "_en" name
    registerFolder(libraries_);
    initStringResources();
    EXPECT_EQ(std::string(getStringLibraryPath().c_str()), libraries_ + "/stringres_en.so");
    EXPECT_EQ(std::string(loadResourceString(33011).c_str()), "%1");
}

TEST_F(StringResources, NothingAnywhereIsReportedOnceWhileEachCallSearchesAgain) {
    Locale locale(nullptr, nullptr, "de_DE.UTF-8");
    registerFolder(libraries_);
    LogCapture log;
    initStringResources();
    initStringResources();
    EXPECT_EQ(getStringLibraryPath().getNativeCharsUsed(), 0);
    const auto events = log.events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, EVENTLOG_ERROR_TYPE);
    EXPECT_EQ(events[0].category, kCategoryLibrary);
    EXPECT_EQ(events[0].strings,
              (std::vector<std::string>{"oresmanager.cpp", "105", "resHandle", kNotFoundMessage}));
    EXPECT_EQ(log.assertions(), std::vector<std::string>{kNotFound});

    // Without a library the main program's table answers, cut at 256 bytes.
    EXPECT_EQ(std::string(loadResourceString(kProgramOnlyId).c_str()),
              "Only the program knows this text.");
    EXPECT_EQ(std::string(loadResourceString(kProgramLongId).c_str()), std::string(256, 'L'));
    EXPECT_EQ(loadResourceString(34408).getNativeCharsUsed(), 0);

    // The next call searches again and finds what has been installed since.
    ship(OX_STRINGRES_EN, "stringres_en.so");
    initStringResources();
    EXPECT_EQ(std::string(getStringLibraryPath().c_str()), libraries_ + "/stringres_en.so");
    EXPECT_EQ(log.events().size(), 1u);
}

TEST_F(StringResources, NoRegistryValueMeansTheSearchOrderOnly) {
    Locale locale(nullptr, nullptr, nullptr);
    LogCapture log;
    EXPECT_EQ(loadStringLibrary("stringres"), nullptr); // nothing on the search path
    EXPECT_EQ(loadStringLibrary("stringres"), nullptr);
    EXPECT_EQ(log.assertions(), std::vector<std::string>{kNotFound});
}

TEST_F(StringResources, IdOnlyInTheMainProgramComesThroughTheFallback) {
    Locale locale(nullptr, nullptr, "en_GB.UTF-8");
    ship(OX_STRINGRES_EN, "stringres_en.so");
    registerFolder(libraries_);
    initStringResources();
    ASSERT_NE(getStringLibraryPath().getNativeCharsUsed(), 0);
    EXPECT_EQ(std::string(loadResourceString(kProgramOnlyId).c_str()),
              "Only the program knows this text.");
    EXPECT_EQ(loadResourceString(kProgramMissingId).getNativeCharsUsed(), 0);
    // The library's own entry wins over the program's.
    setProgramFallbackTemplate(true);
    EXPECT_EQ(std::string(loadResourceString(34405).c_str()),
              "No message text was found for message id %1 (an event with %2 insertion "
              "strings).");
    setProgramFallbackTemplate(false);
}

// The search by bare name follows the loader's path, which is read when a
// process starts: each case runs in a child of this program (reportWhatLoaded, below)
// with LD_LIBRARY_PATH naming the folder, and the registry naming another.
class SearchOrder : public StringResources {
protected:
    // The path the child's string resources loaded, or "" when none.
    std::string childLoads(const std::string& searchPath) {
        const std::string registered = store_.folder() + "/registered";
        fs::create_directories(registered);
        registerFolder(registered);
        setenv("LD_LIBRARY_PATH", searchPath.c_str(), 1);
        const ChildResult child = runChild({"/proc/self/exe", "--report-loaded", store_.path()});
        unsetenv("LD_LIBRARY_PATH");
        EXPECT_EQ(child.status, 0) << child.out << child.err;
        const size_t at = child.out.find("loaded=[");
        if (at == std::string::npos)
            return "(no answer)";
        const size_t end = child.out.find(']', at);
        return child.out.substr(at + 8, end - at - 8);
    }
};

TEST_F(SearchOrder, LanguageNameByBareNameWhenTheFolderLacksIt) {
    Locale locale(nullptr, nullptr, "de_DE.UTF-8");
    ship(OX_STRINGRES_DE, "stringres_DE.so"); // a bare name matches exactly
    ship(OX_STRINGRES_EN, "stringres_en.so");
    EXPECT_EQ(childLoads(libraries_), libraries_ + "/stringres_DE.so"); // attempt 2
}

TEST_F(SearchOrder, EnglishByBareNameLast) {
    Locale locale(nullptr, nullptr, "de_DE.UTF-8");
    ship(OX_STRINGRES_EN, "stringres_en.so");
    EXPECT_EQ(childLoads(libraries_), libraries_ + "/stringres_en.so"); // attempt 4
    EXPECT_EQ(childLoads(store_.folder() + "/empty"), "");
}

TEST(UserLanguage, FollowsTheLocaleVariablesInTheirOrder) {
    char buffer[40];
    auto language = [&](const char* lcAll, const char* lcMessages, const char* lang) {
        Locale locale(lcAll, lcMessages, lang);
        return oxsys::userLanguageAbbreviation(buffer, sizeof buffer) == 0 ? std::string("?")
                                                                           : std::string(buffer);
    };
    EXPECT_EQ(language(nullptr, nullptr, nullptr), "EN");
    EXPECT_EQ(language(nullptr, nullptr, "C"), "EN");
    EXPECT_EQ(language(nullptr, nullptr, "POSIX"), "EN");
    EXPECT_EQ(language(nullptr, nullptr, "C.UTF-8"), "EN");
    EXPECT_EQ(language(nullptr, nullptr, "de_DE.UTF-8"), "DE");
    EXPECT_EQ(language(nullptr, "fr_FR", "de_DE"), "FR");
    EXPECT_EQ(language("it", "fr_FR", "de_DE"), "IT");
    EXPECT_EQ(language("", "", "pt_BR"), "PT"); // empty values do not count
    EXPECT_EQ(language(nullptr, nullptr, "x"), "?");
    EXPECT_EQ(oxsys::userLanguageAbbreviation(buffer, 2), 0); // no room for two letters
}

// SearchOrder's child: loads the string resources over the registry store STORE as a
// fresh process does and prints the library it loaded.
int reportWhatLoaded(const char* store) {
    setenv("OXLIB_REGISTRY", store, 1);
    initStringResources();
    std::printf("loaded=[%s]\n", getStringLibraryPath().c_str());
    return 0;
}

} // namespace

// The language library as installed (lower case) is found by bare name before
// the English one: the loader's search cannot match names without case.
TEST_F(SearchOrder, InstalledLanguageNameByBareName) {
    Locale locale(nullptr, nullptr, "de_DE.UTF-8");
    ship(OX_STRINGRES_DE, "stringres_de.so");
    ship(OX_STRINGRES_EN, "stringres_en.so");
    EXPECT_EQ(childLoads(libraries_), libraries_ + "/stringres_de.so");
}

// `--report-loaded STORE` runs the child half of the SearchOrder cases instead of the tests,
// so the helper is no test of its own.
int main(int argc, char** argv) {
    if (argc == 3 && std::string_view(argv[1]) == "--report-loaded")
        return reportWhatLoaded(argv[2]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
