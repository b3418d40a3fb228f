// Value types and data as oxreg reads them from the command line and shows them:
// the type names of reg.exe, /d texts turned into stored bytes, and stored bytes
// turned back into the text a query prints.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

// The type for a name such as "REG_DWORD" (any case); false when unknown.
bool parseTypeName(const std::string& name, uint32_t& type);
// "REG_DWORD" for 4; a number for types without a name.
std::string typeName(uint32_t type);

// The bytes to store for `text` of `type`: REG_SZ / REG_EXPAND_SZ with their
// terminating zero, REG_MULTI_SZ split at `separator` ("\0" by default) and
// closed by an empty string, REG_DWORD / REG_QWORD from decimal or 0x hex,
// REG_BINARY / REG_NONE from hex digits. False, with `problem` set, on bad data.
bool encodeData(uint32_t type, const std::string& text, const std::string& separator, Bytes& out,
                std::string& problem);

// What a query prints for stored bytes: text, 0x hex numbers, hex digits for
// binary data, the strings of a REG_MULTI_SZ joined by "\0".
std::string formatData(uint32_t type, const Bytes& data);
