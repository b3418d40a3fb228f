// The system layer: the only place where the library touches the platform.
//
// Portable code calls these functions; sys_posix.cpp implements them on Linux
// with the stand-ins our design names, sys_win32.cpp as thin calls of the Windows
// API. Each section belongs to one area of the library; add to your own section.
#pragma once

#include <cstdint>

namespace oxsys {

// --- Multibyte text -------------------------------------------------------
// Windows: IsDBCSLeadByte / CharNextA / _mbslen / _mbsstr / WideCharToMultiByte
// with CP_ACP. Linux: the single-byte model (every byte is one character) and
// UTF-8 as the "ANSI" code page of wide conversions.

bool isDBCSLeadByte(unsigned char byte);
// The next character after `p`; `p` itself when it stands on the terminator.
const char* charNext(const char* p);
// Characters in a zero-terminated text, a double-byte character counting once.
int32_t mbsLen(const char* text);
// First occurrence of `needle` at a character boundary of `haystack`, or null.
const char* mbsStr(const char* haystack, const char* needle);
// Converts `nUnits` UTF-16 units (terminator included when the caller counts it)
// into the user's default code page. With `out` null returns the bytes needed;
// otherwise writes whole characters while they fit in `outSize` and returns the
// bytes written.
int32_t wideToNarrow(const char16_t* text, int32_t nUnits, char* out, int32_t outSize);

// --- Process ----------------------------------------------------------------
// The host program's file name without folder and extension ("quillmark").
const char* hostProgramBaseName();

} // namespace oxsys
