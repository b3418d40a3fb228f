// ORegistry against its floor: the bare prepared SQLite statements the store
// runs, on the same file in the same run. A read opens the key (one SELECT),
// queries the value (another) and closes it; a write is one IMMEDIATE
// transaction with full sync, like the bare UPDATE's implicit one.
#include "benchratios.h"

#include <oxlib/oregistry.h>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>

namespace {

std::string g_store;

const ORegistry& bench() {
    static const ORegistry reg("Bench", "Software\\Corvane Software\\", HKEY_LOCAL_MACHINE);
    return reg;
}

// A connection of our own, set up as the store sets up its own.
class Bare {
public:
    Bare() {
        sqlite3_open_v2(g_store.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_busy_timeout(db_, 20000);
        sqlite3_exec(db_, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
        sqlite3_stmt* find = nullptr;
        sqlite3_prepare_v2(db_, "SELECT id FROM keys WHERE path = ?1", -1, &find, nullptr);
        sqlite3_bind_text(find, 1, "HKLM\\SOFTWARE\\CORVANE SOFTWARE\\BENCH", -1, SQLITE_STATIC);
        if (sqlite3_step(find) == SQLITE_ROW)
            key_ = sqlite3_column_int64(find, 0);
        sqlite3_finalize(find);
    }
    ~Bare() { sqlite3_close(db_); }
    sqlite3* db() const { return db_; }
    int64_t key() const { return key_; }

private:
    sqlite3* db_ = nullptr;
    int64_t key_ = 0;
};

void ORegistry_readString_existing(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(bench().readString("Existing"));
    state.SetItemsProcessed(state.iterations());
}

void ORegistry_readString_missing(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(bench().readString("Missing"));
    state.SetItemsProcessed(state.iterations());
}

void ORegistry_writeString(benchmark::State& state) {
    int i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(bench().writeString("Written", (i++ & 1) ? "odd" : "even"));
    state.SetItemsProcessed(state.iterations());
}

// Reads the value "Existing" through `select`, whose first parameter the caller has bound
// and whose second is the value's folded name.
void readExisting(sqlite3_stmt* select) {
    sqlite3_bind_text(select, 2, "EXISTING", -1, SQLITE_STATIC);
    if (sqlite3_step(select) == SQLITE_ROW)
        benchmark::DoNotOptimize(sqlite3_column_blob(select, 1));
    sqlite3_reset(select);
}

void Bare_prepared_SELECT(benchmark::State& state) {
    Bare bare;
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(bare.db(), "SELECT type, data FROM vals WHERE key = ?1 AND folded = ?2", -1,
                       &select, nullptr);
    for (auto _ : state) {
        sqlite3_bind_int64(select, 1, bare.key());
        readExisting(select);
    }
    sqlite3_finalize(select);
    state.SetItemsProcessed(state.iterations());
}

// The least a read from the key's path can cost under the store's rules: one
// look at the file (another process may have replaced it or taken its write
// permission away since) and one statement that finds the key by its path and
// the value in it.
void Floor_stat_and_joined_SELECT(benchmark::State& state) {
    Bare bare;
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(bare.db(),
                       "SELECT v.type, v.data FROM keys k JOIN vals v ON v.key = k.id"
                       " WHERE k.path = ?1 AND v.folded = ?2",
                       -1, &select, nullptr);
    for (auto _ : state) {
        struct stat st;
        benchmark::DoNotOptimize(stat(g_store.c_str(), &st));
        sqlite3_bind_text(select, 1, "HKLM\\SOFTWARE\\CORVANE SOFTWARE\\BENCH", -1, SQLITE_STATIC);
        readExisting(select);
    }
    sqlite3_finalize(select);
    state.SetItemsProcessed(state.iterations());
}

void Bare_prepared_UPDATE(benchmark::State& state) {
    Bare bare;
    sqlite3_stmt* update = nullptr;
    sqlite3_prepare_v2(bare.db(), "UPDATE vals SET data = ?1 WHERE key = ?2 AND folded = ?3", -1,
                       &update, nullptr);
    int i = 0;
    for (auto _ : state) {
        const char* text = (i++ & 1) ? "odd" : "even";
        sqlite3_bind_blob(update, 1, text, 4, SQLITE_STATIC);
        sqlite3_bind_int64(update, 2, bare.key());
        sqlite3_bind_text(update, 3, "WRITTEN", -1, SQLITE_STATIC);
        benchmark::DoNotOptimize(sqlite3_step(update));
        sqlite3_reset(update);
    }
    sqlite3_finalize(update);
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(Bare_prepared_SELECT)->UseRealTime();
BENCHMARK(Floor_stat_and_joined_SELECT)->UseRealTime();
BENCHMARK(ORegistry_readString_existing)->UseRealTime();
BENCHMARK(ORegistry_readString_missing)->UseRealTime();
BENCHMARK(Bare_prepared_UPDATE)->UseRealTime();
BENCHMARK(ORegistry_writeString)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    char folder[] = "/tmp/oxreg-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr)
        return 1;
    g_store = std::string(folder) + "/registry.db";
    setenv("OXLIB_REGISTRY", g_store.c_str(), 1);
    if (!bench().writeString("Existing", "/usr/local/lib/libpxlogger.so") ||
        !bench().writeString("Written", "even")) {
        std::fprintf(stderr, "cannot set the store up at %s\n", g_store.c_str());
        return 1;
    }
    const int status = benchratios::runWithRatios(
        argc, argv,
        {{"readString of a value / bare prepared SELECT", "ORegistry_readString_existing/real_time",
          "Bare_prepared_SELECT/real_time"},
         {"readString of a value / its floor", "ORegistry_readString_existing/real_time",
          "Floor_stat_and_joined_SELECT/real_time"},
         {"floor / bare prepared SELECT", "Floor_stat_and_joined_SELECT/real_time",
          "Bare_prepared_SELECT/real_time"},
         {"readString of a missing value / bare SELECT", "ORegistry_readString_missing/real_time",
          "Bare_prepared_SELECT/real_time"},
         {"writeString / bare UPDATE (one transaction)", "ORegistry_writeString/real_time",
          "Bare_prepared_UPDATE/real_time"}});
    std::filesystem::remove_all(folder);
    return status;
}
