// The look-up of loadResourceString into the caller's buffer, for the message
// formatting, which needs a template only while it fills it.
#pragma once

#include <cstdint>

constexpr int32_t kResourceTextSize = 257; // at most 256 characters of an entry

// Copies entry `id` of the message library (else of the main program) into
// `buffer`, which holds kResourceTextSize bytes; returns its length, 0 when
// neither module has the id.
int32_t loadResourceText(uint32_t id, char* buffer);
