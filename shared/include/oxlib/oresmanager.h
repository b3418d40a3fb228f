// The string-resource manager: finds the message library for the user's
// language, keeps it loaded for the life of the process and returns its
// string-table entries by id.
//
// The library is "stringres_" + the first two letters of the user's language
// abbreviation (case kept: "stringres_DE"), looked for in the folder that the
// registry value HKLM\Software\Corvane Software\Shared Tools\Strings "Path"
// names and then through the system's search order; then "stringres_en" the same
// two ways. When none loads, one report for the whole process says so, and the
// strings come from the main program module, which may carry a table of its own.
// Entries are at most 256 characters; longer ones come back cut.
//
// Call initStringResources before the first lookup (the logger does while it
// starts); calling it again is allowed and searches again while nothing has
// been found. Not synchronised: it runs before other threads use the strings.
#pragma once

#include <oxlib/ostring.h>

#include <cstdint>

// Loads the message library unless one is loaded already.
void initStringResources();
// The first of the four attempts that loads, for the language library
// `baseName` + "_XX"; null when none does (reported once per process).
void* loadStringLibrary(const char* baseName);
// The loaded message library's full file name; empty when none is loaded.
OString getStringLibraryPath();
// Entry `id` of the message library, else of the main program module; empty
// when neither has it.
OString loadResourceString(uint32_t id);
