// The registry store's file: where it lives, what it is, the one connection a
// process keeps to it, its schema and its write transactions. The operations of
// registrystore.cpp sit on top and never open the file themselves.
//
// Kept to the file's own descriptors: POSIX drops a process's locks on a file
// at any close of it, so nothing here opens the store through a second one
// while the connection is open.
//
// A file that can be written (the file and its folder) is opened read-write in
// WAL mode. Each commit is durable in the journal; a checkpoint follows the
// commit that takes the journal past a few dozen pages, so it stays short, and
// the connection is closed when the process exits, which folds the journal
// back and removes the side files: once every writer has gone, the main file
// alone holds every committed value. A file that cannot be written
// is opened read-only, and immutable when no journal lies beside it, so
// reading it never creates anything in its folder.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <unordered_map>

namespace oxsys::registry {

// Records `problem` as this thread's account of the failure and returns `code`.
int32_t fail(int32_t code, std::string problem);
// This thread's account of its last failure; cleared as each call starts.
std::string& threadProblem();

// How an operation needs the store: reading, changing what is there (never
// creates the file), or writing (creates it).
enum class Need { Read, Modify, Write };

enum class State { Fresh, Ready, Broken };

// One open store file with its prepared statements.
class Connection {
public:
    Connection(sqlite3* db, std::string path, dev_t dev, ino_t ino, bool readOnly);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // The cached statement for `sql`, reset and unbound; null on failure.
    sqlite3_stmt* prepare(const char* sql);

    sqlite3* db;
    std::string path;
    dev_t dev;
    ino_t ino;
    pid_t pid;
    bool readOnly;
    // The file and its folder as they were when `readOnly` was last found
    // right: while neither changes (a change of mode, owner or access list
    // changes the change time), neither does the answer.
    struct Seen {
        dev_t dev = 0;
        ino_t ino = 0;
        mode_t mode = 0;
        uid_t uid = 0;
        gid_t gid = 0;
        timespec changed{};
    };
    Seen fileSeen;
    Seen folderSeen;
    int journalPages = 0; // in the journal after this connection's last commit
    State state = State::Fresh;
    std::string problem; // why the store is Broken

private:
    std::unordered_map<const char*, sqlite3_stmt*> statements_;
};

// A statement in use: bound on the way in, reset on the way out.
class Query {
public:
    Query(Connection& c, const char* sql) : statement_(c.prepare(sql)) {}
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    bool ok() const { return statement_ != nullptr; }
    Query& bind(int index, int64_t value);
    Query& bind(int index, std::string_view text);
    Query& bindBlob(int index, const unsigned char* data, uint32_t size);
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return statement_ ? sqlite3_step(statement_) : SQLITE_ERROR; }
    int64_t integer(int column) const { return sqlite3_column_int64(statement_, column); }
    std::string_view text(int column) const;
    std::string_view blob(int column) const;

private:
    sqlite3_stmt* statement_;
};

// The connection cache: at most one store file open at a time. Not locked:
// the caller holds the store's lock around every use.
class StoreFile {
public:
    // Makes `connection()` the store at `path`, ready for `need`. With
    // `revalidate` the file is looked at again (it may have been created,
    // replaced or made read-only since); otherwise an open connection to
    // `path` is used as it is.
    int32_t connect(const std::string& path, Need need, bool revalidate);
    Connection& connection() { return *connection_; }
    // Turns a failed SQLite call into an error code and an account of it.
    int32_t sqliteFailure(int rc, const char* what);
    // Closes the connection, folding the journal back when it is the last.
    void close();

private:
    void inspect();
    int32_t createSchema();
    int32_t ready(Need need);

    std::unique_ptr<Connection> connection_;
};

// One write transaction; rolled back unless committed.
class WriteTransaction {
public:
    explicit WriteTransaction(StoreFile& file) : file_(file) {}
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;

    int32_t begin();
    // Commits; once the journal has grown past a few dozen pages, copies it
    // into the main file as far as no reader holds it back. What stays in the
    // journal goes in with a later commit or the last close.
    int32_t commit();

private:
    StoreFile& file_;
    bool open_ = false;
};

} // namespace oxsys::registry
