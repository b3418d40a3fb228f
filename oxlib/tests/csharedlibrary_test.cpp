// The loader against a shared object of the test build, a function it lacks,
// a library that does not exist, a release that fails, and the traces.
#include "childprocess.h"
#include "logcapture.h"
#include "tempregistry.h"

#include "sys/osys.h"

#include <oxlib/csharedlibrary.h>
#include <oxlib/olog.h>
#include <oxlib/oregistry.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

const std::string kPlugin = OX_TEST_PLUGIN;

// The system's own text for a failure: FormatMessageA's on Windows; on Linux
// the part of dlerror's and strerror's texts a test can count on.
#if defined(_WIN32)
std::string windowsText(DWORD code) {
    char text[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr);
    return text;
}
const std::string kNoLibraryText = windowsText(ERROR_MOD_NOT_FOUND);
const std::string kNoFileText = windowsText(ERROR_FILE_NOT_FOUND);

void setVariable(const char* name, const char* value) {
    oxsys::setEnvironment(name, value);
}
#else
const std::string kNoLibraryText = "cannot open shared object file";
const std::string kNoFileText = "No such file or directory";

void setVariable(const char* name, const char* value) {
    if (*value == 0)
        unsetenv(name);
    else
        setenv(name, value, 1);
}
#endif

