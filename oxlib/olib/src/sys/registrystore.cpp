// The registry calls of osys.h on POSIX: the handle table and the ten
// operations over the store file of registryfile.h. See registrystore.h for
// what the store promises.
#include "registrystore.h"

#include "osys.h"
#include "registryfile.h"
#include "registrynames.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_set>
#include <vector>

namespace oxsys::registry {
namespace {

constexpr uintptr_t kRootCurrentUser = 0x80000001;
constexpr uintptr_t kRootLocalMachine = 0x80000002;
constexpr int64_t kIdCurrentUser = 1;
constexpr int64_t kIdLocalMachine = 2;

constexpr uint32_t kHandleMagic = 0x4F58484B;
constexpr uint32_t kWriteRights = kKeySetValue | kKeyCreateSubKey;

struct KeyHandle {
    uint32_t magic = kHandleMagic;
    std::string store; // the file the key lives in
    int64_t id = 0;    // its row in keys
    std::string path;  // its folded full path
    uint32_t access = 0;
    bool root = false;
};

// The process's store: its file and the key handles it has handed out.
class Store {
public:
    std::mutex mutex;
    StoreFile file;

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

    std::unordered_set<KeyHandle*>& handles() { return handles_; }

private:
    std::unordered_set<KeyHandle*> handles_;
};

Store& store() {
    // Never destroyed: other static objects may use the registry while the
    // process exits. Its connection is closed at exit all the same, which folds
    // the journal into the main file; a later call simply opens it again. A
    // call still running on another thread keeps it open rather than wait.
    static Store* instance = [] {
        auto* s = new Store;
        std::atexit([] {
            Store& exiting = store();
            if (std::unique_lock lock(exiting.mutex, std::try_to_lock); lock.owns_lock())
                exiting.file.close();
        });
        return s;
    }();
    return *instance;
}

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
    explicit Call(Store& s) : lock_(s.mutex) { threadProblem().clear(); }

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

std::string lastProblem() {
    return threadProblem();
}

size_t openHandles() {
    Store& s = store();
    std::lock_guard lock(s.mutex);
    return s.handles().size();
}

} // namespace oxsys::registry

namespace oxsys {

using namespace registry;

int32_t regOpenKey(RegKey parent, const char* subKey, uint32_t access, RegKey* key) {
    Store& s = store();
    const Call call(s);
    Target t;
    if (int32_t rc = handleTarget(s, parent, subKey, key, t); rc != kErrSuccess)
        return rc;
    const auto& [base, parts, path] = t;
    const bool wantsWrite = (access & kWriteRights) != 0;
    int32_t rc = s.file.connect(base.store, wantsWrite ? Need::Modify : Need::Read, base.root);
    int64_t id = base.id;
    if (rc == kErrFileNotFound && parts.empty() && base.root && !wantsWrite)
        rc = kErrSuccess; // a root is there even before the store is
    else if (rc != kErrSuccess)
        return rc;
    else if (!parts.empty()) {
        int step = 0;
        id = findKey(s.file.connection(), path, step);
        if (step != SQLITE_ROW && step != SQLITE_DONE)
            return s.file.sqliteFailure(step, "cannot read");
        if (id == 0)
            return fail(kErrFileNotFound, "the key does not exist");
    }
    *key = s.newHandle(KeyHandle{kHandleMagic, base.store, id, path, access, false});
    return kErrSuccess;
}

int32_t regCreateKey(RegKey parent, const char* subKey, uint32_t access, RegKey* key) {
    Store& s = store();
    const Call call(s);
    Target t;
    if (int32_t rc = handleTarget(s, parent, subKey, key, t); rc != kErrSuccess)
        return rc;
    const auto& [base, parts, path] = t;
    if (int32_t rc = s.file.connect(base.store, Need::Write, base.root); rc != kErrSuccess)
        return rc;
    Connection& c = s.file.connection();
    int step = 0;
    int64_t id = parts.empty() ? base.id : findKey(c, path, step);
    if (id == 0) {
        WriteTransaction transaction(s.file);
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
                return s.file.sqliteFailure(rc, "cannot create a key");
            id = sqlite3_last_insert_rowid(c.db);
        }
        if (int32_t rc = transaction.commit(); rc != kErrSuccess)
            return rc;
    }
    *key = s.newHandle(KeyHandle{kHandleMagic, base.store, id, path, access, false});
    return kErrSuccess;
}

int32_t regCloseKey(RegKey key) {
    Store& s = store();
    const Call call(s);
    return s.close(key);
}

namespace {

// Hands over the value a query of (type, data) stands on, as RegQueryValueExA.
int32_t valueFrom(Store& s, Query& q, uint32_t* type, unsigned char* data, uint32_t* size) {
    const int rc = q.step();
    if (rc == SQLITE_DONE)
        return fail(kErrFileNotFound, "the value does not exist");
    if (rc != SQLITE_ROW)
        return s.file.sqliteFailure(rc, "cannot read");
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

// Opens `key`'s store for reading a value: a store file that is not there
// holds no value.
int32_t connectToRead(Store& s, const KeyHandle& key) {
    const int32_t rc = s.file.connect(key.store, Need::Read, key.root);
    return rc == kErrFileNotFound ? fail(rc, "the value does not exist") : rc;
}

// Value `name` of the key in row `keyId`, copied as valueFrom copies it.
int32_t valueOfKey(Store& s, int64_t keyId, const char* name, uint32_t* type, unsigned char* data,
                   uint32_t* size) {
    Query q(s.file.connection(), "SELECT type, data FROM vals WHERE key = ?1 AND folded = ?2");
    q.bind(1, keyId).bind(2, foldName(name ? name : ""));
    return valueFrom(s, q, type, data, size);
}

// The key behind `key`, opened with the right to change its values.
int32_t openedForValues(Store& s, RegKey key, KeyHandle& k) {
    return openedWith(s, key, kKeySetValue, "the key was not opened for writing values", k);
}

// Connects to `key`'s store as `need` asks and begins `transaction` on it: a
// failure of either is returned as it is.
int32_t beginWrite(Store& s, const KeyHandle& key, Need need, WriteTransaction& transaction) {
    if (int32_t rc = s.file.connect(key.store, need, key.root); rc != kErrSuccess)
        return rc;
    return transaction.begin();
}

} // namespace

int32_t regQueryValue(RegKey key, const char* name, uint32_t* type, unsigned char* data,
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
    if (int32_t rc = connectToRead(s, k); rc != kErrSuccess)
        return rc;
    return valueOfKey(s, k.id, name, type, data, size);
}

// One statement, so one read of the store, where opening the key and querying
// it would take two.
int32_t regGetValue(RegKey parent, const char* subKey, const char* name, uint32_t* type,
                    unsigned char* data, uint32_t* size) {
    Store& s = store();
    const Call call(s);
    Target t;
    if (int32_t rc = target(s, parent, subKey, t); rc != kErrSuccess)
        return rc;
    if (data != nullptr && size == nullptr)
        return fail(kErrInvalidParameter, "a data buffer without a size");
    const auto& [base, parts, path] = t;
    if (int32_t rc = connectToRead(s, base); rc != kErrSuccess)
        return rc;
    if (parts.empty())
        return valueOfKey(s, base.id, name, type, data, size);
    Query q(s.file.connection(), "SELECT v.type, v.data FROM keys k JOIN vals v ON v.key = k.id"
                                 " WHERE k.path = ?1 AND v.folded = ?2");
    q.bind(1, path).bind(2, foldName(name ? name : ""));
    return valueFrom(s, q, type, data, size);
}

int32_t regSetValue(RegKey key, const char* name, uint32_t type, const unsigned char* data,
                    uint32_t size) {
    Store& s = store();
    const Call call(s);
    KeyHandle k;
    if (int32_t rc = openedForValues(s, key, k); rc != kErrSuccess)
        return rc;
    if (data == nullptr && size != 0)
        return fail(kErrInvalidParameter, "value data missing");
    if (int32_t rc = checkValueName(name); rc != kErrSuccess)
        return rc;
    WriteTransaction transaction(s.file);
    if (int32_t rc = beginWrite(s, k, Need::Write, transaction); rc != kErrSuccess)
        return rc;
    Connection& c = s.file.connection();
    if (!k.root && !keyRowExists(c, k.id))
        return fail(kErrKeyDeleted, "the key has been deleted");
    Query upsert(c, "INSERT INTO vals(key, name, folded, type, data) VALUES(?1, ?2, ?3, ?4, ?5)"
                    " ON CONFLICT(key, folded) DO UPDATE SET type = excluded.type,"
                    " data = excluded.data");
    const char* text = name ? name : "";
    upsert.bind(1, k.id).bind(2, text).bind(3, foldName(text)).bind(4, int64_t{type});
    upsert.bindBlob(5, data, size);
    if (int rc = upsert.step(); rc != SQLITE_DONE)
        return s.file.sqliteFailure(rc, "cannot store a value");
    return transaction.commit();
}

int32_t regDeleteValue(RegKey key, const char* name) {
    Store& s = store();
    const Call call(s);
    KeyHandle k;
    if (int32_t rc = openedForValues(s, key, k); rc != kErrSuccess)
        return rc;
    WriteTransaction transaction(s.file);
    if (int32_t rc = beginWrite(s, k, Need::Modify, transaction); rc != kErrSuccess)
        return rc;
    Connection& c = s.file.connection();
    Query remove(c, "DELETE FROM vals WHERE key = ?1 AND folded = ?2");
    remove.bind(1, k.id).bind(2, foldName(name ? name : ""));
    if (int rc = remove.step(); rc != SQLITE_DONE)
        return s.file.sqliteFailure(rc, "cannot delete a value");
    if (sqlite3_changes(c.db) == 0)
        return fail(kErrFileNotFound, "the value does not exist");
    return transaction.commit();
}

int32_t regDeleteTree(RegKey parent, const char* subKey) {
    Store& s = store();
    const Call call(s);
    Target t;
    if (int32_t rc = target(s, parent, subKey, t); rc != kErrSuccess)
        return rc;
    const auto& [base, parts, path] = t;
    WriteTransaction transaction(s.file);
    if (int32_t rc = beginWrite(s, base, Need::Modify, transaction); rc != kErrSuccess)
        return rc == kErrFileNotFound ? fail(rc, "the key does not exist") : rc;
    Connection& c = s.file.connection();
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
            return s.file.sqliteFailure(rc, "cannot delete a key");
    }
    return transaction.commit();
}

int32_t regEnumKey(RegKey key, uint32_t index, char* name, uint32_t* nameSize) {
    Store& s = store();
    const Call call(s);
    KeyHandle k;
    if (int32_t rc = openedWith(s, key, kKeyEnumerateSubKeys,
                                "the key was not opened for listing sub-keys", k);
        rc != kErrSuccess)
        return rc;
    if (name == nullptr || nameSize == nullptr)
        return fail(kErrInvalidParameter, "no name buffer");
    if (int32_t rc = s.file.connect(k.store, Need::Read, k.root); rc != kErrSuccess)
        return rc == kErrFileNotFound ? kErrNoMoreItems : rc;
    Query q(s.file.connection(), "SELECT name FROM keys WHERE parent = ?1 ORDER BY path LIMIT 1 "
                                 "OFFSET ?2");
    q.bind(1, k.id).bind(2, int64_t{index});
    const int rc = q.step();
    if (rc == SQLITE_DONE)
        return kErrNoMoreItems;
    if (rc != SQLITE_ROW)
        return s.file.sqliteFailure(rc, "cannot read");
    const std::string_view text = q.text(0);
    if (text.size() + 1 > *nameSize)
        return fail(kErrMoreData, "the key name does not fit the buffer");
    std::memcpy(name, text.data(), text.size());
    name[text.size()] = 0;
    *nameSize = static_cast<uint32_t>(text.size());
    return kErrSuccess;
}

int32_t regEnumValue(RegKey key, uint32_t index, char* name, uint32_t* nameSize, uint32_t* type,
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
    if (int32_t rc = s.file.connect(k.store, Need::Read, k.root); rc != kErrSuccess)
        return rc == kErrFileNotFound ? kErrNoMoreItems : rc;
    Query q(s.file.connection(), "SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY id "
                                 "LIMIT 1 OFFSET ?2");
    q.bind(1, k.id).bind(2, int64_t{index});
    const int rc = q.step();
    if (rc == SQLITE_DONE)
        return kErrNoMoreItems;
    if (rc != SQLITE_ROW)
        return s.file.sqliteFailure(rc, "cannot read");
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

std::string regErrorText(int32_t code) {
    if (std::string problem = lastProblem(); !problem.empty())
        return problem;
    switch (code) {
    case kErrSuccess:
        return "The operation completed successfully.";
    case kErrFileNotFound:
        return "The system cannot find the file specified.";
    case kErrAccessDenied:
        return "Access is denied.";
    case kErrInvalidHandle:
        return "The handle is invalid.";
    case kErrInvalidParameter:
        return "The parameter is incorrect.";
    case kErrBadPathname:
        return "The specified path is invalid.";
    case kErrMoreData:
        return "More data is available.";
    case kErrNoMoreItems:
        return "No more data is available.";
    case kErrBadDb:
        return "The configuration registry database is corrupt.";
    case kErrCantWrite:
        return "The configuration registry key could not be written.";
    case kErrKeyDeleted:
        return "Illegal operation attempted on a registry key that has been marked for deletion.";
    default:
        return "Registry error " + std::to_string(code) + ".";
    }
}

std::string regLocation() {
    return storePath();
}

} // namespace oxsys
