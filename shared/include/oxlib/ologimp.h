// OLogImp: the one logger of the process, and OLogDll, its binding of one
// logging library.
//
// The logger starts itself on first use (the first logLevel or logEvent of the
// process, on that caller's thread): when the registry key
// HKLM\Software\Corvane Software\Corvane Logging exists, it registers an event
// source for the host program, takes the log level from the environment
// variable "<program>_logLevel" (publishing the level there when the variable
// is absent) and binds every library that a sub-key's "DLLPath" names, in the
// registry's order. From then on the bindings never change, so events are
// delivered without a lock, from any thread, to every bound library. Its own
// problems (a library that can't be loaded, an entry point that failed) go to
// the event sink (oeventlog.h) through reportSystemEvent, never to the
// libraries. Everything a logging library raises is caught around that one
// library; the others still get the event.
//
// Reports made on the starting thread while the start-up runs (assertions of
// the registry layer, the load-failure traces at level 256 or more) never start
// it again: they are delivered to the libraries bound so far, which are
// initialised already. Other threads that report meanwhile wait for the
// start-up to end; their level queries may still see the default level 2.
#pragma once

#include <oxlib/csharedlibrary.h>
#include <oxlib/ologginglibrary.h>
#include <oxlib/ostring.h>
#include <oxlib/oxarray.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

// The logger's own message ids (category 15).
constexpr uint32_t kMsgNoLibraryConfigured = 34401; // no strings
constexpr uint32_t kMsgDeliveryFailed = 34402;      // library path
constexpr uint32_t kMsgShutdownFailed = 34406;      // library path
constexpr uint32_t kMsgOutOfMemory = 34407;         // no strings
constexpr uint32_t kMsgLoadFailed = 34408;          // library path
constexpr uint32_t kMsgEntryPointMissing = 34409;   // library path
constexpr uint32_t kMsgEmptyDllPath = 34410;        // the sub-key's name

constexpr uint32_t kDefaultLogLevel = 2;

// The registry names the logger reads and writes.
extern const OString corvaneSoftwareKey;     // "Software\Corvane Software\"
extern const OString loggingKeyName;         // "Corvane Logging"
extern const OString eventLogApplicationKey; // "System\...\EventLog\Application\"
extern const OString eventSourcePrefix;      // "Corvane_"
// The event source name: "Corvane_" + the host program's base name; empty until
// the first start-up (or registerEventSource).
extern OString logSourceName;

class OLogDll {
public:
    // Loads `path` and resolves the seven entry points; a library that can't
    // be loaded or lacks one is reported (34408, 34409) and stays incomplete.
    OLogDll(const OString& path, const OString& serverName);
    // Unloads the library when it is in use (see setInUse); otherwise it stays
    // loaded for the life of the process.
    ~OLogDll();
    OLogDll(const OLogDll&) = delete;
    OLogDll& operator=(const OLogDll&) = delete;

    bool isComplete() const { return m_complete; }
    const OString& dllName() const { return m_dllName; }

    bool callInit(uint8_t initFlag, const OString& applicationPath);
    // Error with the strings and Error2 with the formatted text (only Error2,
    // and only for a "pxlogger" library, for assertions and traces). True when
    // no call returned 0.
    bool deliver(uint16_t eventType, uint16_t category, uint32_t messageId, uint32_t count,
                 const OXArray<OString>& strings);
    bool callTerm();
    // Marks the binding as one the logger uses, so destroying it unloads it.
    void setInUse() { m_inUse = true; }

private:
    CSharedLibrary* m_library = nullptr;
    OXLogGetDLLVersion pf_GetDLLVersion = nullptr;
    OXLogInit pf_Init = nullptr;
    OXLogError pf_Error = nullptr;
    OXLogError2 pf_Error2 = nullptr;
    OXLogAudit pf_Audit = nullptr;
    OXLogAudit2 pf_Audit2 = nullptr;
    OXLogTerm pf_Term = nullptr;
    OString m_serverName;
    bool m_complete = false;
    bool m_inUse = false;
    bool m_isPxlogger = false;
    OString m_dllName;
};

class OLogImp {
public:
    explicit OLogImp(const OString& serverName = OString());
    // Shuts down (if shutDown has not run) and drops the lock.
    ~OLogImp();
    OLogImp(const OLogImp&) = delete;
    OLogImp& operator=(const OLogImp&) = delete;

    // One-time start-up; returns at once when it has run (or is running on
    // this thread).
    void init(const OString& applicationName, uint32_t level, uint8_t initFlag);
    // Hands one event to every bound library; the strings are cleaned of line
    // breaks in place. False only when a library raised while taking it.
    bool report(uint16_t eventType, uint16_t category, uint32_t messageId, uint32_t count,
                OXArray<OString>& strings);
    // Term and unload for every binding, in load order. Runs once: at unload,
    // before the names and the time zone that the reports of a failing Term
    // need are destroyed.
    void shutDown();

    // The level, after start-up a single relaxed load. Starts the logger first
    // when the level has not been set.
    uint32_t level() {
        const uint64_t word = m_levelWord.load(std::memory_order_relaxed);
        if (word & kLevelSet)
            return static_cast<uint32_t>(word);
        return startAndGetLevel();
    }
    bool isLevelSet() const {
        return (m_levelWord.load(std::memory_order_relaxed) & kLevelSet) != 0;
    }
    bool isInitialised() const { return m_initialised.load(std::memory_order_acquire); }
    // Started, and no library bound: an event would go nowhere.
    bool isIdle() const { return isInitialised() && m_bindings.empty(); }
    size_t bindingCount() const { return m_bindings.size(); }
    const OString& applicationPath() const { return m_applicationPath; }

    void readLevelFromEnvironment();

private:
    static constexpr uint64_t kLevelSet = uint64_t(1) << 32;
    static void shutDownAtExit();
    uint32_t startAndGetLevel();
    void setLevel(uint32_t level) {
        m_levelWord.store(kLevelSet | level, std::memory_order_relaxed);
    }
    void bindLibraries();

    OString m_serverName;
    std::atomic<bool> m_initialised{false};
    bool m_starting = false; // the start-up runs on the thread that holds the lock
    bool m_shutDown = false;
    uint8_t m_initFlag = 1;
    OString m_applicationPath;
    std::recursive_mutex m_lock;
    std::vector<OLogDll*> m_bindings;
    // Bindings that failed; their libraries stay loaded, nothing is called.
    std::vector<OLogDll*> m_unused;
    // Events reported by the start-up itself before any library was bound
    // (a missing message library, say): delivered once the libraries are.
    struct HeldEvent {
        uint16_t type;
        uint16_t category;
        uint32_t messageId;
        uint32_t count;
        OXArray<OString> strings;
    };
    std::vector<HeldEvent> m_held;
    // The level in the low 32 bits, the level-set flag above them: one load
    // answers both.
    std::atomic<uint64_t> m_levelWord{0};
};

// The process's logger (defined with the library's other static objects).
extern OLogImp theLogger;

// Sets logSourceName from `applicationPath` and, when the logging key exists,
// stores the logging key's "CategoryCount" (22) and "TypesSupported" (31) and
// the event source's four values where they are missing. False without the key.
bool registerEventSource(const OString& applicationPath);

// Writes one of the logger's own events straight to a fresh event sink.
void reportSystemEvent(const OString& serverName, const OString& sourceName, uint16_t eventType,
                       const char* const* strings, uint16_t category, uint16_t count,
                       uint32_t messageId);

// The file name of a path without folder and extension ("C:\Apps\Client.exe"
// and "/opt/bin/client" give "Client" and "client").
OString pathBaseName(const OString& path);
