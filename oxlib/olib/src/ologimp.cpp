// The logger: one-time start-up from the registry and the environment, the
// bindings of the logging libraries, delivery and shut-down.
#include <oxlib/ologimp.h>

#include <oxlib/oeventlog.h>
#include <oxlib/olog.h>
#include <oxlib/omessageformatter.h>
#include <oxlib/oregistry.h>
#include <oxlib/oresmanager.h>

#include "sys/osys.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr const char* kFile = "ologimp.cpp";
constexpr uint32_t kTraceLevel = 255;
constexpr int32_t kModulePathSize = 260;
constexpr int32_t kLongestModulePath = 32768 * 2;
constexpr uint32_t kDefaultCategoryCount = 22;
constexpr uint32_t kDefaultTypesSupported = 31;

// The "%lu" reading of a registry number; `fallback` when the text is none.
uint32_t parseUnsigned(const OString& text, uint32_t fallback) {
    unsigned long value = 0;
    return std::sscanf(text.c_str(), "%lu", &value) == 1 ? static_cast<uint32_t>(value) : fallback;
}

// The logger's own events: always the logger's server and the event source.
void reportOwn(uint16_t type, uint32_t id, const OString* string = nullptr) {
    const char* strings[1] = {string ? string->c_str() : nullptr};
    reportSystemEvent(OString(), logSourceName, type, string ? strings : nullptr, kCategoryLogger,
                      string ? 1 : 0, id);
}

template <class F> OXFunction resolve(CSharedLibrary& library, const char* name, F& pointer) {
    const OXFunction function = library.GetFunction(OString(name));
    static_assert(sizeof pointer == sizeof function);
    std::memcpy(&pointer, &function, sizeof pointer);
    return function;
}

} // namespace

// --- Helpers ----------------------------------------------------------------------

OString pathBaseName(const OString& path) {
    // _splitpath: the folder ends at the last separator, the extension starts
    // at the last dot after it.
    const char* const text = path.c_str();
    const char* name = text;
    for (const char* p = text; *p; p = oxsys::charNext(p))
        if (*p == '\\' || *p == '/' || *p == ':')
            name = p + 1;
    const char* dot = nullptr;
    for (const char* p = name; *p; p = oxsys::charNext(p))
        if (*p == '.')
            dot = p;
    const char* end = dot ? dot : text + path.getNativeCharsUsed();
    return OString(name, static_cast<int32_t>(end - name));
}

void reportSystemEvent(const OString& serverName, const OString& sourceName, uint16_t eventType,
                       const char* const* strings, uint16_t category, uint16_t count,
                       uint32_t messageId) {
    OEventLog sink{OString()};
    if (sink.open(serverName.isEmpty() ? nullptr : serverName.c_str(), sourceName.c_str())) {
        sink.report(eventType, strings, category, count, messageId);
        sink.close();
    }
}

bool registerEventSource(const OString& applicationPath) {
    logSourceName = eventSourcePrefix + pathBaseName(applicationPath);

    const ORegistry logging(loggingKeyName, corvaneSoftwareKey, HKEY_LOCAL_MACHINE);
    if (!logging.keyExists())
        return false;

    const OString messageFile = getStringLibraryPath();
    const uint32_t categoryCount = parseUnsigned(
        logging.readIntegerDefault("CategoryCount", kDefaultCategoryCount), kDefaultCategoryCount);
    const uint32_t typesSupported =
        parseUnsigned(logging.readIntegerDefault("TypesSupported", kDefaultTypesSupported),
                      kDefaultTypesSupported);

    // Each value is stored only when it is missing; what is there is kept.
    const ORegistry source(logSourceName, eventLogApplicationKey, HKEY_LOCAL_MACHINE);
    source.readIntegerDefault("CategoryCount", static_cast<int32_t>(categoryCount));
    source.readStringDefault("CategoryMessageFile", messageFile);
    source.readStringDefault("EventMessageFile", messageFile);
    source.readIntegerDefault("TypesSupported", static_cast<int32_t>(typesSupported));
    return true;
}

// --- OLogDll ----------------------------------------------------------------------

