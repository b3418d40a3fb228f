// The registry store's file and its one connection. See registryfile.h.
//
// Schema (application_id 'OXRK', user_version 1):
//   keys(id, parent, name, path)  path = folded full path, "HKLM\SOFTWARE\..."
//   vals(id, key, name, folded, type, data)
// Rows 1 and 2 of keys are the roots. A key's descendants are exactly the rows
// whose path lies in [path + "\", path + "]"), as ']' follows '\' in byte order;
// deleting a tree is two range deletes on the unique path index.
#include "registryfile.h"

#include "osys.h"
#include "registrystore.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace oxsys::registry {
namespace {

constexpr int32_t kApplicationId = 0x4F58524B; // "OXRK"
constexpr int32_t kSchemaVersion = 1;
// Long enough to outlast any other process's write transaction, which is short.
constexpr int kBusyTimeoutMs = 20000;
// What a restarted journal keeps of its old length.
constexpr int64_t kJournalSizeLimit = 64 * 1024;
// A commit is durable in the journal already (full sync); folding the journal
// into the main file costs two more syncs, so it waits until the journal holds
// this many pages (about 128 KB), which keeps it short all the same.
constexpr int kCheckpointPages = 32;

thread_local std::string t_problem;

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    struct passwd entry;
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found)
        return found->pw_dir;
    return {};
}

// The mode bits count even for root, who could write anyway: a store the user
// has marked read-only stays read-only.
bool isWritable(const struct stat& st, const std::string& path) {
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 && access(path.c_str(), W_OK) == 0;
}

std::string folderOf(const std::string& file) {
    const size_t slash = file.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : file.substr(0, slash);
}

// Writing needs the folder too: the journal and its index are made beside the
// file.
bool canWrite(const struct stat& st, const std::string& path) {
    struct stat folder;
    const std::string name = folderOf(path);
    return isWritable(st, path) && stat(name.c_str(), &folder) == 0 && isWritable(folder, name);
}

Connection::Seen seenOf(const struct stat& st) {
    return {st.st_dev, st.st_ino, st.st_mode, st.st_uid, st.st_gid, st.st_ctim};
}

bool same(const Connection::Seen& a, const Connection::Seen& b) {
    return a.dev == b.dev && a.ino == b.ino && a.mode == b.mode && a.uid == b.uid &&
           a.gid == b.gid && a.changed.tv_sec == b.changed.tv_sec &&
           a.changed.tv_nsec == b.changed.tv_nsec;
}

// Whether a journal with content lies beside the file; looked at with stat,
// never by opening it.
bool hasJournal(const std::string& path) {
    struct stat st;
    return stat((path + "-wal").c_str(), &st) == 0 && st.st_size > 0;
}

// `path` as an SQLite URI that opens it immutable.
std::string immutableUri(const std::string& path) {
    static const char* const hex = "0123456789ABCDEF";
    std::string uri = "file:";
    for (const char ch : path) {
        const auto byte = static_cast<unsigned char>(ch);
        if (std::isalnum(byte) || std::strchr("/._-~", ch) != nullptr) {
            uri += ch;
        } else {
            uri += '%';
            uri += hex[byte >> 4];
            uri += hex[byte & 15];
        }
    }
    return uri + "?immutable=1";
}

