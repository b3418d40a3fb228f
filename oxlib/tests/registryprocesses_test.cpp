// Several processes on one store: writers racing from an empty folder lose
// nothing, and a writer killed with SIGKILL in mid-run leaves a store that
// opens with every value it had committed. Threads of one process likewise.
#include "childprocess.h"
#include "tempregistry.h"

#include <oxlib/csharedlibrary.h>
#include <oxlib/oregistry.h>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kWriters = 4;
constexpr int kValuesEach = 60;

TEST(RegistryProcesses, ConcurrentWritersLoseNothing) {
    TempRegistry store; // not there yet: the writers race to create it
    std::vector<std::unique_ptr<ChildProcess>> writers;
    for (int w = 0; w < kWriters; ++w) {
        const std::string tag = "P" + std::to_string(w);
        writers.push_back(std::make_unique<ChildProcess>(std::vector<std::string>{
            OX_SYSTEM_HELPER, "write", tag, std::to_string(kValuesEach), tag}));
    }
    // Meanwhile this process reads the shared key, which must never fail.
    const ORegistry shared("Shared", "Software\\Stress\\", HKEY_LOCAL_MACHINE);
    int reads = 0;
    for (; reads < 50; ++reads)
        for (ORegistryValueIterator it = shared.values(); it.key() != nullptr; it.next())
            ASSERT_FALSE(it.data().isEmpty());
    for (auto& writer : writers)
        EXPECT_EQ(writer->wait(), 0);

    std::set<std::string> seen;
    for (ORegistryValueIterator it = shared.values(); it.key() != nullptr; it.next())
        seen.insert(std::string(it.name().c_str()) + "=" + it.data().c_str());
    EXPECT_EQ(seen.size(), static_cast<size_t>(kWriters * kValuesEach));
    for (int w = 0; w < kWriters; ++w) {
        const std::string tag = "P" + std::to_string(w);
        const ORegistry own(tag.c_str(), "Software\\Stress\\", HKEY_LOCAL_MACHINE);
        for (int i = 0; i < kValuesEach; ++i) {
            const std::string text = tag + "-" + std::to_string(i);
            EXPECT_EQ(own.readString(("V" + std::to_string(i)).c_str()), OString(text.c_str()));
            EXPECT_TRUE(seen.count(tag + "_" + std::to_string(i) + "=" + text));
        }
    }
}

TEST(RegistryProcesses, KilledWriterLeavesEveryCommittedValue) {
    TempRegistry store;
    ChildProcess writer({OX_SYSTEM_HELPER, "write-report", "Victim"});
    std::string line;
    int committed = -1;
    while (committed < 150 && writer.readLine(line))
        committed = std::stoi(line);
    ASSERT_GE(committed, 150) << "the writer stopped early";
    writer.kill(SIGKILL);
    EXPECT_EQ(writer.wait(), 128 + SIGKILL);
    // Lines still in the pipe were committed too.
    while (writer.readLine(line, 1))
        committed = std::stoi(line);

    // The file opens sound...
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(store.path().c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* check = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");
    sqlite3_finalize(check);
    sqlite3_close(db);

    // ...with every value reported as written, and takes new ones.
    const ORegistry reg("Victim", "Software\\Crash\\", HKEY_LOCAL_MACHINE);
    for (int i = 0; i <= committed; ++i)
        ASSERT_EQ(reg.readString(("V" + std::to_string(i)).c_str()),
                  OString(("value " + std::to_string(i)).c_str()))
            << "value " << i << " of " << committed << " lost";
    EXPECT_TRUE(reg.writeString("after", "the crash"));
    EXPECT_EQ(reg.readString("after"), OString("the crash"));
}

// A store is one file to back up or move: once the writer has exited, a copy
// of the main file alone holds everything it wrote, and no journal is left.
TEST(RegistryProcesses, MainFileAloneHoldsEveryValueOnceTheWriterHasExited) {
    namespace fs = std::filesystem;
    TempRegistry store;
    ChildProcess writer({OX_SYSTEM_HELPER, "write", "Solo", "100", "S"});
    ASSERT_EQ(writer.wait(), 0);
    EXPECT_FALSE(fs::exists(store.path() + "-wal"));
    EXPECT_FALSE(fs::exists(store.path() + "-shm"));

    const std::string copy = store.folder() + "/copy/registry.db";
    fs::create_directory(store.folder() + "/copy");
    fs::copy_file(store.path(), copy);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(copy.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* count = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT count(*) FROM vals", -1, &count, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    ASSERT_EQ(sqlite3_step(count), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(count, 0), 200);
    sqlite3_finalize(count);
    sqlite3_close(db);
}

} // namespace

namespace {

// Threads of one process share the store's one connection and the loader's
// table of handles.
TEST(RegistryThreads, ThreadsWriteReadAndLoadSideBySide) {
    TempRegistry store;
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t, &failures] {
            const std::string tag = "T" + std::to_string(t);
            const ORegistry reg(tag.c_str(), "Software\\Threads\\", HKEY_LOCAL_MACHINE);
            for (int i = 0; i < 40; ++i) {
                const std::string name = "V" + std::to_string(i);
                if (!reg.writeString(name.c_str(), tag.c_str()) ||
                    !(reg.readString(name.c_str()) == tag.c_str()))
                    ++failures;
                for (ORegistryKeyIterator it =
                         ORegistry("Threads", "Software\\", HKEY_LOCAL_MACHINE).subKeys();
                     it.key() != nullptr; it.next()) {
                }
                CSharedLibrary library(OX_TEST_PLUGIN);
                if (reinterpret_cast<int (*)()>(library.GetFunction("ox_test_answer"))() != 42)
                    ++failures;
                library.FreeLibrary();
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
    int keys = 0;
    for (ORegistryKeyIterator it = ORegistry("Threads", "Software\\", HKEY_LOCAL_MACHINE).subKeys();
         it.key() != nullptr; it.next())
        ++keys;
    EXPECT_EQ(keys, 4);
}

} // namespace