OLogDll::OLogDll(const OString& path, const OString& serverName)
    : m_serverName(serverName), m_dllName(path) {
    OX_ASSERT_MSG_AT(!path.isEmpty(), kFile, "409", "(dllName.isEmpty()) != true",
                     "Logging: Serious problem, DLL name turns empty!\n");
    m_isPxlogger = std::strstr(m_dllName.c_str(), "pxlogger") != nullptr;
    try {
        m_library = new (std::nothrow) CSharedLibrary(path);
        if (m_library == nullptr) {
            reportOwn(EVENTLOG_ERROR_TYPE, kMsgOutOfMemory);
            return;
        }
        resolve(*m_library, "GetDLLVersion", pf_GetDLLVersion);
        resolve(*m_library, "Init", pf_Init);
        resolve(*m_library, "Error", pf_Error);
        resolve(*m_library, "Error2", pf_Error2);
        resolve(*m_library, "Audit", pf_Audit);
        resolve(*m_library, "Audit2", pf_Audit2);
        resolve(*m_library, "Term", pf_Term);
        m_complete = pf_GetDLLVersion && pf_Init && pf_Term &&
                     (pf_Error || pf_Error2 || pf_Audit || pf_Audit2);
        if (!m_complete)
            reportOwn(EVENTLOG_ERROR_TYPE, kMsgEntryPointMissing, &m_dllName);
    } catch (const CSharedLibraryException& e) {
        m_complete = false;
        reportOwn(EVENTLOG_WARNING_TYPE, kMsgLoadFailed, &m_dllName);
        if (logLevel() > kTraceLevel)
            logTrace("Load library fails due to %s\n", e.GetDetail().c_str());
    }
}

OLogDll::~OLogDll() {
    if (m_library != nullptr && m_complete && m_inUse) {
        try {
            m_library->FreeLibrary();
        } catch (const CSharedLibraryException& e) {
            reportOwn(EVENTLOG_WARNING_TYPE, kMsgShutdownFailed, &m_dllName);
            if (logLevel() > kTraceLevel)
                logTrace("Free library fails due to %s\n", e.GetDetail().c_str());
        }
    }
    // Dropping the loader object does not release the library by itself.
    delete m_library;
}

bool OLogDll::callInit(uint8_t initFlag, const OString& applicationPath) {
    if (pf_Init == nullptr) {
        logAssertion(kFile, "480", "pf_Init != NULL", "Init interface of logging DLL is NULL\n");
        return true;
    }
    if (pf_Init(initFlag, applicationPath.c_str(), nullptr) == 0) {
        reportOwn(EVENTLOG_WARNING_TYPE, kMsgLoadFailed, &m_dllName);
        return false;
    }
    return true;
}

bool OLogDll::deliver(uint16_t eventType, uint16_t category, uint32_t messageId, uint32_t count,
                      const OXArray<OString>& strings) {
    if (pf_Error == nullptr && pf_Error2 == nullptr)
        logAssertion(kFile, "512", "pf_Error || pf_Error2",
                     "Error interfaces of logging DLL is NULL\n");

    if (messageId == kMsgAssertionFailed || messageId == kMsgDebugTrace) {
        // Assertions and traces reach only a "pxlogger" library, through Error2.
        if (m_isPxlogger && pf_Error2 != nullptr) {
            const OString text = formatLogMessage(messageId, count, strings, true);
            pf_Error2(eventType, category, messageId, text.c_str());
        }
        return true;
    }

    bool ok = true;
    if (pf_Error != nullptr) {
        const uint32_t n = count < strings.getSize() ? count : strings.getSize();
        constexpr uint32_t kInline = 16;
        const char* inlineTexts[kInline];
        std::vector<const char*> moreTexts;
        const char** texts = inlineTexts;
        if (n > kInline) {
            moreTexts.resize(n);
            texts = moreTexts.data();
        }
        for (uint32_t i = 0; i < n; ++i)
            texts[i] = strings[static_cast<int32_t>(i)].c_str();
        if (pf_Error(eventType, category, messageId, n, texts) == 0) {
            reportOwn(EVENTLOG_WARNING_TYPE, kMsgDeliveryFailed, &m_dllName);
            ok = false;
        }
    }
    if (pf_Error2 != nullptr) {
        const OString text = formatLogMessage(messageId, count, strings, true);
        if (pf_Error2(eventType, category, messageId, text.c_str()) == 0) {
            reportOwn(EVENTLOG_WARNING_TYPE, kMsgDeliveryFailed, &m_dllName);
            ok = false;
        }
    }
    return ok;
}