// Creates the folders above `file` owner-only, as needed.
bool makeParentFolders(const std::string& file, std::string& problem) {
    for (size_t at = file.find('/', 1); at != std::string::npos; at = file.find('/', at + 1)) {
        const std::string folder = file.substr(0, at);
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            problem = "cannot create the folder " + folder + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

// Copies what the journal holds into the main file, as far as readers allow.
// The commit before it is durable already, so a checkpoint that cannot finish
// now is no failure: a later one finishes it.
void checkpoint(sqlite3* db) {
    sqlite3_wal_checkpoint_v2(db, "main", SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
}

// Records the journal's length after each commit of this connection (in place
// of SQLite's own automatic checkpoint, which waits for 1000 pages).
int recordJournalLength(void* frames, sqlite3*, const char*, int length) {
    *static_cast<int*>(frames) = length;
    return SQLITE_OK;
}

} // namespace

int32_t fail(int32_t code, std::string problem) {
    t_problem = std::move(problem);
    return code;
}

std::string& threadProblem() {
    return t_problem;
}

std::string storePath() {
    if (const char* chosen = std::getenv("OXLIB_REGISTRY"); chosen && *chosen)
        return chosen;
    std::string data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/')
        data = xdg;
    else if (std::string home = homeFolder(); !home.empty())
        data = home + "/.local/share";
    else
        return {};
    return data + "/oxlib/registry.db";
}

// --- Connection and Query ----------------------------------------------------

Connection::Connection(sqlite3* db, std::string path, dev_t dev, ino_t ino, bool readOnly)
    : db(db), path(std::move(path)), dev(dev), ino(ino), pid(getpid()), readOnly(readOnly) {}

Connection::~Connection() {
    for (auto& entry : statements_)
        sqlite3_finalize(entry.second);
    sqlite3_close(db);
}

sqlite3_stmt* Connection::prepare(const char* sql) {
    auto found = statements_.find(sql);
    if (found != statements_.end())
        return found->second;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) !=
        SQLITE_OK)
        return nullptr;
    statements_.emplace(sql, statement);
    return statement;
}

Query::~Query() {
    if (statement_) {
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }
}

Query& Query::bind(int index, int64_t value) {
    if (statement_)
        sqlite3_bind_int64(statement_, index, value);
    return *this;
}

Query& Query::bind(int index, std::string_view text) {
    if (statement_)
        sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
    return *this;
}

Query& Query::bindBlob(int index, const unsigned char* data, uint32_t size) {
    if (statement_)
        sqlite3_bind_blob(statement_, index, size ? data : reinterpret_cast<const void*>(""),
                          static_cast<int>(size), SQLITE_TRANSIENT);
    return *this;
}

std::string_view Query::text(int column) const {
    const auto* p = sqlite3_column_text(statement_, column);
    return {reinterpret_cast<const char*>(p ? p : reinterpret_cast<const unsigned char*>("")),
            static_cast<size_t>(sqlite3_column_bytes(statement_, column))};
}

std::string_view Query::blob(int column) const {
    const void* p = sqlite3_column_blob(statement_, column);
    return {static_cast<const char*>(p ? p : ""),
            static_cast<size_t>(sqlite3_column_bytes(statement_, column))};
}

// --- StoreFile ---------------------------------------------------------------