std::string detailOf(const CSharedLibraryException& e) {
    return e.GetDetail().c_str();
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

TEST(SharedLibrary, FindsAndCallsAFunctionThenReleases) {
    LogCapture log;
    CSharedLibrary library(kPlugin.c_str());
    EXPECT_EQ(library.getName(), OString(kPlugin.c_str()));
    const auto answer = reinterpret_cast<int (*)()>(library.GetFunction("ox_test_answer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_NE(library.FreeLibrary(), 0);
    EXPECT_TRUE(log.events().empty());
}

TEST(SharedLibrary, MissingFunctionNamesTheLibraryNotTheFunction) {
    LogCapture log;
    CSharedLibrary library(kPlugin.c_str());
    try {
        library.GetFunction("ox_no_such_function");
        FAIL() << "no exception";
    } catch (const CSharedLibraryException& e) {
        EXPECT_EQ(e.GetCode(), CSharedLibraryException::kGetFunction);
        const std::string detail = detailOf(e);
        const std::string prefix = "detail=GETFUNCTION: " + kPlugin + " error: ";
        EXPECT_TRUE(startsWith(detail, prefix)) << detail;
        EXPECT_GT(detail.size(), prefix.size()) << "the system text is missing";
        EXPECT_EQ(detail.find("ox_no_such_function"), std::string::npos) << detail;
    }
    // The default level is 2: nothing is traced, and the exception still came.
    EXPECT_TRUE(log.events().empty());
    library.FreeLibrary();
}

TEST(SharedLibrary, MissingLibraryThrowsWithTheNameAsGiven) {
    try {
        CSharedLibrary library("oxlib_no_such_library");
        FAIL() << "no exception";
    } catch (const CSharedLibraryException& e) {
        EXPECT_EQ(e.GetCode(), CSharedLibraryException::kLoad);
        const std::string detail = detailOf(e);
        const std::string prefix = "detail=DLLNAME: oxlib_no_such_library error: ";
        ASSERT_TRUE(startsWith(detail, prefix)) << detail;
        EXPECT_NE(detail.find(kNoLibraryText, prefix.size()), std::string::npos) << detail;
        // Copies share the text.
        const CSharedLibraryException copy = e;
        EXPECT_EQ(copy.GetCode(), 0);
        EXPECT_EQ(copy.GetDetail().bufferRecord(), e.GetDetail().bufferRecord());
    }
}

// An empty name (what a missing "DLLPath" reads as) loads nothing: never the
// host program, whose own symbols would pass for a library's.
TEST(SharedLibrary, EmptyNameFailsAsAFailedLoad) {
    try {
        CSharedLibrary library("");
        FAIL() << "loaded " << reinterpret_cast<uintptr_t>(library.getHandle());
    } catch (const CSharedLibraryException& e) {
        EXPECT_EQ(e.GetCode(), CSharedLibraryException::kLoad);
#if defined(_WIN32)
        EXPECT_EQ(detailOf(e), "detail=DLLNAME:  error: " + kNoLibraryText);
#else
        EXPECT_EQ(detailOf(e), "detail=DLLNAME:  error: no library name");
#endif
    }
}

TEST(SharedLibrary, FailedReleaseHasNoBlanksAroundItsPieces) {
    CSharedLibrary library(kPlugin.c_str());
    ASSERT_NE(library.FreeLibrary(), 0);
    // A second release of the same handle fails cleanly instead of touching
    // the loader's freed state.
    try {
        library.FreeLibrary();
        FAIL() << "no exception";
    } catch (const CSharedLibraryException& e) {
        EXPECT_EQ(e.GetCode(), CSharedLibraryException::kFree);
        const std::string detail = detailOf(e);
        EXPECT_TRUE(startsWith(detail, "detail=FREELIBRARY:" + kPlugin + "error:")) << detail;
        EXPECT_GT(detail.size(), ("detail=FREELIBRARY:" + kPlugin + "error:").size());
    }
}

TEST(SharedLibrary, LoadingTwiceNeedsTwoReleases) {
    CSharedLibrary first(kPlugin.c_str());
    CSharedLibrary second(kPlugin.c_str());
    EXPECT_EQ(first.getHandle(), second.getHandle());
    EXPECT_NE(first.FreeLibrary(), 0);
    // Still loaded for the second owner.
    const auto answer = reinterpret_cast<int (*)()>(second.GetFunction("ox_test_answer"));
    EXPECT_EQ(answer(), 42);
    EXPECT_NE(second.FreeLibrary(), 0);
}

TEST(SharedLibrary, SystemErrorText) {
    logLevel(); // the logger, once started, loads nothing more to replace the error
    EXPECT_EQ(std::string(getSystemErrorText(2).c_str()), kNoFileText);
    try {
        CSharedLibrary library("oxlib_no_such_library");
    } catch (const CSharedLibraryException&) {
    }
    // The thread's last error is the loader's failure (dlerror names the library).
    const std::string last = getSystemErrorText(-1).c_str();
#if defined(_WIN32)
    // There the exception's own unwinding may clear it (TlsGetValue does), so
    // the last error is read straight after a failed load instead.
    (void)last;
    ASSERT_EQ(oxsys::loadLibrary("oxlib_no_such_library"), nullptr);
    EXPECT_EQ(std::string(getSystemErrorText(-1).c_str()), kNoLibraryText);
#else
    EXPECT_NE(last.find("oxlib_no_such_library"), std::string::npos) << last;
#endif
}

TEST(SharedLibrary, TracesTheDetailOnlyFromLevel256) {
    // The level comes from "<program>_logLevel" once per process, and only when
    // logging is configured, so each level runs in a helper process of its own
    // with the logging key in its store (and its current folder, which gets the
    // logger's event.log, in the store's folder).
    TempRegistry registry;
    oxsys::RegKey key = nullptr;
    ASSERT_EQ(oxsys::regCreateKey(HKEY_LOCAL_MACHINE, "Software\\Corvane Software\\Corvane Logging",
                                  oxsys::kKeyWrite, &key),
              oxsys::kErrSuccess);
    oxsys::regCloseKey(key);
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(registry.folder());
    setVariable("oxlib_system_helper_logLevel", "256");
    const ChildResult traced = runChild({OX_SYSTEM_HELPER, "load", "oxlib_no_such_library"});
    setVariable("oxlib_system_helper_logLevel", "255");
    const ChildResult quiet = runChild({OX_SYSTEM_HELPER, "load", "oxlib_no_such_library"});
    setVariable("oxlib_system_helper_logLevel", "");
    std::filesystem::current_path(previous);

    ASSERT_EQ(traced.status, 0) << traced.err;
    const std::string trace = "event 256 1 33011|CSharedLibrary::CSharedLibrary: Error: "
                              "detail=DLLNAME: oxlib_no_such_library error: ";
    EXPECT_NE(traced.out.find("level 256\n"), std::string::npos) << traced.out;
    EXPECT_NE(traced.out.find(trace), std::string::npos) << traced.out;
    EXPECT_NE(traced.out.find("code 0|detail=DLLNAME: oxlib_no_such_library error: "),
              std::string::npos);

    ASSERT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_EQ(quiet.out.find("event 256"), std::string::npos) << quiet.out;
    EXPECT_NE(quiet.out.find("code 0|detail=DLLNAME: "), std::string::npos);
}

} // namespace
