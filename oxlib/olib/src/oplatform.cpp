// The platform test.
#include <oxlib/oplatform.h>

#include "sys/osys.h"

bool isPlatformVersion(uint32_t platformId, double version) {
    oxsys::VersionInfo info;
    // A failed call leaves `info` zeroed: platform id 0 and version 0.0.
    oxsys::getVersion(info);
    if (info.platformId != platformId)
        return false;
    if (version == 0.0)
        return true;
    // Stored as a double before the comparison: on 32-bit x86 the sum may stay in
    // an 80-bit register, and 6 + 1 * 0.01 there is not the double 6.01.
    const volatile double reported =
        static_cast<double>(info.major) + static_cast<double>(info.minor) * 0.01;
    return reported == version;
}

bool isNTPlatform() {
    return isPlatformVersion(kPlatformWin32NT, 0.0);
}
