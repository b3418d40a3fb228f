// The library's static objects, defined in one place so that they are built in
// one fixed order at load and destroyed in the reverse order at unload. Within
// one translation unit C++ initialises in the order of definition; keeping every
// object with a dynamic initialiser here is what makes the order hold across
// the library. Each later object may use the ones above it, never those below.
#include <oxlib/oeventlog.h>
#include <oxlib/ologimp.h>
#include <oxlib/ostring.h>
#include <oxlib/otime.h>

// 1. The string empties: OString's and OWideString's static empty buffers
//    (count -1, never counted or freed). They are constant-initialised in
//    ostring.cpp, so they exist before anything below runs and every object
//    here may hold an empty string from the start.
static_assert(sizeof(OStringBuffer) == 16, "the empties are 16-byte buffer records");

// 2. The logger object, built with an empty server name (the local computer).
//    Building it starts nothing; the first logLevel or logEvent does. It is
//    shut down by 8. below, long before it is destroyed here.
OLogImp theLogger;

// 3. The logger's constant names.
const OString corvaneSoftwareKey("Software\\Corvane Software\\");
const OString loggingKeyName("Corvane Logging");
const OString
    eventLogApplicationKey("System\\CurrentControlSet\\Services\\EventLog\\Application\\");
const OString eventSourcePrefix("Corvane_");
OString logSourceName;

// 4. The event-log file name.
const OString eventLogFileName("event.log");

// 5. The time module's shared values.
const OTimeOfDay invalidTime = OTimeOfDay::fromValue(kInvalidTimeValue);
const ODate invalidDate = ODate::fromDayNumber(kInvalidTimeValue);
const OTimeZone localZone{OString()};
const OTimeZone utcZone{OString("UTC,0")};

// 6. The locale's day and month names; sets the process's time locale to the
//    user's default and keeps it.
const OTimeNames timeNames{true};

// 7. The epoch, 1970-01-01 00:00:00.000 universal time.
const ODateTime epoch{ODate(1970, 1, 1), OTimeOfDay(0, 0, 0, 0, utcZone)};

// 8. The logger's shut-down. Destruction runs in reverse order, so the logger
//    itself (2.) would go after the names, the file name and the zone that the
//    reports of its shut-down need (a library whose Term fails is reported in
//    event.log, with a time stamp). This last object shuts the logger down
//    first, while everything above still stands.
namespace {
struct LoggerShutDown {
    ~LoggerShutDown() { theLogger.shutDown(); }
};
const LoggerShutDown loggerShutDown;
} // namespace