int32_t StoreFile::connect(const std::string& path, Need need, bool revalidate) {
    if (path.empty())
        return fail(need == Need::Read ? kErrFileNotFound : kErrAccessDenied,
                    "no place for the registry store: set OXLIB_REGISTRY or HOME");
    if (connection_ && connection_->pid != getpid())
        (void)connection_.release(); // the parent's: closing it here would disturb it
    if (connection_ && connection_->path == path && !revalidate)
        return ready(need);

    struct stat st;
    bool exists = stat(path.c_str(), &st) == 0;
    // A broken store is looked at afresh each time: it may have been mended.
    if (connection_ && connection_->path == path && exists && st.st_dev == connection_->dev &&
        st.st_ino == connection_->ino && connection_->state != State::Broken) {
        Connection& c = *connection_;
        // Reading needs nothing of the folder: a file that has not changed
        // reads as before.
        if (need == Need::Read && c.fileSeen.ino != 0 && same(seenOf(st), c.fileSeen))
            return ready(need);
        struct stat folder;
        const bool folderSeen = stat(folderOf(path).c_str(), &folder) == 0;
        if (folderSeen && same(seenOf(st), c.fileSeen) && same(seenOf(folder), c.folderSeen))
            return ready(need); // nothing that decides writing has changed
        if (canWrite(st, path) == !c.readOnly) {
            c.fileSeen = seenOf(st);
            c.folderSeen = folderSeen ? seenOf(folder) : Connection::Seen{};
            return ready(need);
        }
    }
    connection_.reset();

    if (!exists) {
        if (errno != ENOENT)
            return fail(need == Need::Read ? kErrFileNotFound : kErrAccessDenied,
                        path + ": " + std::strerror(errno));
        if (need != Need::Write)
            return fail(kErrFileNotFound, path + ": there is no registry store yet");
        std::string problem;
        if (!makeParentFolders(path, problem))
            return fail(kErrAccessDenied, problem);
        // No connection is open here, so this descriptor's close drops no lock.
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0)
            return fail(kErrAccessDenied, "cannot create " + path + ": " + std::strerror(errno));
        ::close(fd);
        if (stat(path.c_str(), &st) != 0)
            return fail(kErrAccessDenied, path + ": " + std::strerror(errno));
    }
    if (!S_ISREG(st.st_mode))
        return fail(kErrBadDb, path + ": not a regular file");

    const bool readOnly = !canWrite(st, path);
    // Nobody writes a file that cannot be written, so without a journal beside
    // it the file is read as it stands: no locks, and no side files made.
    const bool immutable = readOnly && !hasJournal(path);
    sqlite3* db = nullptr;
    const int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                      SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE |
                      (immutable ? SQLITE_OPEN_URI : 0);
    const int rc = sqlite3_open_v2(immutable ? immutableUri(path).c_str() : path.c_str(), &db,
                                   flags, nullptr);
    if (rc != SQLITE_OK) {
        const std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close(db);
        return fail(need == Need::Read ? kErrBadDb : kErrCantWrite,
                    path + ": cannot open: " + message);
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    if (!readOnly) {
        sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
        const std::string limit =
            "PRAGMA journal_size_limit=" + std::to_string(kJournalSizeLimit);
        sqlite3_exec(db, limit.c_str(), nullptr, nullptr, nullptr);
    }
    connection_ = std::make_unique<Connection>(db, path, st.st_dev, st.st_ino, readOnly);
    if (!readOnly)
        sqlite3_wal_hook(db, &recordJournalLength, &connection_->journalPages);
    inspect();
    return ready(need);
}

void StoreFile::close() {
    if (connection_ && connection_->pid != getpid())
        (void)connection_.release(); // the parent's, as in connect()
    connection_.reset();
}

int32_t StoreFile::sqliteFailure(int rc, const char* what) {
    Connection& c = *connection_;
    const std::string account = c.path + ": " + what + ": " + sqlite3_errmsg(c.db);
    switch (rc & 0xFF) {
    case SQLITE_READONLY:
        return fail(kErrAccessDenied, account);
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        c.state = State::Broken;
        c.problem = account;
        return fail(kErrBadDb, account);
    default:
        return fail(kErrCantWrite, account);
    }
}

// Decides what the freshly opened file is: empty, one of our stores, or
// something this code must not touch.
void StoreFile::inspect() {
    Connection& c = *connection_;
    const auto broken = [&](std::string why) {
        c.state = State::Broken;
        c.problem = c.path + ": " + why;
    };
    int64_t tables = 0;
    {
        Query q(c, "SELECT count(*) FROM sqlite_schema");
        const int rc = q.step();
        if (!q.ok() || rc != SQLITE_ROW)
            return broken(std::string("cannot be read as a registry store: ") +
                          sqlite3_errmsg(c.db));
        tables = q.integer(0);
    }
    int64_t applicationId = 0;
    int64_t version = 0;
    {
        Query q(c, "PRAGMA application_id");
        if (q.step() == SQLITE_ROW)
            applicationId = q.integer(0);
    }
    {
        Query q(c, "PRAGMA user_version");
        if (q.step() == SQLITE_ROW)
            version = q.integer(0);
    }
    if (tables == 0 && applicationId == 0) {
        c.state = State::Fresh;
        return;
    }
    if (applicationId != kApplicationId)
        return broken("is an SQLite database but not a registry store");
    if (version > kSchemaVersion)
        return broken("was written by a newer version of this library");
    std::string verdict;
    if (sqlite3_exec(
            c.db, "PRAGMA quick_check",
            [](void* out, int, char** values, char**) {
                auto& text = *static_cast<std::string*>(out);
                if (text.empty() && values[0])
                    text = values[0];
                return 0;
            },
            &verdict, nullptr) != SQLITE_OK)
        return broken(std::string("is damaged: ") + sqlite3_errmsg(c.db));
    if (verdict != "ok")
        return broken("is damaged: " + verdict);
    c.state = State::Ready;
}

