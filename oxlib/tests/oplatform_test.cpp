// The platform test on a POSIX system: never the NT family, and the version
// compared in hundredths of the minor number.
#include <oxlib/oplatform.h>

#include "sys/osys.h"

#include <gtest/gtest.h>

namespace {

#if defined(_WIN32)
// Windows NT and Wine, which reports an NT version.
TEST(Platform, WindowsIsTheNtFamilyAndVersionCountsMinorInHundredths) {
    EXPECT_TRUE(isNTPlatform());
    EXPECT_FALSE(isPlatformVersion(kPlatformWin32Windows, 0.0));
    oxsys::VersionInfo info;
    ASSERT_TRUE(oxsys::getVersion(info));
    EXPECT_EQ(info.platformId, kPlatformWin32NT);
    EXPECT_TRUE(isPlatformVersion(kPlatformWin32NT, info.major + info.minor * 0.01));
    EXPECT_TRUE(isPlatformVersion(kPlatformWin32NT, 0.0));
    EXPECT_FALSE(isPlatformVersion(kPlatformWin32NT, info.major + 1.0));
}
#else
TEST(Platform, PosixIsNoWindowsFamilyAndVersionCountsMinorInHundredths) {
    EXPECT_FALSE(isNTPlatform());
    EXPECT_FALSE(isPlatformVersion(kPlatformWin32Windows, 0.0));

    oxsys::VersionInfo info;
    ASSERT_TRUE(oxsys::getVersion(info));
    EXPECT_TRUE(isPlatformVersion(oxsys::kPlatformPosix, 0.0));
    EXPECT_TRUE(isPlatformVersion(oxsys::kPlatformPosix, info.major + info.minor * 0.01));
    if (info.minor != 10) { // 6.1 is not 6.01; only minor 10 would make them equal
        EXPECT_FALSE(isPlatformVersion(oxsys::kPlatformPosix, info.major + info.minor * 0.1));
    }
    // Another platform id fails even for "any version".
    EXPECT_FALSE(isPlatformVersion(kPlatformWin32NT, 0.0));
}

#endif

} // namespace
