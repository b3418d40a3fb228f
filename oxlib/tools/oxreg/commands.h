// oxreg's three commands over the registry calls of the system layer. Each
// prints what reg.exe prints (results on standard output, "ERROR: ..." on
// standard error) and returns the exit status: 0 done, 1 not done.
#pragma once

#include "keypath.h"

#include <cstdint>
#include <string>

struct Options {
    std::string command;
    KeyPath key;
    bool hasValueName = false; // /v NAME
    std::string valueName;
    bool defaultValue = false; // /ve
    bool allValues = false;    // /va
    bool recursive = false;    // /s (query)
    bool force = false;        // /f
    bool hasType = false;      // /t TYPE
    uint32_t type = 1;         // REG_SZ
    bool hasData = false;      // /d DATA
    std::string data;
    std::string separator = "\\0"; // /se SEP (add, REG_MULTI_SZ)

    bool namesValue() const { return hasValueName || defaultValue; }
    // The value the options name: "" for the default value.
    std::string value() const { return defaultValue ? std::string() : valueName; }
};

int runQuery(const Options& options);
int runAdd(const Options& options);
int runDelete(const Options& options);
