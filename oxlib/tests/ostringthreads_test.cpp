// Strings on many threads sharing buffers: copying, assigning, appending and
// destroying at once must neither lose nor double-free a buffer (run under tsan).
#include <oxlib/ostring.h>
#include <oxlib/oxarray.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

TEST(OStringThreads, SharedBuffersSurviveConcurrentUse) {
    const OString seed("a text that every thread shares");
    const OString other("another shared text");
    constexpr int kThreads = 8;
    constexpr int kRounds = 20000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            OString mine(seed);
            OXArray<OString> list;
            for (int i = 0; i < kRounds; ++i) {
                OString copy(seed);
                OString second = copy;
                second = (i & 1) ? other : seed;
                list.add(second);
                if (list.getSize() > 16)
                    list.setSize(0);
                if (i % 64 == t) {
                    copy.append("!"); // unshares this copy only
                    ASSERT_EQ(copy.getNativeCharsUsed(), seed.getNativeCharsUsed() + 1);
                }
                mine = copy;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(seed.bufferRecord()->refCount, 1);
    EXPECT_EQ(other.bufferRecord()->refCount, 1);
    EXPECT_STREQ(seed.c_str(), "a text that every thread shares");
}

} // namespace
