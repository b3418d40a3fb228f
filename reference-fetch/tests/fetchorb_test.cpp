// The Fetchorb export, called through the shared library against real servers
// on loopback addresses.
#include <fetchorb.h>

#include "testserver.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <netdb.h>
#endif

#include <chrono>
#include <csignal>
#include <cstring>
#include <future>
#include <mutex>
#include <optional>
#include <random>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Caller buffers prefilled with a marker, so an untouched buffer shows.
struct Buffers {
    explicit Buffers(uint32_t firstCapacity = 64, uint32_t secondCapacity = 64)
        : first(firstCapacity, '#'), second(secondCapacity, '#'), firstSize(firstCapacity),
          secondSize(secondCapacity) {}
    std::string first, second;
    uint32_t firstSize, secondSize;

    std::string firstText() const { return first.substr(0, firstSize - 1); }
    std::string secondText() const { return second.substr(0, secondSize - 1); }
    bool firstUntouched(uint32_t capacity) const {
        return firstSize == capacity && first == std::string(capacity, '#');
    }
    bool secondUntouched(uint32_t capacity) const {
        return secondSize == capacity && second == std::string(capacity, '#');
    }
};

int32_t fetch(uint16_t port, Buffers& b, const char* host = "127.0.0.1",
              const char* name = "TavikClassFactory") {
    return Fetchorb(host, port, name, b.first.data(), &b.firstSize, b.second.data(), &b.secondSize);
}

// A server that reads the request and answers with `reply` as raw bytes.
TestServer::Handler replyWith(std::string reply) {
    return [reply](TestSocket connection) {
        std::string name;
        if (TestServer::readRequest(connection, &name))
            TestServer::writeAll(connection, reply);
    };
}

std::string reply(const std::string& first, const std::string& second) {
    return TestServer::framed(first) + TestServer::framed(second);
}

} // namespace

// --- The request ----------------------------------------------------------------

TEST(FetchorbRequest, DefaultsReachPort13000WithTheDefaultFactory) {
    std::mutex mutex;
    std::string request;
    TestServer server(
        [&](TestSocket connection) {
            char raw[4 + 17];
            if (!TestServer::readExactly(connection, raw, sizeof raw))
                return;
            std::lock_guard lock(mutex);
            request.assign(raw, sizeof raw);
            TestServer::writeAll(connection, reply("IOR:default", ""));
        },
        "127.0.0.1", 13000);
    if (!server.listening())
        GTEST_SKIP() << "port 13000 is in use on this machine";

    Buffers b;
    EXPECT_EQ(
        Fetchorb(nullptr, 0, nullptr, b.first.data(), &b.firstSize, b.second.data(), &b.secondSize),
        FETCHORB_OK);
    std::lock_guard lock(mutex);
    EXPECT_EQ(request, std::string("\0\0\0\x11TavikClassFactory", 21));
    EXPECT_EQ(b.firstText(), "IOR:default");
}

TEST(FetchorbRequest, NamesAreFramedAsGivenAndHostNamesAreLookedUp) {
    std::mutex mutex;
    std::vector<std::string> names;
    TestServer server([&](TestSocket connection) {
        std::string name;
        if (!TestServer::readRequest(connection, &name))
            return;
        {
            std::lock_guard lock(mutex);
            names.push_back(name);
        }
        TestServer::writeAll(connection, reply("IOR:" + name, "ok"));
    });
    ASSERT_TRUE(server.listening());

    Buffers empty;
    EXPECT_EQ(fetch(server.port(), empty, "127.0.0.1", ""), FETCHORB_OK);
    EXPECT_EQ(empty.firstText(), "IOR:");
    Buffers byName;
    EXPECT_EQ(fetch(server.port(), byName, "localhost",
                    "Other\x01"
                    "Factory"),
              FETCHORB_OK);
    EXPECT_EQ(byName.firstText(), "IOR:Other\x01"
                                  "Factory");
    EXPECT_EQ(byName.secondText(), "ok");
    std::lock_guard lock(mutex);
    EXPECT_EQ(names, (std::vector<std::string>{"", "Other\x01"
                                                   "Factory"}));
}

