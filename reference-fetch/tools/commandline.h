#pragma once

#include <string>

// What the fetchorb tools share in reading their command lines, so both answer a wrong
// one the same way.

// The exit status of a wrong command line (sysexits' EX_USAGE).
constexpr int kUsageError = 64;
// The exit status when the output could not be written (sysexits' EX_IOERR).
constexpr int kOutputError = 74;

// Prints "PROGRAM: MESSAGE" and where to find help on standard error; returns kUsageError.
int usageError(const char* program, const std::string& message);

// A decimal number in [min, max] and nothing else: no sign, no spaces, no trailing text.
bool parseNumber(const char* text, unsigned long long min, unsigned long long max,
                 unsigned long long* value);

// Flushes standard output and checks that everything written to it arrived. On a
// failure prints "PROGRAM: cannot write the output: REASON" and returns kOutputError;
// otherwise returns `status`.
int finishOutput(const char* program, int status);

// Walks a command line. "--name value" and "--name=value" are one option; any
// other argument stands as it is.
class Arguments {
public:
    Arguments(int argc, char** argv) : m_argc(argc), m_argv(argv) {}

    // Steps to the next argument; false after the last.
    bool next();
    // The option's name ("--port") or the whole argument.
    const std::string& name() const { return m_name; }
    // Whether the value came with the name ("--port=80").
    bool hasInlineValue() const { return m_hasInline; }
    // The option's value, taking the next argument unless it came inline; null
    // when there is none.
    const char* takeValue();

private:
    int m_argc;
    char** m_argv;
    int m_index = 0;
    std::string m_name;
    std::string m_inline;
    bool m_hasInline = false;
};
