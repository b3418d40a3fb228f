// Strings on many threads sharing buffers: copying, assigning, appending and
// destroying at once must neither lose nor double-free a buffer (run under tsan).
#include <oxlib/ostring.h>
#include <oxlib/oxarray.h>

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <string>
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

// A string assigned a tail of its own text while the copy that shares its buffer
// is destroyed on another thread: whichever release frees the old buffer, the
// text must already be copied. The other thread then allocates a block of the
// same size and fills it, so a copy from freed memory shows even without asan.
TEST(OStringThreads, AssigningOwnTailWhileTheCopyIsDestroyed) {
    const std::string text = "a text whose tail the string takes for itself";
    const std::string filler(text.size(), '#');
    constexpr int kRounds = 20000;
    std::atomic<int> turn{0}; // odd: the other thread's turn to destroy the copy
    std::optional<OString> copy;
    std::thread other([&] {
        std::optional<OString> reuse;
        for (int i = 0; i < kRounds; ++i) {
            // Yielding while waiting: on a busy machine (or under Wine) a pure spin
            // can hold the core the main thread needs for its turn.
            while (turn.load(std::memory_order_acquire) != 2 * i + 1)
                std::this_thread::yield();
            copy.reset();
            reuse.emplace(filler.c_str());
            turn.store(2 * i + 2, std::memory_order_release);
        }
    });
    int wrong = 0;
    for (int i = 0; i < kRounds; ++i) {
        OString s(text.c_str());
        copy.emplace(s);
        turn.store(2 * i + 1, std::memory_order_release);
        s.assign(s.c_str() + 2);
        if (!(s == text.c_str() + 2))
            ++wrong;
        while (turn.load(std::memory_order_acquire) != 2 * i + 2)
            std::this_thread::yield();
    }
    other.join();
    EXPECT_EQ(wrong, 0);
}

} // namespace
