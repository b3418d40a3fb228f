// The string table the test program carries itself. The string resources find
// it through the main program module when the message library lacks an id or
// none is loaded, just as a host program's own table would be found.
#pragma once

#include <cstdint>

constexpr uint32_t kProgramOnlyId = 60001;       // "Only the program knows this text."
constexpr uint32_t kProgramLongId = 60002;       // 300 times "L"
constexpr uint32_t kProgramConnectionId = 60003; // "Connection to %1 failed: %2"
constexpr uint32_t kProgramLinesId = 60004;      // "%1"
constexpr uint32_t kProgramMissingId = 60999;    // never in any table

// Whether the stand-in template of id 34405 can be found: in the program's own
// table on Linux, in the English message library on Windows (kStandInTemplate).
void setProgramFallbackTemplate(bool present);
#if defined(_WIN32)
constexpr const char* kStandInTemplate =
    "No message text was found for message id %1 (an event with %2 insertion strings).";
#else
constexpr const char* kStandInTemplate = "No text for message %1 (%2 strings).";
#endif

// A template a test needs in the program's table (null: none): the id that
// holds it. On Linux the test sets it under kProgramSettableId; on Windows the
// STRINGTABLE holds the formatter tests' templates from kProgramTemplatesId
// on, and 0 means that `text` is not among them.
constexpr uint32_t kProgramSettableId = 60005;
constexpr uint32_t kProgramTemplatesId = 60010;
uint32_t setProgramTemplate(const char* text);