TEST(FetchorbRequest, MissingFirstBufferOrSizeFailsWithoutConnecting) {
    TestServer server(replyWith(reply("IOR:x", "")));
    ASSERT_TRUE(server.listening());
    char buffer[16];
    uint32_t size = sizeof buffer;
    EXPECT_EQ(Fetchorb("127.0.0.1", server.port(), nullptr, nullptr, &size, nullptr, nullptr),
              FETCHORB_FAILED);
    EXPECT_EQ(Fetchorb("127.0.0.1", server.port(), nullptr, buffer, nullptr, nullptr, nullptr),
              FETCHORB_FAILED);
    EXPECT_EQ(server.acceptedBeforeProbe(), 0);
    EXPECT_EQ(DllEntryPoint(nullptr, 1, nullptr), 1);
}

// --- Buffers and sizes ---------------------------------------------------------

TEST(FetchorbReply, ZeroLengthsGiveLoneTerminators) {
    TestServer server(replyWith(reply("", "")));
    Buffers b;
    ASSERT_EQ(fetch(server.port(), b), FETCHORB_OK);
    EXPECT_EQ(b.firstSize, 1u);
    EXPECT_EQ(b.first[0], '\0');
    EXPECT_EQ(b.secondSize, 1u);
    EXPECT_EQ(b.second[0], '\0');
}

TEST(FetchorbReply, ExactFitIsAcceptedOneByteLessIsTooSmall) {
    // Bytes pass through unchanged, zero bytes included.
    const std::string ior("IOR:\0\x01\xff", 7);
    TestServer server(replyWith(reply(ior, "second")));

    Buffers exact(8, 7);
    ASSERT_EQ(fetch(server.port(), exact), FETCHORB_OK);
    EXPECT_EQ(exact.firstSize, 8u);
    EXPECT_EQ(exact.first, ior + '\0');
    EXPECT_EQ(exact.secondSize, 7u);
    EXPECT_EQ(exact.second, std::string("second") + '\0');

    Buffers shortFirst(7, 7);
    ASSERT_EQ(fetch(server.port(), shortFirst), FETCHORB_BUFFER_TOO_SMALL);
    EXPECT_TRUE(shortFirst.firstUntouched(7));
    // Both strings were still read: the second, which fits, was copied.
    EXPECT_EQ(shortFirst.secondSize, 7u);
    EXPECT_EQ(shortFirst.secondText(), "second");

    Buffers shortSecond(8, 6);
    ASSERT_EQ(fetch(server.port(), shortSecond), FETCHORB_BUFFER_TOO_SMALL);
    EXPECT_EQ(shortSecond.first, ior + '\0');
    EXPECT_TRUE(shortSecond.secondUntouched(6));
}

TEST(FetchorbReply, NullSecondBufferOrSizeDiscardsTheSecondString) {
    TestServer server(replyWith(reply("IOR:first", "a second string far too long to matter")));
    Buffers b(16, 4);
    EXPECT_EQ(Fetchorb("127.0.0.1", server.port(), nullptr, b.first.data(), &b.firstSize, nullptr,
                       &b.secondSize),
              FETCHORB_OK);
    EXPECT_EQ(b.firstText(), "IOR:first");
    EXPECT_EQ(b.secondSize, 4u);

    Buffers c(16, 4);
    EXPECT_EQ(Fetchorb("127.0.0.1", server.port(), nullptr, c.first.data(), &c.firstSize,
                       c.second.data(), nullptr),
              FETCHORB_OK);
    EXPECT_EQ(c.firstText(), "IOR:first");
    EXPECT_TRUE(c.secondUntouched(4));
}