// The first write to an empty file lays the schema down; so may another
// process at the same moment, hence the check inside the transaction.
int32_t StoreFile::createSchema() {
    Connection& c = *connection_;
    // Switching to WAL takes a moment's exclusive lock; a competitor may hold
    // it (the busy handler covers most of that), then the file is WAL anyway.
    for (int attempt = 0; attempt < 50; ++attempt) {
        Query q(c, "PRAGMA journal_mode=WAL");
        if (q.step() == SQLITE_ROW && q.text(0) == "wal")
            break;
        usleep(20000);
    }
    if (int rc = sqlite3_exec(c.db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        rc != SQLITE_OK)
        return sqliteFailure(rc, "cannot start a write");
    int64_t tables = 0;
    {
        Query q(c, "SELECT count(*) FROM sqlite_schema");
        if (q.step() == SQLITE_ROW)
            tables = q.integer(0);
    }
    static const char* const schema =
        "CREATE TABLE keys(id INTEGER PRIMARY KEY, parent INTEGER, name TEXT NOT NULL,"
        " path TEXT NOT NULL UNIQUE);"
        "CREATE INDEX keys_children ON keys(parent, path);"
        "CREATE TABLE vals(id INTEGER PRIMARY KEY, key INTEGER NOT NULL, name TEXT NOT NULL,"
        " folded TEXT NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL,"
        " UNIQUE(key, folded));"
        "CREATE INDEX vals_order ON vals(key, id);"
        "INSERT INTO keys(id, parent, name, path) VALUES"
        " (1, NULL, 'HKEY_CURRENT_USER', 'HKCU'), (2, NULL, 'HKEY_LOCAL_MACHINE', 'HKLM');"
        "PRAGMA application_id=1331188299;"
        "PRAGMA user_version=1;";
    static_assert(kApplicationId == 1331188299 && kSchemaVersion == 1);
    if (tables == 0) {
        if (int rc = sqlite3_exec(c.db, schema, nullptr, nullptr, nullptr); rc != SQLITE_OK) {
            const int32_t code = sqliteFailure(rc, "cannot create the store");
            sqlite3_exec(c.db, "ROLLBACK", nullptr, nullptr, nullptr);
            return code;
        }
    }
    if (int rc = sqlite3_exec(c.db, "COMMIT", nullptr, nullptr, nullptr); rc != SQLITE_OK) {
        const int32_t code = sqliteFailure(rc, "cannot create the store");
        sqlite3_exec(c.db, "ROLLBACK", nullptr, nullptr, nullptr);
        return code;
    }
    checkpoint(c.db);
    inspect();
    return c.state == State::Ready ? kErrSuccess : fail(kErrBadDb, c.problem);
}

int32_t StoreFile::ready(Need need) {
    Connection& c = *connection_;
    if (c.state == State::Fresh)
        inspect(); // another process may have laid the schema down since
    if (c.state == State::Broken)
        return fail(kErrBadDb, c.problem);
    if (need != Need::Read && c.readOnly)
        return fail(kErrAccessDenied, c.path + ": the registry store is read-only");
    if (c.state == State::Fresh) {
        if (need != Need::Write)
            return fail(kErrFileNotFound, c.path + ": the registry store is empty");
        return createSchema();
    }
    return kErrSuccess;
}


// --- WriteTransaction ----------------------------------------------------------

WriteTransaction::~WriteTransaction() {
    if (open_)
        sqlite3_exec(file_.connection().db, "ROLLBACK", nullptr, nullptr, nullptr);
}

int32_t WriteTransaction::begin() {
    const int rc =
        sqlite3_exec(file_.connection().db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return file_.sqliteFailure(rc, "cannot start a write");
    open_ = true;
    return kErrSuccess;
}

int32_t WriteTransaction::commit() {
    sqlite3* db = file_.connection().db;
    const int rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return file_.sqliteFailure(rc, "cannot commit a write");
    open_ = false;
    if (file_.connection().journalPages >= kCheckpointPages)
        checkpoint(db);
    return kErrSuccess;
}

} // namespace oxsys::registry
