// With the logger started and no library bound, logEvent copies nothing and
// allocates nothing; logLevel answers from one load.
#include <oxlib/olog.h>
#include <oxlib/ologimp.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<bool> g_counting{false};
std::atomic<int> g_allocations{0};

} // namespace

// Counting replacements for the whole test program; new and delete both go to
// malloc and free, which the compiler can't see through the replacement.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    if (g_counting.load(std::memory_order_relaxed))
        g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
#pragma GCC diagnostic pop

namespace {

TEST(LogEventIdle, NoLibraryBoundMeansNoAllocation) {
    ASSERT_EQ(logLevel(), kDefaultLogLevel); // starts the logger: the store has no logging key
    ASSERT_TRUE(theLogger.isIdle());
    g_allocations = 0;
    g_counting = true;
    for (int i = 0; i < 100; ++i) {
        logEvent(EVENTLOG_INFORMATION_TYPE, 3, 34402, "some text", "more text", "a third");
        logLevel();
    }
    g_counting = false;
    EXPECT_EQ(g_allocations.load(), 0);
}

} // namespace