TEST(FetchorbReply, ReplyDribbledOneByteAtATimeIsReassembled) {
    const std::string bytes = reply("IOR:000102030405", "dribbled");
    TestServer server([&](TestSocket connection) {
        std::string name;
        if (!TestServer::readRequest(connection, &name))
            return;
        testsocket::setNoDelay(connection);
        for (char byte : bytes) {
            if (!TestServer::writeAll(connection, std::string(1, byte)))
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    Buffers b;
    ASSERT_EQ(fetch(server.port(), b), FETCHORB_OK);
    EXPECT_EQ(b.firstText(), "IOR:000102030405");
    EXPECT_EQ(b.secondText(), "dribbled");
}

TEST(FetchorbReply, LengthsAboveTheCapFailBeforeAnyAllocation) {
    const uint32_t cap = FETCHORB_MAX_REPLY_LENGTH;
    for (const uint32_t announced : {cap + 1, 0xFFFFFFFFu}) {
        // A short body follows and the connection stays open: a client that
        // believed the length would sit in its reply wait.
        TestServer server([announced](TestSocket connection) {
            std::string name;
            if (TestServer::readRequest(connection, &name) &&
                TestServer::writeAll(connection, TestServer::lengthField(announced) + "IOR:"))
                TestServer::waitForClose(connection);
        });
        Buffers b;
        const auto start = Clock::now();
        EXPECT_EQ(fetch(server.port(), b), FETCHORB_FAILED) << announced;
        EXPECT_LT(secondsSince(start), 5.0);
        EXPECT_TRUE(b.firstUntouched(64));
    }

    // A first string that was copied stays copied when the second is refused.
    TestServer second(replyWith(TestServer::framed("IOR:kept") + TestServer::lengthField(cap + 1)));
    Buffers b;
    EXPECT_EQ(fetch(second.port(), b), FETCHORB_FAILED);
    EXPECT_EQ(b.firstText(), "IOR:kept");
    EXPECT_TRUE(b.secondUntouched(64));
}

TEST(FetchorbReply, LengthAtTheCapIsAccepted) {
    const std::string big(FETCHORB_MAX_REPLY_LENGTH, 'r');
    TestServer server(replyWith(reply(big, "end")));
    Buffers b(FETCHORB_MAX_REPLY_LENGTH + 1, 8);
    ASSERT_EQ(fetch(server.port(), b), FETCHORB_OK);
    EXPECT_EQ(b.firstSize, FETCHORB_MAX_REPLY_LENGTH + 1);
    EXPECT_TRUE(b.first.compare(0, big.size(), big) == 0);
    EXPECT_EQ(b.secondText(), "end");
}

namespace {

// What a reply of raw bytes must produce, by the framing alone: the result and
// the strings that fit their buffers (nullopt: the buffer stays untouched).
struct Expected {
    int32_t result;
    std::optional<std::string> first, second;
};

Expected expectedFor(const std::string& bytes, uint32_t firstCapacity, uint32_t secondCapacity) {
    size_t pos = 0;
    auto take = [&](std::string* text) {
        if (bytes.size() - pos < 4)
            return false;
        uint32_t length;
        std::memcpy(&length, bytes.data() + pos, 4);
        length = ntohl(length);
        pos += 4;
        if (length > FETCHORB_MAX_REPLY_LENGTH || bytes.size() - pos < length)
            return false;
        *text = bytes.substr(pos, length);
        pos += length;
        return true;
    };
    Expected e{FETCHORB_FAILED, std::nullopt, std::nullopt};
    std::string first, second;
    if (!take(&first))
        return e;
    const bool firstFits = first.size() + 1 <= firstCapacity;
    if (firstFits)
        e.first = first;
    if (!take(&second))
        return e;
    const bool secondFits = second.size() + 1 <= secondCapacity;
    if (secondFits)
        e.second = second;
    e.result = firstFits && secondFits ? FETCHORB_OK : FETCHORB_BUFFER_TOO_SMALL;
    return e;
}

} // namespace

TEST(FetchorbReply, RandomGarbageGivesExactlyWhatTheFramingSays) {
    std::mt19937 random(20240613);
    auto randomBytes = [&](size_t n) {
        std::string s(n, '\0');
        for (char& c : s)
            c = static_cast<char>(random() & 0xFF);
        return s;
    };
    for (int round = 0; round < 60; ++round) {
        std::string bytes;
        switch (round % 3) {
        case 0: // noise
            bytes = randomBytes(random() % 40);
            break;
        case 1: // a well-formed reply cut short somewhere
            bytes = reply(randomBytes(random() % 30), randomBytes(random() % 30));
            bytes.resize(random() % (bytes.size() + 1));
            break;
        default: // well formed, with noise after it
            bytes = reply(randomBytes(random() % 30), randomBytes(random() % 30)) +
                    randomBytes(random() % 10);
            break;
        }
        TestServer server(replyWith(bytes));
        Buffers b(20, 20);
        const Expected e = expectedFor(bytes, 20, 20);
        ASSERT_EQ(fetch(server.port(), b), e.result) << "round " << round;
        if (e.first)
            EXPECT_EQ(b.firstText(), *e.first) << "round " << round;
        else
            EXPECT_TRUE(b.firstUntouched(20)) << "round " << round;
        if (e.second)
            EXPECT_EQ(b.secondText(), *e.second) << "round " << round;
        else
            EXPECT_TRUE(b.secondUntouched(20)) << "round " << round;
    }
}

// --- Failures ------------------------------------------------------------------

TEST(FetchorbFailure, ServerClosingWithoutAReplyFailsAtOnce) {
    TestServer server([](TestSocket connection) {
        std::string name;
        TestServer::readRequest(connection, &name);
    });
    Buffers b;
    const auto start = Clock::now();
    EXPECT_EQ(fetch(server.port(), b), FETCHORB_FAILED);
    EXPECT_LT(secondsSince(start), 2.0);
    EXPECT_TRUE(b.firstUntouched(64));
}

TEST(FetchorbFailure, NothingListeningFailsAfterOnePause) {
    // A bound socket that never listens holds the port, so the refusal is sure.
    SocketLibrary library;
    const TestSocket holder = testsocket::open();
    sockaddr_in local = testsocket::loopback();
    ASSERT_TRUE(testsocket::bind(holder, &local));

    Buffers b;
    const auto start = Clock::now();
    EXPECT_EQ(fetch(ntohs(local.sin_port), b), FETCHORB_FAILED);
    const double elapsed = secondsSince(start);
    EXPECT_GE(elapsed, 0.9);
    EXPECT_LT(elapsed, 3.0);
    testsocket::close(holder);
}

TEST(FetchorbFailure, UnresolvableHostsFailWithoutConnecting) {
    // How long a failed look-up takes is the resolver's matter, not checked here.
    SocketLibrary library;
    Buffers b;
    EXPECT_EQ(fetch(9, b, "no-such-host.invalid"), FETCHORB_FAILED);
    EXPECT_TRUE(b.firstUntouched(64));

    // 127.0.0.2 is a working loopback address here, but has no reverse entry.
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    ::inet_pton(AF_INET, "127.0.0.2", &peer.sin_addr);
    char host[NI_MAXHOST];
    if (::getnameinfo(reinterpret_cast<sockaddr*>(&peer), sizeof peer, host, sizeof host, nullptr,
                      0, NI_NAMEREQD) == 0)
        GTEST_SKIP() << "127.0.0.2 has a reverse entry (" << host << ") on this machine";
    TestServer server(replyWith(reply("IOR:unreached", "")), "127.0.0.2");
    ASSERT_TRUE(server.listening());
    Buffers c;
    EXPECT_EQ(fetch(server.port(), c, "127.0.0.2"), FETCHORB_FAILED);
    EXPECT_EQ(server.acceptedBeforeProbe(), 0);
}

TEST(FetchorbFailure, PeerResetWhileSendingFailsWithoutSigpipe) {
#if !defined(_WIN32)
    // The default action of SIGPIPE ends the process: the test then dies.
    const auto previous = std::signal(SIGPIPE, SIG_DFL);
#endif
    TestServer server([](TestSocket connection) {
        char field[4];
        TestServer::readExactly(connection, field, sizeof field);
        // A FIN first, then the reset: a sender in CLOSE_WAIT that meets a reset
        // gets EPIPE, the error that comes with SIGPIPE. Loopback hands the two to
        // the caller's side in the order sent, so the FIN has moved it to CLOSE_WAIT
        // by the time the reset arrives.
        testsocket::shutdownSending(connection);
        testsocket::resetOnClose(connection);
    });
    const std::string hugeName(32u * 1024u * 1024u, 'n');
    Buffers b;
    EXPECT_EQ(fetch(server.port(), b, "127.0.0.1", hugeName.c_str()), FETCHORB_FAILED);
#if !defined(_WIN32)
    std::signal(SIGPIPE, previous);
#endif
}

// --- Slow cases: the ten-second reply waits ------------------------------------

namespace {

// A fetch from `port` that must fail because the reply wait ran out, and not sooner.
void expectReplyWaitRunsOut(uint16_t port, Buffers& b) {
    const auto start = Clock::now();
    EXPECT_EQ(fetch(port, b), FETCHORB_FAILED);
    const double elapsed = secondsSince(start);
    EXPECT_GE(elapsed, 9.5);
    EXPECT_LT(elapsed, 15.0);
}

} // namespace

TEST(FetchorbSlow, SilentServerFailsAfterTheReplyWait) {
    TestServer server([](TestSocket connection) {
        std::string name;
        TestServer::readRequest(connection, &name);
        TestServer::waitForClose(connection);
    });
    Buffers b;
    expectReplyWaitRunsOut(server.port(), b);
}

TEST(FetchorbSlow, ServerStallingMidBodyFailsAfterTheReplyWait) {
    TestServer server([](TestSocket connection) {
        std::string name;
        if (TestServer::readRequest(connection, &name) &&
            TestServer::writeAll(connection, TestServer::lengthField(100) + "only ten.."))
            TestServer::waitForClose(connection);
    });
    Buffers b;
    expectReplyWaitRunsOut(server.port(), b);
    EXPECT_TRUE(b.firstUntouched(64));
}

// --- Servers that stop taking: the connect and send bounds ----------------------

TEST(FetchorbSlow, ServerThatNeverReadsFailsAfterTheSendWait) {
    std::promise<void> callOver;
    const std::shared_future<void> over = callOver.get_future().share();
    TestServer server([over](TestSocket) {
        // Holds the connection without reading, until the call is over.
        over.wait_for(std::chrono::seconds(30));
    });
    // Far more than the two ends' socket buffers hold.
    const std::string hugeName(64u * 1024u * 1024u, 'n');
    Buffers b;
    const auto start = Clock::now();
    EXPECT_EQ(fetch(server.port(), b, "127.0.0.1", hugeName.c_str()), FETCHORB_FAILED);
    const double elapsed = secondsSince(start);
    callOver.set_value();
    EXPECT_GE(elapsed, 9.5);
    EXPECT_LT(elapsed, 15.0);
    EXPECT_TRUE(b.firstUntouched(64));
}

TEST(FetchorbSlow, ListenerThatNeverAcceptsFailsAfterTheConnectTimeout) {
    // Queue full: the call's SYN is dropped and never answered.
    FullListener full;
    ASSERT_TRUE(full.full());

    Buffers b;
    const auto start = Clock::now();
    EXPECT_EQ(fetch(full.port(), b), FETCHORB_FAILED);
    const double elapsed = secondsSince(start);
    EXPECT_GE(elapsed, 5.5); // five seconds without an answer, then the pause
    EXPECT_LT(elapsed, 9.0);
}
