// Store files that are not sound stores: text, a truncated store, another
// program's SQLite database, a read-only store. Reads give empty results (a
// read-only store still reads), writes fail, oxreg says what is wrong, and the
// file is never changed, truncated or replaced.
#include "childprocess.h"
#include "tempregistry.h"

#include <oxlib/oregistry.h>

#include "sys/registrystore.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <sys/stat.h>

namespace {

const char* const kKey = "Software\\Corvane Software\\Corvane Logging";

class RegistryFilesTest : public ::testing::Test {
protected:
    // A sound store with a few hundred values, complete in its main file: the
    // process's connection is moved elsewhere, which folds the journal back in.
    std::string makeStore(const std::string& name) {
        const std::string path = store_.use(name);
        const ORegistry reg("pxlogger", std::string(kKey).append("\\").c_str(), HKEY_LOCAL_MACHINE);
        EXPECT_TRUE(reg.writeString("DLLPath", "/usr/lib/libpxlogger.so"));
        const ORegistry bulk("Bulk", "Software\\", HKEY_LOCAL_MACHINE);
        for (int i = 0; i < 300; ++i)
            EXPECT_TRUE(
                bulk.writeString(("V" + std::to_string(i)).c_str(),
                                 std::string(100, static_cast<char>('a' + i % 26)).c_str()));
        store_.use("elsewhere.db");
        EXPECT_FALSE(ORegistry("x", "", HKEY_LOCAL_MACHINE).keyExists());
        EXPECT_FALSE(std::filesystem::exists(path + "-wal"));
        return path;
    }

    struct Snapshot {
        std::string bytes;
        ino_t inode;
    };
    static Snapshot snapshot(const std::string& path) {
        struct stat st {};
        stat(path.c_str(), &st);
        return {readFile(path), st.st_ino};
    }

    // What every unusable store must do.
    void expectUnusable(const std::string& path, const std::string& reason) {
        SCOPED_TRACE(reason);
        store_.use(path.substr(path.rfind('/') + 1));
        const Snapshot before = snapshot(path);
        const ORegistry reg("pxlogger", std::string(kKey).append("\\").c_str(), HKEY_LOCAL_MACHINE);
        EXPECT_FALSE(reg.keyExists());
        EXPECT_EQ(reg.readString("DLLPath"), OString());
        EXPECT_EQ(ORegistry(kKey, "", HKEY_LOCAL_MACHINE).subKeys().key(), nullptr);
        EXPECT_FALSE(reg.writeString("DLLPath", "/tmp/evil.so"));
        EXPECT_FALSE(reg.writeInteger("Level", 3));
        EXPECT_EQ(reg.readIntegerDefault("CategoryCount", 15), OString());
        EXPECT_EQ(reg.readStringDefault("Other", "abc"), OString());

        const ChildResult query = runChild({OX_OXREG, "query", "HKLM\\Software"});
        EXPECT_EQ(query.status, 1);
        EXPECT_NE(query.err.find(path), std::string::npos) << query.err;
        EXPECT_NE(query.err.find(reason), std::string::npos) << query.err;
        const ChildResult add =
            runChild({OX_OXREG, "add", "HKLM\\Software\\X", "/v", "a", "/d", "b", "/f"});
        EXPECT_EQ(add.status, 1);
        EXPECT_NE(add.err.find(reason), std::string::npos) << add.err;

        const Snapshot after = snapshot(path);
        EXPECT_EQ(after.inode, before.inode);
        EXPECT_TRUE(after.bytes == before.bytes) << "the store file was changed";
        EXPECT_EQ(oxsys::registry::openHandles(), 0u);
    }

