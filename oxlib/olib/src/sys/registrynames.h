// Key and value names of the POSIX registry store: how they compare, how a key
// path splits into names, and Windows' limits on both.
//
// Names are UTF-8 (the process's multibyte code page on POSIX). They keep their
// case but compare in a folded form, Unicode upper case, so "ärger" and "ÄRGER"
// are one name; bytes that are not valid UTF-8 are kept as they are. Lengths
// count characters, not bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace oxsys::registry {

constexpr size_t kMaxKeyNameChars = 255;
constexpr size_t kMaxValueNameChars = 16383;
constexpr size_t kMaxDepth = 512;

size_t charCount(std::string_view text);

// The form names are compared in.
std::string foldName(std::string_view name);

// Splits a key path into its names. One trailing backslash is accepted (Windows
// NT accepts it too); a leading one, an empty name in between or a name over
// 255 characters is not: then the result is a registry error code and
// `problem` says why. Empty or null `subKey`: no names.
int32_t splitKeyPath(const char* subKey, std::vector<std::string_view>& parts,
                     std::string& problem);

// Levels below the root of a folded full path ("HKLM\A\B" is 2 deep).
size_t depthOf(const std::string& path);

} // namespace oxsys::registry
