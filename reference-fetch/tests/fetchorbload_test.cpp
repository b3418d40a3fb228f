// Fetchorb under load and with many descriptors open, against the reference
// server running in this process.
#include <fetchorb.h>

#include "creferenceserver.h"
#include "testserver.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::string kReference = "IOR:010000002600000049444c3a546176696b2f466163746f72793a312e30";

CReferenceServer::Options serverOptions(int workers) {
    CReferenceServer::Options options;
    options.port = 0;
    options.workers = workers;
    options.references = {{"TavikClassFactory", kReference}};
    options.second = "reference-server";
    return options;
}

bool fetchOnce(uint16_t port) {
    char first[128], second[64];
    uint32_t firstSize = sizeof first, secondSize = sizeof second;
    return Fetchorb("127.0.0.1", port, nullptr, first, &firstSize, second, &secondSize) ==
               FETCHORB_OK &&
           std::string(first, firstSize - 1) == kReference &&
           std::string(second, secondSize - 1) == "reference-server";
}

} // namespace

TEST(FetchorbLoad, SixteenThreadsFetchConcurrentlyWithoutLeakingDescriptors) {
    CReferenceServer server(serverOptions(8));
    std::string error;
    ASSERT_TRUE(server.start(&error)) << error;
    const int before = openDescriptorCount();

    constexpr int kThreads = 16;
    constexpr int kFetches = 200;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kFetches; ++i) {
                if (!fetchOnce(server.port()))
                    ++failures;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(openDescriptorCount(), before);
}

TEST(FetchorbLoad, SocketsNumberedAboveFdSetSizeStillWork) {
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
    constexpr rlim_t kWanted = 1200;
    if (limit.rlim_cur < kWanted) {
        if (limit.rlim_max < kWanted)
            GTEST_SKIP() << "the descriptor limit is below " << kWanted;
        rlimit raised = limit;
        raised.rlim_cur = kWanted;
        ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &raised), 0);
    }

    CReferenceServer server(serverOptions(1));
    std::string error;
    ASSERT_TRUE(server.start(&error)) << error;
    // Fill every low number, so the fetch's socket lands above 1024.
    std::vector<int> fillers;
    for (;;) {
        const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            break;
        fillers.push_back(fd);
        if (fd >= 1100)
            break;
    }
    ASSERT_GE(fillers.back(), 1100);

    EXPECT_TRUE(fetchOnce(server.port()));

    for (int fd : fillers)
        ::close(fd);
    if (limit.rlim_cur < kWanted)
        ::setrlimit(RLIMIT_NOFILE, &limit);
}
