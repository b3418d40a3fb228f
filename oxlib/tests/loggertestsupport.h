// One configuration of the logger for a test: a registry store, a current
// folder for event.log, a record file for the test logging libraries, and the
// helper process that runs as the host program.
#pragma once

#include "childprocess.h"
#include "tempregistry.h"

#include <string>
#include <vector>

// The path of a test logging library (testlogger.cpp): "a", "b", "noaudit2",
// "initfails", "throws", "errorfails".
std::string testLogger(const std::string& variant);
// pxlogger's path, as a registry value names it.
std::string pxloggerPath();
// The helper program's full path (what Init receives as the host path).
std::string helperPath();
// The environment variable of the helper's level.
constexpr const char* kHelperLevelVariable = "oxlib_logger_helper_logLevel";

// One event.log line taken apart: the time stamp (with its four spaces) and the
// fields after it. `valid` is false for a line of any other shape.
struct EventLogLine {
    bool valid = false;
    std::string stamp;
    std::string type;
    std::string category;
    std::string message;
};
EventLogLine parseEventLogLine(const std::string& line);

std::vector<std::string> splitLines(const std::string& text);

class LoggerScene {
public:
    LoggerScene();
    ~LoggerScene();
    LoggerScene(const LoggerScene&) = delete;
    LoggerScene& operator=(const LoggerScene&) = delete;

    // The logging key itself, with no sub-keys.
    void createLoggingKey();
    // A sub-key with "DLLPath" (and "LogFile" when given).
    void addLibrary(const std::string& subKey, const std::string& dllPath,
                    const std::string& logFile = "");
    // Runs the helper with `input` (its current folder is folder()); `level`
    // non-empty sets the level variable; `program` names a copy of the helper
    // to run instead. Returns the helper's output.
    ChildResult run(const std::string& input, const std::string& level = "",
                    const std::string& program = "");

    const std::string& folder() const { return registry_.folder(); }
    std::string path(const std::string& name) const { return folder() + "/" + name; }
    std::vector<std::string> eventLog() const { return splitLines(readFile(path("event.log"))); }
    std::vector<std::string> record() const { return splitLines(readFile(path("record.txt"))); }
    std::vector<std::string> lines(const std::string& name) const {
        return splitLines(readFile(path(name)));
    }

private:
    TempRegistry registry_;
};