bool OLogDll::callTerm() {
    if (pf_Term == nullptr) {
        logAssertion(kFile, "560", "pf_Term != NULL", "Term interface of logging DLL is NULL\n");
        return true;
    }
    const bool ok = pf_Term() != 0;
    if (!ok)
        reportOwn(EVENTLOG_WARNING_TYPE, kMsgShutdownFailed, &m_dllName);
    return ok;
}

// --- OLogImp ----------------------------------------------------------------------

void OLogImp::shutDownAtExit() {
    theLogger.shutDown();
}

OLogImp::OLogImp(const OString& serverName) : m_serverName(serverName) {}

OLogImp::~OLogImp() {
    shutDown();
}

uint32_t OLogImp::startAndGetLevel() {
    init(OString(), kDefaultLogLevel, 1);
    return static_cast<uint32_t>(m_levelWord.load(std::memory_order_relaxed));
}

void OLogImp::init(const OString& applicationName, uint32_t level, uint8_t initFlag) {
    if (isInitialised())
        return;
    std::lock_guard lock(m_lock);
    // A report made on this thread by the start-up itself finds it running.
    if (isInitialised() || m_starting)
        return;
    m_starting = true;

    m_initFlag = initFlag;
    m_applicationPath = applicationName;
    if (!isLevelSet())
        setLevel(level);
    if (m_applicationPath.isEmpty()) {
        // The program's path may be longer than the usual buffer: a cut one
        // would name another program (its level variable, its event source).
        for (int32_t size = kModulePathSize; size <= kLongestModulePath; size *= 2) {
            std::vector<char> path(static_cast<size_t>(size), 0);
            if (oxsys::moduleFileName(nullptr, path.data(), size) != 0) {
                m_applicationPath = path.data();
                break;
            }
        }
    }
    initStringResources();
    if (registerEventSource(m_applicationPath)) {
        readLevelFromEnvironment();
        bindLibraries();
        // Delivered while the start-up still runs: a report they cause in
        // turn goes straight to the libraries, not back into this list.
        std::vector<HeldEvent> held;
        held.swap(m_held);
        if (!m_bindings.empty())
            for (HeldEvent& e : held)
                report(e.type, e.category, e.messageId, e.count, e.strings);
        // At exit, handlers run in the reverse order of their registration, and
        // a library loaded just now registered the destructors of its own static
        // objects after ours: its Term would run after they are gone. Registered
        // after them, the shut-down runs first. (When this library itself is
        // unloaded, its handlers run the same way, this one first.)
        if (!m_bindings.empty())
            std::atexit(&shutDownAtExit);
    }

    m_held.clear(); // no logging libraries: they go nowhere
    m_starting = false;
    m_initialised.store(true, std::memory_order_release);
}

void OLogImp::bindLibraries() {
    const OString loggingPath = corvaneSoftwareKey + loggingKeyName + "\\";
    OXArray<OString> paths;
    const ORegistry logging(loggingKeyName, corvaneSoftwareKey, HKEY_LOCAL_MACHINE);
    for (ORegistryKeyIterator key = logging.subKeys(); !key.name().isEmpty(); key.next()) {
        const OString subKeyName = key.name();
        const ORegistry library(subKeyName, loggingPath, HKEY_LOCAL_MACHINE);
        for (ORegistryValueIterator value = library.values(); !value.name().isEmpty();
             value.next()) {
            if (std::strcmp(value.name().c_str(), "DLLPath") != 0)
                continue;
            if (!value.data().isEmpty())
                paths.add(value.data());
            else
                reportOwn(EVENTLOG_WARNING_TYPE, kMsgEmptyDllPath, &subKeyName);
        }
    }
    if (paths.getSize() == 0)
        reportOwn(EVENTLOG_ERROR_TYPE, kMsgNoLibraryConfigured);

    for (uint32_t i = 0; i < paths.getSize(); ++i) {
        const OString& path = paths[static_cast<int32_t>(i)];
        OLogDll* dll = nullptr;
        try {
            dll = new (std::nothrow) OLogDll(path, m_serverName);
            if (dll == nullptr) {
                reportOwn(EVENTLOG_ERROR_TYPE, kMsgOutOfMemory);
                continue;
            }
            if (dll->isComplete() && dll->callInit(m_initFlag, m_applicationPath)) {
                dll->setInUse();
                m_bindings.push_back(dll);
                dll = nullptr;
            }
        } catch (...) {
            reportOwn(EVENTLOG_WARNING_TYPE, kMsgLoadFailed, &path);
        }
        // A binding that is not used keeps its library loaded; nothing more is
        // called in it.
        if (dll != nullptr)
            m_unused.push_back(dll);
    }
}

