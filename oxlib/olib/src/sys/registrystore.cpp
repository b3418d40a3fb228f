// The SQLite registry store. See registrystore.h for what it promises.
//
// Schema (application_id 'OXRK', user_version 1):
//   keys(id, parent, name, path)  path = folded full path, "HKLM\SOFTWARE\..."
//   vals(id, key, name, folded, type, data)
// Rows 1 and 2 of keys are the roots. A key's descendants are exactly the rows
// whose path lies in [path + "\", path + "]"), as ']' follows '\' in byte order;
// deleting a tree is two range deletes on the unique path index.
#include "registrystore.h"

#include "osys.h"
#include "registrynames.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace oxsys::registry {
namespace {

constexpr uintptr_t kRootCurrentUser = 0x80000001;
constexpr uintptr_t kRootLocalMachine = 0x80000002;
constexpr int64_t kIdCurrentUser = 1;
constexpr int64_t kIdLocalMachine = 2;

constexpr int32_t kApplicationId = 0x4F58524B; // "OXRK"
constexpr int32_t kSchemaVersion = 1;
// Long enough to outlast any other process's write transaction, which is short.
constexpr int kBusyTimeoutMs = 20000;

constexpr uint32_t kHandleMagic = 0x4F58484B;
constexpr uint32_t kWriteRights = kKeySetValue | kKeyCreateSubKey;

thread_local std::string t_problem;

int32_t fail(int32_t code, std::string problem) {
    t_problem = std::move(problem);
    return code;
}

// --- Store file -------------------------------------------------------------

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

bool isWritable(const struct stat& st, const std::string& path) {
    // The mode bits count even for root, who could write anyway: a store the
    // user has marked read-only stays read-only.
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 && access(path.c_str(), W_OK) == 0;
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

// --- Connection ---------------------------------------------------------------

enum class State { Fresh, Ready, Broken };

// One open store file with its prepared statements.
class Connection {
public:
    Connection(sqlite3* db, std::string path, const struct stat& st, bool readOnly)
        : db(db), path(std::move(path)), dev(st.st_dev), ino(st.st_ino), pid(getpid()),
          readOnly(readOnly) {}
    ~Connection() {
        for (auto& entry : statements_)
            sqlite3_finalize(entry.second);
        sqlite3_close(db);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // The cached statement for `sql`, reset and unbound; null on failure.
    sqlite3_stmt* prepare(const char* sql) {
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

    sqlite3* db;
    std::string path;
    dev_t dev;
    ino_t ino;
    pid_t pid;
    bool readOnly;
    State state = State::Fresh;
    std::string problem; // why the store is Broken

private:
    std::unordered_map<const char*, sqlite3_stmt*> statements_;
};

// A statement in use: bound on the way in, reset on the way out.
class Query {
public:
    Query(Connection& c, const char* sql) : statement_(c.prepare(sql)) {}
    ~Query() {
        if (statement_) {
            sqlite3_reset(statement_);
            sqlite3_clear_bindings(statement_);
        }
    }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    bool ok() const { return statement_ != nullptr; }
    Query& bind(int index, int64_t value) {
        if (statement_)
            sqlite3_bind_int64(statement_, index, value);
        return *this;
    }
    Query& bind(int index, std::string_view text) {
        if (statement_)
            sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()),
                              SQLITE_TRANSIENT);
        return *this;
    }
    Query& bindBlob(int index, const unsigned char* data, uint32_t size) {
        if (statement_)
            sqlite3_bind_blob(statement_, index, size ? data : reinterpret_cast<const void*>(""),
                              static_cast<int>(size), SQLITE_TRANSIENT);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return statement_ ? sqlite3_step(statement_) : SQLITE_ERROR; }
    int64_t integer(int column) const { return sqlite3_column_int64(statement_, column); }
    std::string_view text(int column) const {
        const auto* p = sqlite3_column_text(statement_, column);
        return {reinterpret_cast<const char*>(p ? p : reinterpret_cast<const unsigned char*>("")),
                static_cast<size_t>(sqlite3_column_bytes(statement_, column))};
    }
    std::string_view blob(int column) const {
        const void* p = sqlite3_column_blob(statement_, column);
        return {static_cast<const char*>(p ? p : ""),
                static_cast<size_t>(sqlite3_column_bytes(statement_, column))};
    }

private:
    sqlite3_stmt* statement_;
};

struct KeyHandle {
    uint32_t magic = kHandleMagic;
    std::string store; // the file the key lives in
    int64_t id = 0;    // its row in keys
    std::string path;  // its folded full path
    uint32_t access = 0;
    bool root = false;
};

// How an operation needs the store: reading, changing what is there (never
// creates the file), or writing (creates it).
enum class Need { Read, Modify, Write };

class Store {
public:
    std::mutex mutex;

    int32_t resolve(void* handle, KeyHandle& out) {
        const auto value = reinterpret_cast<uintptr_t>(handle);
        if (value == kRootCurrentUser || value == kRootLocalMachine) {
            const bool user = value == kRootCurrentUser;
            out = KeyHandle{
                kHandleMagic,           storePath(), user ? kIdCurrentUser : kIdLocalMachine,
                user ? "HKCU" : "HKLM", ~0u,         true};
            return kErrSuccess;
        }
        auto* key = static_cast<KeyHandle*>(handle);
        if (handle == nullptr || handles_.count(key) == 0 || key->magic != kHandleMagic)
            return fail(kErrInvalidHandle, "the key handle is not open");
        out = *key;
        return kErrSuccess;
    }

    void* newHandle(KeyHandle key) {
        auto* handle = new KeyHandle(std::move(key));
        handle->root = false;
        handles_.insert(handle);
        return handle;
    }

    int32_t close(void* handle) {
        const auto value = reinterpret_cast<uintptr_t>(handle);
        if (value == kRootCurrentUser || value == kRootLocalMachine)
            return kErrSuccess;
        auto* key = static_cast<KeyHandle*>(handle);
        if (handles_.erase(key) == 0)
            return fail(kErrInvalidHandle, "the key handle is not open");
        key->magic = 0;
        delete key;
        return kErrSuccess;
    }

    // Makes `connection()` the store at `path`, ready for `need`. A root-based
    // call revalidates the file (it may have been created, replaced or made
    // read-only since); calls on an open handle use the connection as it is.
    int32_t connect(const std::string& path, Need need, bool revalidate) {
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
            st.st_ino == connection_->ino && isWritable(st, path) == !connection_->readOnly &&
            connection_->state != State::Broken)
            return ready(need);
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
            const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
            if (fd < 0)
                return fail(kErrAccessDenied,
                            "cannot create " + path + ": " + std::strerror(errno));
            ::close(fd);
            if (stat(path.c_str(), &st) != 0)
                return fail(kErrAccessDenied, path + ": " + std::strerror(errno));
        }
        if (!S_ISREG(st.st_mode))
            return fail(kErrBadDb, path + ": not a regular file");

        const bool readOnly = !isWritable(st, path);
        sqlite3* db = nullptr;
        const int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                          SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE;
        const int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
        if (rc != SQLITE_OK) {
            const std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
            sqlite3_close(db);
            return fail(need == Need::Read ? kErrBadDb : kErrCantWrite,
                        path + ": cannot open: " + message);
        }
        sqlite3_busy_timeout(db, kBusyTimeoutMs);
        sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
        connection_ = std::make_unique<Connection>(db, path, st, readOnly);
        inspect();
        return ready(need);
    }

