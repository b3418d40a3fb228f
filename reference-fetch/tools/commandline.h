#pragma once

#include <string>

// What the fetchorb tools share in reading their command lines, so both answer a wrong
// one the same way.

// The exit status of a wrong command line (sysexits' EX_USAGE).
constexpr int kUsageError = 64;

// Prints "PROGRAM: MESSAGE" and where to find help on standard error; returns kUsageError.
int usageError(const char* program, const std::string& message);

// A decimal number in [min, max] and nothing else: no sign, no spaces, no trailing text.
bool parseNumber(const char* text, unsigned long long min, unsigned long long max,
                 unsigned long long* value);
