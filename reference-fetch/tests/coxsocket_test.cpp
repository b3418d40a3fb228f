// The socket layer on real loopback sockets, with its traces captured. The
// test program raises its own log level (see main) so the traces are written.
#include "coxsocket.h"

#include "logcapture.h"
#include "tempregistry.h"
#include "testserver.h"

#include "sys/osys.h"

#include <oxlib/olog.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

oxsys::SocketAddress address(const char* ip, uint16_t port) {
    oxsys::SocketAddress a{};
    a.family = oxsys::kAfInet;
    const sockaddr_in in = testsocket::loopback(port, ip);
    std::memcpy(a.data, &in.sin_port, 2);
    std::memcpy(a.data + 2, &in.sin_addr, 4);
    return a;
}

// A port that refuses connections: bound by a socket that does not listen.
struct RefusingPort {
    RefusingPort() {
        sockaddr_in local = testsocket::loopback();
        testsocket::bind(fd, &local);
        port = ntohs(local.sin_port);
    }
    ~RefusingPort() { testsocket::close(fd); }
    SocketLibrary library;
    TestSocket fd = testsocket::open();
    uint16_t port;
};

std::vector<std::string> traces(const LogCapture& capture) {
    std::vector<std::string> out;
    for (const CapturedEvent& e : capture.events()) {
        if (e.type == EVENTLOG_DEBUG_TYPE && e.id == kMsgDebugTrace && e.category == 1 &&
            e.strings.size() == 1)
            out.push_back(e.strings[0]);
    }
    return out;
}

// One WinSock start-up for the length of a test.
struct Started {
    Started() { EXPECT_TRUE(COXSocket::startup()); }
    ~Started() { COXSocket::cleanup(); }
};

// A connect that is to fail: a new socket to `peer`, the traces of its attempts captured and
// the call timed; the socket is closed after.
struct FailedConnect {
    double seconds;
    std::vector<std::string> traces;
};

FailedConnect failedConnect(const oxsys::SocketAddress& peer, int timeout, int retries) {
    const COXSocket::Socket s = COXSocket::create(oxsys::kAfInet, oxsys::kSockStream, 0);
    LogCapture capture;
    const auto start = Clock::now();
    EXPECT_FALSE(COXSocket::connectNonBlocking(s, &peer, sizeof peer, timeout, retries));
    FailedConnect out{secondsSince(start), traces(capture)};
    COXSocket::close(s);
    return out;
}

} // namespace

TEST(COXSocketStartup, StartupsAreCountedAndEachCleanupReleasesOne) {
    // Never started: the clean-up meets "not initialised" and ends.
    COXSocket::cleanup();
    EXPECT_EQ(COXSocket::create(oxsys::kAfInet, oxsys::kSockStream, 0), COXSocket::invalidSocket);
    EXPECT_EQ(COXSocket::lastError(), oxsys::kWsaNotInitialised);

    ASSERT_TRUE(COXSocket::startup());
    ASSERT_TRUE(COXSocket::startup());
    COXSocket::cleanup();
    const COXSocket::Socket s = COXSocket::create(oxsys::kAfInet, oxsys::kSockStream, 0);
    EXPECT_NE(s, COXSocket::invalidSocket);
    COXSocket::close(s);
    COXSocket::cleanup();
    EXPECT_EQ(COXSocket::create(oxsys::kAfInet, oxsys::kSockStream, 0), COXSocket::invalidSocket);
    EXPECT_STREQ(COXSocket::lastErrorText().c_str(), "WSA10093");
}

TEST(COXSocketConnect, RetryLimitTwoMakesThreeRefusedAttemptsWithAPauseEach) {
    Started started;
    RefusingPort refusing;
    const FailedConnect attempt = failedConnect(address("127.0.0.1", refusing.port), 5, 2);
    EXPECT_GE(attempt.seconds, 2.9);
    EXPECT_LT(attempt.seconds, 5.0);
    std::vector<std::string> expected;
    for (int retry = 0; retry < 3; ++retry)
        expected.push_back("COXSocket::connectNonBlocking() connection refused 'WSA10061' and "
                           "doing retry number " +
                           std::to_string(retry) + "\n");
    EXPECT_EQ(attempt.traces, expected);
}

