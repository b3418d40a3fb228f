// Fetchorb under load and with many descriptors open, against the reference
// server running in this process (on Windows, where that server does not
// build, a test server giving the same answer).
#include <fetchorb.h>

#include "testserver.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include "creferenceserver.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::string kReference = "IOR:010000002600000049444c3a546176696b2f466163746f72793a312e30";

#if !defined(_WIN32)
CReferenceServer::Options serverOptions(int workers) {
    CReferenceServer::Options options;
    options.port = 0;
    options.workers = workers;
    options.references = {{"TavikClassFactory", kReference}};
    options.second = "reference-server";
    return options;
}
#endif

bool fetchOnce(uint16_t port) {
    char first[128], second[64];
    uint32_t firstSize = sizeof first, secondSize = sizeof second;
    return Fetchorb("127.0.0.1", port, nullptr, first, &firstSize, second, &secondSize) ==
               FETCHORB_OK &&
           std::string(first, firstSize - 1) == kReference &&
           std::string(second, secondSize - 1) == "reference-server";
}

} // namespace

namespace {

// Sixteen threads fetching `fetches` times each; the number that failed.
int fetchConcurrently(uint16_t port, int fetches) {
    constexpr int kThreads = 16;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < fetches; ++i) {
                if (!fetchOnce(port))
                    ++failures;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    return failures.load();
}

} // namespace

#if defined(_WIN32)
TEST(FetchorbLoad, SixteenThreadsFetchConcurrentlyWithoutLeakingDescriptors) {
    const TestServer::Handler answer = [](TestSocket connection) {
        std::string name;
        if (TestServer::readRequest(connection, &name) && name == "TavikClassFactory")
            TestServer::writeAll(connection, TestServer::framed(kReference) +
                                                 TestServer::framed("reference-server"));
    };
    {
        // The library's first call starts its logger, which keeps handles open.
        TestServer first(answer);
        ASSERT_TRUE(fetchOnce(first.port()));
    }
    // The server's handler threads keep their handles until it stops, so the
    // handles are counted with no server running.
    const int before = openDescriptorCount();
    {
        TestServer server(answer);
        ASSERT_TRUE(server.listening());
        // Fewer rounds than on Linux: each connection costs a thread here.
        EXPECT_EQ(fetchConcurrently(server.port(), 40), 0);
    }
    EXPECT_EQ(openDescriptorCount(), before);
}
#else
TEST(FetchorbLoad, SixteenThreadsFetchConcurrentlyWithoutLeakingDescriptors) {
    CReferenceServer server(serverOptions(8));
    std::string error;
    ASSERT_TRUE(server.start(&error)) << error;
    const int before = openDescriptorCount();
    EXPECT_EQ(fetchConcurrently(server.port(), 200), 0);
    EXPECT_EQ(openDescriptorCount(), before);
}
#endif

TEST(FetchorbLoad, SocketsNumberedAboveFdSetSizeStillWork) {
#if defined(_WIN32)
    GTEST_SKIP() << "Windows' fd_set holds sockets by count, not by number: no socket is "
                    "numbered out of its reach";
#else
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
#endif
}