    Connection& connection() { return *connection_; }

    // Turns a failed SQLite call into an error code and an account of it.
    int32_t sqliteFailure(int rc, const char* what) {
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

    std::unordered_set<KeyHandle*>& handles() { return handles_; }

private:
    // Decides what the freshly opened file is: empty, one of our stores, or
    // something this code must not touch.
    void inspect() {
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
    int32_t createSchema() {
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
        inspect();
        return c.state == State::Ready ? kErrSuccess : fail(kErrBadDb, c.problem);
    }

    int32_t ready(Need need) {
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

    std::unique_ptr<Connection> connection_;
    std::unordered_set<KeyHandle*> handles_;
};

Store& store() {
    // Never destroyed: other static objects may use the registry while the
    // process exits.
    static Store* instance = new Store;
    return *instance;
}

// One write transaction; rolled back unless committed.
class WriteTransaction {
public:
    explicit WriteTransaction(Store& s) : store_(s) {}
    ~WriteTransaction() {
        if (open_)
            sqlite3_exec(store_.connection().db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;

    int32_t begin() {
        const int rc =
            sqlite3_exec(store_.connection().db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            return store_.sqliteFailure(rc, "cannot start a write");
        open_ = true;
        return kErrSuccess;
    }
    int32_t commit() {
        const int rc = sqlite3_exec(store_.connection().db, "COMMIT", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            return store_.sqliteFailure(rc, "cannot commit a write");
        open_ = false;
        return kErrSuccess;
    }

private:
    Store& store_;
    bool open_ = false;
};

// The row of the key at `path`, or 0.
int64_t findKey(Connection& c, const std::string& path, int& rc) {
    Query q(c, "SELECT id FROM keys WHERE path = ?1");
    q.bind(1, path);
    rc = q.step();
    return rc == SQLITE_ROW ? q.integer(0) : 0;
}

bool keyRowExists(Connection& c, int64_t id) {
    Query q(c, "SELECT 1 FROM keys WHERE id = ?1");
    q.bind(1, id);
    return q.step() == SQLITE_ROW;
}

std::string childPath(std::string path, const std::vector<std::string_view>& parts) {
    for (const auto part : parts) {
        path += '\\';
        path += foldName(part);
    }
    return path;
}

int32_t checkValueName(const char* name) {
    if (name && charCount(name) > kMaxValueNameChars)
        return fail(kErrInvalidParameter, "a value name is longer than 16383 characters");
    return kErrSuccess;
}

// Every public call holds the store for its whole length, and a problem left by
// an earlier call on this thread must not be mistaken for one of its own.
class Call {
public:
    explicit Call(Store& s) : lock_(s.mutex) { t_problem.clear(); }

private:
    std::lock_guard<std::mutex> lock_;
};

// The key a call addresses: `parent` and the path below it.
struct Target {
    KeyHandle base;
    std::vector<std::string_view> parts;
    std::string path; // folded
};

int32_t target(Store& s, void* parent, const char* subKey, Target& t) {
    if (int32_t rc = s.resolve(parent, t.base); rc != kErrSuccess)
        return rc;
    std::string problem;
    if (int32_t rc = splitKeyPath(subKey, t.parts, problem); rc != kErrSuccess)
        return fail(rc, problem);
    if (depthOf(t.base.path) + t.parts.size() > kMaxDepth)
        return fail(kErrInvalidParameter, "a key path is deeper than 512 levels");
    t.path = childPath(t.base.path, t.parts);
    return kErrSuccess;
}

// As target(), for a call that hands out a handle: `*key` is cleared first so a
// failed call never leaves the caller holding a stale one.
int32_t handleTarget(Store& s, void* parent, const char* subKey, void** key, Target& t) {
    if (key == nullptr)
        return fail(kErrInvalidParameter, "no place for the key handle");
    *key = nullptr;
    return target(s, parent, subKey, t);
}

// The key `key` stands for, provided it was opened with `right`.
int32_t openedWith(Store& s, void* key, uint32_t right, const char* refusal, KeyHandle& k) {
    if (int32_t rc = s.resolve(key, k); rc != kErrSuccess)
        return rc;
    if ((k.access & right) == 0)
        return fail(kErrAccessDenied, refusal);
    return kErrSuccess;
}

} // namespace

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

std::string lastProblem() {
    return t_problem;
}

size_t openHandles() {
    Store& s = store();
    std::lock_guard lock(s.mutex);
    return s.handles().size();
}

int32_t openKey(void* parent, const char* subKey, uint32_t access, void** key) {
    Store& s = store();
    const Call call(s);
    Target t;
    if (int32_t rc = handleTarget(s, parent, subKey, key, t); rc != kErrSuccess)
        return rc;
    const auto& [base, parts, path] = t;
    const bool wantsWrite = (access & kWriteRights) != 0;
    int32_t rc = s.connect(base.store, wantsWrite ? Need::Modify : Need::Read, base.root);
    int64_t id = base.id;
    if (rc == kErrFileNotFound && parts.empty() && base.root && !wantsWrite)
        rc = kErrSuccess; // a root is there even before the store is
    else if (rc != kErrSuccess)
        return rc;
    else if (!parts.empty()) {
        int step = 0;
        id = findKey(s.connection(), path, step);
        if (step != SQLITE_ROW && step != SQLITE_DONE)
            return s.sqliteFailure(step, "cannot read");
        if (id == 0)
            return fail(kErrFileNotFound, "the key does not exist");
    }
    *key = s.newHandle(KeyHandle{kHandleMagic, base.store, id, path, access, false});
    return kErrSuccess;
}

int32_t createKey(void* parent, const char* subKey, uint32_t access, void** key) {
    Store& s = store();
    const Call call(s);
    Target t;
    if (int32_t rc = handleTarget(s, parent, subKey, key, t); rc != kErrSuccess)
        return rc;
    const auto& [base, parts, path] = t;
    if (int32_t rc = s.connect(base.store, Need::Write, base.root); rc != kErrSuccess)
        return rc;
    Connection& c = s.connection();
    int step = 0;
    int64_t id = parts.empty() ? base.id : findKey(c, path, step);
    if (id == 0) {
        WriteTransaction transaction(s);
        if (int32_t rc = transaction.begin(); rc != kErrSuccess)
            return rc;
        if (!base.root && !keyRowExists(c, base.id))
            return fail(kErrKeyDeleted, "the parent key has been deleted");
        id = base.id;
        std::string walked = base.path;
        for (const auto part : parts) {
            walked += '\\';
            walked += foldName(part);
            const int64_t existing = findKey(c, walked, step);
            if (existing != 0) {
                id = existing;
                continue;
            }
            Query insert(c, "INSERT INTO keys(parent, name, path) VALUES(?1, ?2, ?3)");
            insert.bind(1, id).bind(2, part).bind(3, walked);
            if (int rc = insert.step(); rc != SQLITE_DONE)
                return s.sqliteFailure(rc, "cannot create a key");
            id = sqlite3_last_insert_rowid(c.db);
        }
        if (int32_t rc = transaction.commit(); rc != kErrSuccess)
            return rc;
    }
    *key = s.newHandle(KeyHandle{kHandleMagic, base.store, id, path, access, false});
    return kErrSuccess;
}

int32_t closeKey(void* key) {
    Store& s = store();
    const Call call(s);
    return s.close(key);
}

int32_t queryValue(void* key, const char* name, uint32_t* type, unsigned char* data,
                   uint32_t* size) {
    Store& s = store();
    const Call call(s);
    KeyHandle k;
    if (int32_t rc =
            openedWith(s, key, kKeyQueryValue, "the key was not opened for reading values", k);
        rc != kErrSuccess)
        return rc;
    if (data != nullptr && size == nullptr)
        return fail(kErrInvalidParameter, "a data buffer without a size");
    if (int32_t rc = s.connect(k.store, Need::Read, k.root); rc != kErrSuccess)
        return rc == kErrFileNotFound ? fail(rc, "the value does not exist") : rc;
    Query q(s.connection(), "SELECT type, data FROM vals WHERE key = ?1 AND folded = ?2");
    q.bind(1, k.id).bind(2, foldName(name ? name : ""));
    const int rc = q.step();
    if (rc == SQLITE_DONE)
        return fail(kErrFileNotFound, "the value does not exist");
    if (rc != SQLITE_ROW)
        return s.sqliteFailure(rc, "cannot read");
    const std::string_view bytes = q.blob(1);
    const auto needed = static_cast<uint32_t>(bytes.size());
    if (type)
        *type = static_cast<uint32_t>(q.integer(0));
    if (data != nullptr && *size < needed) {
        *size = needed;
        return fail(kErrMoreData, "the value does not fit the buffer");
    }
    if (data != nullptr && needed)
        std::memcpy(data, bytes.data(), needed);
    if (size)
        *size = needed;
    return kErrSuccess;
}

int32_t setValue(void* key, const char* name, uint32_t type, const unsigned char* data,
                 uint32_t size) {
    Store& s = store();
    const Call call(s);
    KeyHandle k;
    if (int32_t rc =
            openedWith(s, key, kKeySetValue, "the key was not opened for writing values", k);
        rc != kErrSuccess)
        return rc;
    if (data == nullptr && size != 0)
        return fail(kErrInvalidParameter, "value data missing");
    if (int32_t rc = checkValueName(name); rc != kErrSuccess)
        return rc;
    if (int32_t rc = s.connect(k.store, Need::Write, k.root); rc != kErrSuccess)
        return rc;
    Connection& c = s.connection();
    WriteTransaction transaction(s);
    if (int32_t rc = transaction.begin(); rc != kErrSuccess)
        return rc;
    if (!k.root && !keyRowExists(c, k.id))
        return fail(kErrKeyDeleted, "the key has been deleted");
    Query upsert(c, "INSERT INTO vals(key, name, folded, type, data) VALUES(?1, ?2, ?3, ?4, ?5)"
                    " ON CONFLICT(key, folded) DO UPDATE SET type = excluded.type,"
                    " data = excluded.data");
    const char* text = name ? name : "";
    upsert.bind(1, k.id).bind(2, text).bind(3, foldName(text)).bind(4, int64_t{type});
    upsert.bindBlob(5, data, size);
    if (int rc = upsert.step(); rc != SQLITE_DONE)
        return s.sqliteFailure(rc, "cannot store a value");
    return transaction.commit();
}

int32_t deleteValue(void* key, const char* name) {
    Store& s = store();
    const Call call(s);
    KeyHandle k;
    if (int32_t rc =
            openedWith(s, key, kKeySetValue, "the key was not opened for writing values", k);
        rc != kErrSuccess)
        return rc;
    if (int32_t rc = s.connect(k.store, Need::Modify, k.root); rc != kErrSuccess)
        return rc;
    Connection& c = s.connection();
    WriteTransaction transaction(s);
    if (int32_t rc = transaction.begin(); rc != kErrSuccess)
        return rc;
    Query remove(c, "DELETE FROM vals WHERE key = ?1 AND folded = ?2");
    remove.bind(1, k.id).bind(2, foldName(name ? name : ""));
    if (int rc = remove.step(); rc != SQLITE_DONE)
        return s.sqliteFailure(rc, "cannot delete a value");
    if (sqlite3_changes(c.db) == 0)
        return fail(kErrFileNotFound, "the value does not exist");
    return transaction.commit();
}

int32_t deleteTree(void* parent, const char* subKey) {
    Store& s = store();
    const Call call(s);
    Target t;
    if (int32_t rc = target(s, parent, subKey, t); rc != kErrSuccess)
        return rc;
    const auto& [base, parts, path] = t;
    if (int32_t rc = s.connect(base.store, Need::Modify, base.root); rc != kErrSuccess)
        return rc == kErrFileNotFound ? fail(rc, "the key does not exist") : rc;
    Connection& c = s.connection();
    WriteTransaction transaction(s);
    if (int32_t rc = transaction.begin(); rc != kErrSuccess)
        return rc;
    int step = 0;
    const int64_t id = findKey(c, path, step);
    if (id == 0)
        return fail(kErrFileNotFound, "the key does not exist");
    const char* const statements[] = {
        "DELETE FROM vals WHERE key IN (SELECT id FROM keys WHERE path >= ?1 AND path < ?2)",
        "DELETE FROM keys WHERE path >= ?1 AND path < ?2",
        "DELETE FROM vals WHERE key = ?3",
        "DELETE FROM keys WHERE id = ?3 AND parent IS NOT NULL",
    };
    // With no sub-key the key itself stays; a root always stays.
    const size_t count = parts.empty() ? 3 : 4;
    for (size_t i = 0; i < count; ++i) {
        Query q(c, statements[i]);
        if (i < 2)
            q.bind(1, path + '\\').bind(2, path + ']');
        else
            q.bind(3, id);
        if (int rc = q.step(); rc != SQLITE_DONE)
            return s.sqliteFailure(rc, "cannot delete a key");
    }
    return transaction.commit();
}

int32_t enumKey(void* key, uint32_t index, char* name, uint32_t* nameSize) {
    Store& s = store();
    const Call call(s);
    KeyHandle k;
    if (int32_t rc = openedWith(s, key, kKeyEnumerateSubKeys,
                                "the key was not opened for listing sub-keys", k);
        rc != kErrSuccess)
        return rc;
    if (name == nullptr || nameSize == nullptr)
        return fail(kErrInvalidParameter, "no name buffer");
    if (int32_t rc = s.connect(k.store, Need::Read, k.root); rc != kErrSuccess)
        return rc == kErrFileNotFound ? kErrNoMoreItems : rc;
    Query q(s.connection(), "SELECT name FROM keys WHERE parent = ?1 ORDER BY path LIMIT 1 "
                            "OFFSET ?2");
    q.bind(1, k.id).bind(2, int64_t{index});
    const int rc = q.step();
    if (rc == SQLITE_DONE)
        return kErrNoMoreItems;
    if (rc != SQLITE_ROW)
        return s.sqliteFailure(rc, "cannot read");
    const std::string_view text = q.text(0);
    if (text.size() + 1 > *nameSize)
        return fail(kErrMoreData, "the key name does not fit the buffer");
    std::memcpy(name, text.data(), text.size());
    name[text.size()] = 0;
    *nameSize = static_cast<uint32_t>(text.size());
    return kErrSuccess;
}

int32_t enumValue(void* key, uint32_t index, char* name, uint32_t* nameSize, uint32_t* type,
                  unsigned char* data, uint32_t* dataSize) {
    Store& s = store();
    const Call call(s);
    KeyHandle k;
    if (int32_t rc =
            openedWith(s, key, kKeyQueryValue, "the key was not opened for reading values", k);
        rc != kErrSuccess)
        return rc;
    if (name == nullptr || nameSize == nullptr || (data != nullptr && dataSize == nullptr))
        return fail(kErrInvalidParameter, "no name or size buffer");
    if (int32_t rc = s.connect(k.store, Need::Read, k.root); rc != kErrSuccess)
        return rc == kErrFileNotFound ? kErrNoMoreItems : rc;
    Query q(s.connection(), "SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY id "
                            "LIMIT 1 OFFSET ?2");
    q.bind(1, k.id).bind(2, int64_t{index});
    const int rc = q.step();
    if (rc == SQLITE_DONE)
        return kErrNoMoreItems;
    if (rc != SQLITE_ROW)
        return s.sqliteFailure(rc, "cannot read");
    const std::string_view text = q.text(0);
    const std::string_view bytes = q.blob(2);
    const auto needed = static_cast<uint32_t>(bytes.size());
    if (text.size() + 1 > *nameSize)
        return fail(kErrMoreData, "the value name does not fit the buffer");
    if (data != nullptr && needed > *dataSize) {
        *dataSize = needed;
        return fail(kErrMoreData, "the value does not fit the buffer");
    }
    std::memcpy(name, text.data(), text.size());
    name[text.size()] = 0;
    *nameSize = static_cast<uint32_t>(text.size());
    if (type)
        *type = static_cast<uint32_t>(q.integer(1));
    if (data != nullptr && needed)
        std::memcpy(data, bytes.data(), needed);
    if (dataSize)
        *dataSize = needed;
    return kErrSuccess;
}

} // namespace oxsys::registry
