// quillmark_mkdb: builds the shipped question database from SQL text.
//
//   quillmark_mkdb OUTPUT.mdb SCHEMA.sql [MORE.sql ...]
//
// Runs the SQL files in order into a fresh file and moves it over OUTPUT. The one promise
// it keeps above all: a database that holds the owner's work (any answer, any figure in a
// grid table) is never replaced, and neither is a file it cannot read or one that is in use
// (a journal or WAL file beside it); those are left as they are with a note on stderr.

#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Closes a connection on every path out of a scope.
struct Connection {
    sqlite3* db = nullptr;
    ~Connection() { sqlite3_close(db); }
};

std::string quoteIdentifier(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

// Returns the first column of the first row as an integer, or -1 when the statement fails.
long long scalar(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
        return -1;
    long long v = -1;
    if (sqlite3_step(st) == SQLITE_ROW)
        v = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return v;
}

bool tableExists(sqlite3* db, const std::string& table) {
    std::string sql = "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = '" +
                      table + "' COLLATE NOCASE";
    return scalar(db, sql) > 0;
}

// Counts the rows of a grid table that have any cell filled in besides the key.
long long filledRows(sqlite3* db, const std::string& table) {
    sqlite3_stmt* st = nullptr;
    std::string info = "PRAGMA table_info(" + quoteIdentifier(table) + ")";
    if (sqlite3_prepare_v2(db, info.c_str(), -1, &st, nullptr) != SQLITE_OK)
        return -1;
    std::string where;
    while (sqlite3_step(st) == SQLITE_ROW) {
        const bool isKey = sqlite3_column_int(st, 5) != 0;
        const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
        if (isKey || !name)
            continue;
        if (!where.empty())
            where += " OR ";
        where +=
            "(" + quoteIdentifier(name) + " IS NOT NULL AND " + quoteIdentifier(name) + " <> '')";
    }
    sqlite3_finalize(st);
    if (where.empty())
        return 0;
    return scalar(db, "SELECT count(*) FROM " + quoteIdentifier(table) + " WHERE " + where);
}

enum class Existing { None, Replaceable, Keep };

// Decides what may happen to an existing output file.
Existing inspect(const fs::path& out, std::string& why) {
    std::error_code ec;
    if (!fs::exists(out, ec))
        return Existing::None;
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        if (fs::exists(out.string() + suffix, ec)) {
            why = "it is in use or was not closed cleanly (" + out.filename().string() + suffix +
                  " exists)";
            return Existing::Keep;
        }
    }
    Connection c;
    // Read-write without create: a read-only connection would leave WAL side files behind.
    if (sqlite3_open_v2(out.c_str(), &c.db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
        scalar(c.db, "SELECT count(*) FROM sqlite_master") < 0) {
        why = "it cannot be read as a database";
        return Existing::Keep;
    }
    if (tableExists(c.db, "Answers")) {
        long long n = scalar(c.db, "SELECT count(*) FROM Answers WHERE Answer IS NOT NULL AND "
                                   "Answer <> ''");
        if (n != 0) {
            why = n < 0 ? "its answers cannot be read" : "it holds answers";
            return Existing::Keep;
        }
    }
    for (const char* table : {"PnL", "projections", "assets", "rawmaterials"}) {
        if (!tableExists(c.db, table))
            continue;
        long long n = filledRows(c.db, table);
        if (n != 0) {
            why = std::string(n < 0 ? "its figures cannot be read" : "it holds figures") +
                  " (table " + table + ")";
            return Existing::Keep;
        }
    }
    return Existing::Replaceable;
}

bool readFile(const fs::path& p, std::string& text) {
    std::ifstream in(p, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    text = ss.str();
    return true;
}

bool build(const fs::path& tmp, const std::vector<fs::path>& sqlFiles) {
    Connection c;
    if (sqlite3_open_v2(tmp.c_str(), &c.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        std::fprintf(stderr, "quillmark_mkdb: cannot create %s: %s\n", tmp.c_str(),
                     sqlite3_errmsg(c.db));
        return false;
    }
    // One transaction: fast, and a failing file leaves nothing half-built.
    if (sqlite3_exec(c.db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
        return false;
    for (const auto& f : sqlFiles) {
        std::string text;
        if (!readFile(f, text)) {
            std::fprintf(stderr, "quillmark_mkdb: cannot read %s\n", f.c_str());
            return false;
        }
        char* err = nullptr;
        if (sqlite3_exec(c.db, text.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
            std::fprintf(stderr, "quillmark_mkdb: %s: %s\n", f.c_str(), err ? err : "error");
            sqlite3_free(err);
            return false;
        }
    }
    return sqlite3_exec(c.db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: quillmark_mkdb OUTPUT.mdb SCHEMA.sql [MORE.sql ...]\n");
        return 2;
    }
    const fs::path out = argv[1];
    std::vector<fs::path> sqlFiles(argv + 2, argv + argc);

    std::string why;
    if (inspect(out, why) == Existing::Keep) {
        std::fprintf(stderr, "quillmark_mkdb: keeping %s: %s\n", out.c_str(), why.c_str());
        return 0;
    }

    const fs::path tmp = out.string() + ".new";
    std::error_code ec;
    fs::remove(tmp, ec);
    if (!build(tmp, sqlFiles)) {
        fs::remove(tmp, ec);
        return 1;
    }
    fs::rename(tmp, out, ec);
    if (ec) {
        std::fprintf(stderr, "quillmark_mkdb: cannot move %s to %s: %s\n", tmp.c_str(), out.c_str(),
                     ec.message().c_str());
        fs::remove(tmp, ec);
        return 1;
    }
    return 0;
}