    TempRegistry store_;
};

TEST_F(RegistryFilesTest, TextFileIsNoStore) {
    const std::string path = store_.use("text.db");
    writeFile(path, std::string("DLLPath=/usr/lib/libpxlogger.so\n") + std::string(4000, '#'));
    expectUnusable(path, "cannot be read as a registry store");
}

TEST_F(RegistryFilesTest, TruncatedStoreIsDamaged) {
    const std::string sound = makeStore("sound.db");
    const std::string path = store_.folder() + "/truncated.db";
    const std::string bytes = readFile(sound);
    ASSERT_GT(bytes.size(), 16384u);
    writeFile(path, bytes.substr(0, bytes.size() / 2));
    expectUnusable(path, "truncated.db: ");
}

TEST_F(RegistryFilesTest, OtherProgramsDatabaseIsLeftAlone) {
    const std::string path = store_.use("other.db");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE keys(id INTEGER, note TEXT);"
                           "INSERT INTO keys VALUES(1, 'not a registry');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    expectUnusable(path, "is an SQLite database but not a registry store");
}

TEST_F(RegistryFilesTest, ReadOnlyStoreReadsButRefusesWrites) {
    const std::string path = makeStore("readonly.db");
    ASSERT_EQ(chmod(path.c_str(), 0400), 0);
    store_.use("readonly.db");
    const Snapshot before = snapshot(path);

    const ORegistry reg("pxlogger", std::string(kKey).append("\\").c_str(), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(reg.readString("DLLPath"), OString("/usr/lib/libpxlogger.so"));
    EXPECT_EQ(ORegistry(kKey, "", HKEY_LOCAL_MACHINE).subKeys().name(), OString("pxlogger"));
    EXPECT_FALSE(reg.writeString("DLLPath", "/tmp/evil.so"));
    EXPECT_EQ(reg.readIntegerDefault("CategoryCount", 15), OString());
    EXPECT_EQ(reg.readString("DLLPath"), OString("/usr/lib/libpxlogger.so"));

    const ChildResult add =
        runChild({OX_OXREG, "add", "HKLM\\Software\\X", "/v", "a", "/d", "b", "/f"});
    EXPECT_EQ(add.status, 1);
    EXPECT_NE(add.err.find(path + ": the registry store is read-only"), std::string::npos)
        << add.err;
    const ChildResult query = runChild({OX_OXREG, "query", std::string("HKLM\\") + kKey, "/s"});
    EXPECT_EQ(query.status, 0) << query.err;
    EXPECT_NE(query.out.find("DLLPath    REG_SZ    /usr/lib/libpxlogger.so"), std::string::npos);

    const Snapshot after = snapshot(path);
    EXPECT_EQ(after.inode, before.inode);
    EXPECT_TRUE(after.bytes == before.bytes) << "the store file was changed";
}

// The names in `folder`, sorted.
std::vector<std::string> listing(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A store that cannot be written, in a folder that cannot be written either,
// is read as stored, and reading it makes nothing beside it.
TEST_F(RegistryFilesTest, ReadOnlyStoreInAReadOnlyFolderReadsAndCreatesNothing) {
    const std::string path = makeStore("locked.db");
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    ASSERT_EQ(chmod(store_.folder().c_str(), 0555), 0);
    store_.use("locked.db");
    const std::vector<std::string> before = listing(store_.folder());

    const ORegistry reg("pxlogger", std::string(kKey).append("\\").c_str(), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(reg.readString("DLLPath"), OString("/usr/lib/libpxlogger.so"));
    EXPECT_EQ(ORegistry("Bulk", "Software\\", HKEY_LOCAL_MACHINE).readString("V299"),
              OString(std::string(100, 'n').c_str()));
    EXPECT_FALSE(reg.writeString("DLLPath", "/tmp/evil.so"));
    const ChildResult query = runChild({OX_OXREG, "query", std::string("HKLM\\") + kKey, "/s"});
    EXPECT_EQ(query.status, 0) << query.err;
    EXPECT_NE(query.out.find("/usr/lib/libpxlogger.so"), std::string::npos) << query.out;

    EXPECT_EQ(listing(store_.folder()), before);
    chmod(store_.folder().c_str(), 0700); // so the folder can be removed
}

// A store that can be written, read by a program that then exits, is left as
// it was found: one file.
TEST_F(RegistryFilesTest, ReadingLeavesNoSideFilesOnceTheReaderHasExited) {
    makeStore("shared.db");
    store_.use("shared.db");
    const std::vector<std::string> before = listing(store_.folder());
    const ChildResult query = runChild({OX_OXREG, "query", std::string("HKLM\\") + kKey, "/s"});
    EXPECT_EQ(query.status, 0) << query.err;
    EXPECT_NE(query.out.find("/usr/lib/libpxlogger.so"), std::string::npos) << query.out;
    EXPECT_EQ(listing(store_.folder()), before);
}

TEST_F(RegistryFilesTest, FolderInTheWayOfTheStoreFails) {
    const std::string path = store_.use("folder.db");
    std::filesystem::create_directory(path);
    const ORegistry reg("X", "Software\\", HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(reg.writeString("a", "b"));
    EXPECT_EQ(reg.readString("a"), OString());
    const ChildResult add = runChild({OX_OXREG, "add", "HKLM\\Software\\X", "/f"});
    EXPECT_EQ(add.status, 1);
    EXPECT_NE(add.err.find("not a regular file"), std::string::npos) << add.err;
}

// While this process keeps its connection, the store can change under it:
// made read-only, made writable again, or replaced by another file. Each
// change counts from the next call on, for reading and for writing.
TEST_F(RegistryFilesTest, ChangesToTheOpenStoreCountFromTheNextCall) {
    const std::string path = makeStore("changing.db");
    const std::string other = makeStore("other.db");
    store_.use("changing.db");
    const ORegistry reg("pxlogger", std::string(kKey).append("\\").c_str(), HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.writeString("Mark", "first"));

    ASSERT_EQ(chmod(path.c_str(), 0400), 0);
    EXPECT_EQ(reg.readString("Mark"), OString("first"));
    EXPECT_FALSE(reg.writeString("Mark", "refused"));
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    EXPECT_TRUE(reg.writeString("Mark", "second"));
    EXPECT_EQ(reg.readString("Mark"), OString("second"));

    // Another store moved over it: its values, not the ones this process
    // wrote, from the next read on.
    store_.use("elsewhere.db"); // folds and closes, as another writer would
    store_.use("changing.db");
    EXPECT_EQ(reg.readString("Mark"), OString("second"));
    std::filesystem::rename(other, path);
    EXPECT_EQ(reg.readString("Mark"), OString());
    EXPECT_EQ(reg.readString("DLLPath"), OString("/usr/lib/libpxlogger.so"));
    EXPECT_TRUE(reg.writeString("Mark", "third"));
    EXPECT_EQ(reg.readString("Mark"), OString("third"));
}

} // namespace
