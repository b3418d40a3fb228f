// Readiness waits under signals: a wait that a signal interrupts goes on to the
// first one's deadline, so a steady signal (a profiler's timer) cannot keep the
// caller waiting beyond its timeout.
#include "coxsocket.h"

#include "testserver.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <ctime>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>

namespace {

std::atomic<int> g_signals{0};
timer_t g_timer;
constexpr int kSignalBudget = 25; // 5 s of signals at most, so a faulty wait still ends

void countSignal(int) {
    if (++g_signals >= kSignalBudget) {
        const itimerspec off{};
        timer_settime(g_timer, 0, &off, nullptr);
    }
}

// A timer that sends SIGUSR2 to the calling thread every 200 ms, with a handler
// installed without SA_RESTART, as a profiler's would be.
class ThreadTimer {
public:
    ThreadTimer() {
        struct sigaction action {};
        action.sa_handler = &countSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGUSR2, &action, &previous_);
        sigevent event{};
        event.sigev_notify = SIGEV_THREAD_ID;
        event.sigev_signo = SIGUSR2;
        event._sigev_un._tid = gettid(); // sigev_notify_thread_id
        g_signals = 0;
        created_ = timer_create(CLOCK_MONOTONIC, &event, &g_timer) == 0;
        const itimerspec every{{0, 200000000}, {0, 200000000}};
        if (created_)
            timer_settime(g_timer, 0, &every, nullptr);
    }
    ~ThreadTimer() {
        if (created_)
            timer_delete(g_timer);
        sigaction(SIGUSR2, &previous_, nullptr);
    }
    bool created() const { return created_; }

private:
    struct sigaction previous_ {};
    bool created_ = false;
};

} // namespace

TEST(COXSocketWaitUnderSignals, TimeoutIsADeadlineThatSignalsCannotMove) {
    ASSERT_TRUE(COXSocket::startup());
    TestServer server([](int connection) { TestServer::waitForClose(connection, 15000); });
    oxsys::SocketAddress peer{};
    peer.family = oxsys::kAfInet;
    const uint16_t wirePort = htons(server.port());
    const uint32_t wireIp = inet_addr("127.0.0.1");
    std::memcpy(peer.data, &wirePort, 2);
    std::memcpy(peer.data + 2, &wireIp, 4);
    const COXSocket::Socket s = COXSocket::create(oxsys::kAfInet, oxsys::kSockStream, 0);
    ASSERT_TRUE(COXSocket::connectNonBlocking(s, &peer, sizeof peer, 5, 0));

    ThreadTimer timer;
    ASSERT_TRUE(timer.created());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(COXSocket::waitReadable(s, 1), 0); // the server sends nothing
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(g_signals.load(), 3); // the wait was interrupted, more than once
    // One second of timeout; a wait that starts afresh after each signal ends
    // only when the signals stop, after five.
    EXPECT_LT(seconds, 3.0) << g_signals.load() << " signals";
    COXSocket::close(s);
    COXSocket::cleanup();
}