void OLogImp::readLevelFromEnvironment() {
    const OString name = pathBaseName(m_applicationPath) + "_logLevel";
    if (const char* text = std::getenv(name.c_str())) {
        unsigned value = 0;
        if (std::sscanf(text, "%u", &value) == 1)
            setLevel(value);
        return;
    }
    // Programs this process starts later inherit the level.
    const uint32_t level = static_cast<uint32_t>(m_levelWord.load(std::memory_order_relaxed));
    oxsys::setEnvironment(name.c_str(), OString::fromNumber(level).c_str());
}

bool OLogImp::report(uint16_t eventType, uint16_t category, uint32_t messageId, uint32_t count,
                     OXArray<OString>& strings) {
    if (!isInitialised())
        init(OString(), kDefaultLogLevel, 1);
    // While the start-up runs (on this thread, or it would have waited above),
    // the libraries bound so far get the event; nothing else changes the list.
    // Before the first is bound, the event waits for them.
    if (m_bindings.empty()) {
        if (m_starting)
            m_held.push_back(HeldEvent{eventType, category, messageId, count, strings});
        return true;
    }

    if (eventType & EVENTLOG_AUDIT_SUCCESS) {
        logAssertion(kFile, "640", "0", "Show Dialog is no longer supported in this version.\n");
        eventType &= 0xFFF7;
    }
    OX_ASSERT_MSG_AT(eventType == EVENTLOG_ERROR_TYPE || eventType == EVENTLOG_WARNING_TYPE ||
                         eventType == EVENTLOG_DEBUG_TYPE || eventType == EVENTLOG_INFORMATION_TYPE,
                     kFile, "648",
                     "((eventType == EVENTLOG_ERROR_TYPE) || (eventType == EVENTLOG_WARNING_TYPE) "
                     "|| (eventType == EVENTLOG_DEBUG_TYPE) || (eventType == "
                     "EVENTLOG_INFORMATION_TYPE)) != 0",
                     "Unknown event type in error reporting\n");

    if (count != 0) {
        try {
            const uint32_t n = count < strings.getSize() ? count : strings.getSize();
            for (uint32_t i = 0; i < n; ++i) {
                OString& s = strings[static_cast<int32_t>(i)];
                if (std::strpbrk(s.c_str(), "\n\r") == nullptr)
                    continue;
                for (OStringIterator it(s); !it.isAtEnd(); it.advance(1))
                    if (it.current() == OChar('\n') || it.current() == OChar('\r'))
                        s.replaceChar(it, OChar(' '));
            }
        } catch (...) {
        }
    }

    bool result = true;
    for (OLogDll* dll : m_bindings) {
        try {
            if (dll == nullptr) {
                logAssertion(kFile, "676", "dll != NULL",
                             "Logger: Serious problem, pointer to dll turns NULL\n");
                continue;
            }
            dll->deliver(eventType, category, messageId, count, strings);
        } catch (...) {
            reportOwn(EVENTLOG_WARNING_TYPE, kMsgDeliveryFailed, &dll->dllName());
            result = false;
        }
    }
    return result;
}

void OLogImp::shutDown() {
    std::lock_guard lock(m_lock);
    if (m_shutDown)
        return;
    m_shutDown = true;
    // The list empties one binding at a time, so a report made by a library's
    // Term reaches only the libraries still bound.
    while (!m_bindings.empty()) {
        OLogDll* dll = m_bindings.front();
        try {
            dll->callTerm();
        } catch (...) {
            reportOwn(EVENTLOG_WARNING_TYPE, kMsgShutdownFailed, &dll->dllName());
        }
        m_bindings.erase(m_bindings.begin());
        delete dll; // unloads it; a failure is reported by the binding itself
    }
    for (OLogDll* dll : m_unused)
        delete dll;
    m_unused.clear();
}
