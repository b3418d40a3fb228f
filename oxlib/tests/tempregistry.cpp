#include "tempregistry.h"

#include <oxlib/olog.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <vector>

#if defined(_WIN32)
// On Windows (and under Wine) the registry is the system's own. Every test that
// uses it holds the CTest resource lock "registry", so none runs beside another,
// and each starts and ends without the keys the tests write.
#include <windows.h>

#include <atomic>
#include <cstring>

namespace {

void clearTestKeys() {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Corvane Software");
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Corvane Software");
    // The event sources the logger registers ("Corvane_<program>").
    HKEY sources = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                      "System\\CurrentControlSet\\Services\\EventLog\\Application", 0,
                      KEY_READ | KEY_WRITE, &sources) != ERROR_SUCCESS)
        return;
    std::vector<std::string> ours;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(sources, i, name, &size, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        if (std::strncmp(name, "Corvane_", 8) == 0)
            ours.push_back(name);
    }
    for (const std::string& source : ours)
        RegDeleteTreeA(sources, source.c_str());
    RegCloseKey(sources);
}

} // namespace

TempRegistry::TempRegistry() {
    clearTestKeys();
    static std::atomic<int> serial{0};
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("oxreg-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial));
    std::filesystem::create_directories(folder);
    folder_ = folder.string();
    path_ = folder_ + "\\registry.db";
}

TempRegistry::~TempRegistry() {
    clearTestKeys();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

std::string TempRegistry::use(const std::string& fileName) {
    path_ = folder_ + "\\" + fileName;
    return path_;
}

#else
TempRegistry::TempRegistry() {
    if (const char* previous = std::getenv("OXLIB_REGISTRY"))
        previous_ = previous;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/oxreg-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back(0);
    if (mkdtemp(buffer.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    folder_ = buffer.data();
    path_ = folder_ + "/registry.db";
    setenv("OXLIB_REGISTRY", path_.c_str(), 1);
}

TempRegistry::~TempRegistry() {
    if (previous_.empty())
        unsetenv("OXLIB_REGISTRY");
    else
        setenv("OXLIB_REGISTRY", previous_.c_str(), 1);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

std::string TempRegistry::use(const std::string& fileName) {
    path_ = folder_ + "/" + fileName;
    setenv("OXLIB_REGISTRY", path_.c_str(), 1);
    return path_;
}

#endif

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

namespace {

// The test program's own store, in place before the first test runs.
class ProgramStore : public ::testing::Environment {
public:
    void SetUp() override {
#if !defined(_WIN32) // the system registry is shared: only tests holding its lock clear it
        store_ = std::make_unique<TempRegistry>();
#endif
        // The process's logger starts here, on the empty store, so no test sees
        // its start-up reports or finds part of its state (the message library
        // search, say) used up by it.
        logLevel();
    }
    void TearDown() override {
        store_.reset();
    }

private:
    std::unique_ptr<TempRegistry> store_;
};

[[maybe_unused]] ::testing::Environment* const g_programStore =
    ::testing::AddGlobalTestEnvironment(new ProgramStore);

} // namespace