TEST(COXSocketConnect, UnlimitedRetriesConnectOnceThePeerListens) {
    Started started;
    RefusingPort refusing;
    const auto peer = address("127.0.0.1", refusing.port);
    const COXSocket::Socket s = COXSocket::create(oxsys::kAfInet, oxsys::kSockStream, 0);
    LogCapture capture;
    // The peer starts listening once the first attempt has been refused (its trace
    // is the call's first event), so the call connects only by retrying.
    std::thread listenLater([&] {
        capture.waitForEvents(1, std::chrono::seconds(15));
        testsocket::listen(refusing.fd, 1);
    });
    EXPECT_TRUE(COXSocket::connectNonBlocking(s, &peer, sizeof peer, 5, -1));
    listenLater.join();
    const std::vector<std::string> seen = traces(capture);
    ASSERT_GE(seen.size(), 1u);
    EXPECT_EQ(seen[0], "COXSocket::connectNonBlocking() connection refused 'WSA10061' and "
                       "doing retry number 0\n");
    EXPECT_EQ(COXSocket::waitWritable(s, 1), 1);
    COXSocket::close(s);
}

TEST(COXSocketConnect, OtherErrorsFailAtOnceWithOneTrace) {
    Started started;
    // TCP never connects to the broadcast address: the route check refuses it
    // before anything is sent.
    const FailedConnect attempt = failedConnect(address("255.255.255.255", 9), 5, 3);
    EXPECT_LT(attempt.seconds, 0.5);
    EXPECT_EQ(attempt.traces,
              std::vector<std::string>{"COXSocket::connectNonBlocking failing: WSA10051\n"});
}

TEST(COXSocketConnect, NoAnswerWithinTheTimeoutCountsAsRefused) {
    Started started;
    FullListener full;
    ASSERT_TRUE(full.full());
    const FailedConnect attempt = failedConnect(address("127.0.0.1", full.port()), 2, 0);
    EXPECT_GE(attempt.seconds, 2.9); // the timeout, then the pause
    EXPECT_LT(attempt.seconds, 5.0);
    EXPECT_EQ(attempt.traces,
              std::vector<std::string>{"COXSocket::connectNonBlocking() connection refused "
                                       "'WSA10060' and doing retry number 0\n"});
}

TEST(COXSocketWait, WaitsReportReadinessTimeoutAndErrors) {
    Started started;
    TestServer server([](TestSocket connection) {
        char byte;
        if (TestServer::readExactly(connection, &byte, 1))
            TestServer::writeAll(connection, "pong");
        TestServer::waitForClose(connection, 5000);
    });
    const auto peer = address("127.0.0.1", server.port());
    const COXSocket::Socket s = COXSocket::create(oxsys::kAfInet, oxsys::kSockStream, 0);
    ASSERT_TRUE(COXSocket::connectNonBlocking(s, &peer, sizeof peer, 5, 0));

    EXPECT_EQ(COXSocket::waitReadable(s, 0), 0); // nothing sent yet: polls once
    EXPECT_EQ(COXSocket::waitWritable(s, 0), 1);
    ASSERT_EQ(COXSocket::write(s, "p", 1, 0), 1);
    EXPECT_EQ(COXSocket::waitReadable(s, 5), 1);
    char reply[8];
    EXPECT_EQ(COXSocket::read(s, reply, sizeof reply, 0), 4);
    EXPECT_EQ(COXSocket::shutdown(s, oxsys::kShutBoth), 0);
    EXPECT_EQ(COXSocket::close(s), 0);

    EXPECT_EQ(COXSocket::waitReadable(s, 0), -1); // no longer a socket
    EXPECT_STREQ(COXSocket::lastErrorText().c_str(), "WSA10038");
}

int main(int argc, char** argv) {
    // The level is read once, when the logger starts, and only when logging is
    // configured: a store of the test's own (on Windows the system registry,
    // which the tests hold the lock of) with the logging key, the level raised,
    // and the logger started before any test runs. The current folder (where
    // the logger's own reports go, in event.log) is the store's folder.
    TempRegistry store;
    oxsys::RegKey key = nullptr;
    if (oxsys::regCreateKey(reinterpret_cast<oxsys::RegKey>(uintptr_t(0x80000002u)),
                            "Software\\Corvane Software\\Corvane Logging", oxsys::kKeyWrite,
                            &key) != oxsys::kErrSuccess)
        return 2;
    oxsys::regCloseKey(key);
    const std::string variable = std::string(oxsys::hostProgramBaseName()) + "_logLevel";
    oxsys::setEnvironment(variable.c_str(), "256");
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(store.folder());
    logLevel();
    std::filesystem::current_path(previous);

    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
