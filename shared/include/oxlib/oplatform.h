// The platform test: which family of Windows the library runs on.
//
// The registry layer and the event sink behave differently on the NT family;
// both ask here. Every call asks the system afresh; nothing is cached, so any
// thread may call at any time. On POSIX systems the platform id is one of our
// own, so isNTPlatform is false there.
#pragma once

#include <cstdint>

// Windows' platform ids.
constexpr uint32_t kPlatformWin32s = 0;
constexpr uint32_t kPlatformWin32Windows = 1;
constexpr uint32_t kPlatformWin32NT = 2;

// True when the system reports `platformId` and, unless `version` is exactly
// 0.0 (any version), a version equal to major + minor * 0.01. So with major 5
// and minor 1 only 5.01 matches, not 5.1.
bool isPlatformVersion(uint32_t platformId, double version);

// isPlatformVersion(kPlatformWin32NT, 0.0).
bool isNTPlatform();
