#include "coxsocket.h"

#include <oxlib/olog.h>

#include <algorithm>
#include <chrono>

namespace {

constexpr uint16_t kWinsockVersion = 0x0002;
constexpr uint32_t kRefusedPauseMs = 1000;
// A clean-up that keeps failing for another reason (a network subsystem that
// has gone away) would otherwise spin for ever inside the caller's fetch.
constexpr int kCleanupAttempts = 64;

bool tracing() {
    return logLevel() > 255;
}

} // namespace

bool COXSocket::startup() {
    if (oxsys::wsaStartup(kWinsockVersion) == 0)
        return true;
    if (tracing())
        logTrace("Couldn't initialize winsocks");
    return false;
}

void COXSocket::cleanup() {
    for (int attempt = 0; attempt < kCleanupAttempts; ++attempt) {
        if (oxsys::wsaCleanup() != socketError)
            return;
        const int32_t error = oxsys::wsaLastError();
        if (error == oxsys::kWsaEinprogress)
            oxsys::wsaCancelBlockingCall();
        else if (error == oxsys::kWsaNotInitialised)
            return;
    }
}

COXSocket::Socket COXSocket::create(int32_t family, int32_t type, int32_t protocol) {
    return oxsys::socketCreate(family, type, protocol);
}

bool COXSocket::connectNonBlocking(Socket socket, const oxsys::SocketAddress* address,
                                   int32_t length, int16_t timeout, int16_t retryLimit) {
    int32_t refused = 0;
    if (timeout >= 0)
        setSendTimeout(socket, timeout);
    for (;;) {
        bool connected = oxsys::socketConnect(socket, address, length) != socketError;
        if (!connected) {
            const int32_t error = lastError();
            bool refusedAttempt = false;
            if (error == oxsys::kWsaEwouldblock || error == oxsys::kWsaEinprogress) {
                connected = waitWritable(socket, timeout) == 1;
                refusedAttempt = !connected;
            } else if (error == oxsys::kWsaEintr || error == oxsys::kWsaEconnrefused ||
                       error == oxsys::kWsaEtimedout) {
                // A connect with no answer in time (a listener whose queue is
                // full drops it) counts as refused.
                refusedAttempt = true;
            } else {
                // Read before the level: on Windows the thread's last error is
                // GetLastError's, which the logger's own system calls may reset.
                const OString reason = lastErrorText();
                if (tracing())
                    logTrace("COXSocket::connectNonBlocking failing: %s\n", reason.c_str());
                return false;
            }
            if (refusedAttempt) {
                const OString reason = lastErrorText(); // before the level, as above
                if (tracing())
                    logTrace("COXSocket::connectNonBlocking() connection refused '%s' and doing "
                             "retry number %d\n",
                             reason.c_str(), static_cast<int>(refused));
                oxsys::sleepMilliseconds(kRefusedPauseMs);
                ++refused;
            }
        }
        if (connected)
            return true;
        if (retryLimit != -1 && refused > retryLimit)
            return false;
    }
}

int32_t COXSocket::select(int32_t count, oxsys::SocketSet* readSet, oxsys::SocketSet* writeSet,
                          oxsys::SocketSet* errorSet, const oxsys::SocketTimeout* timeout) {
    return oxsys::socketSelect(count, readSet, writeSet, errorSet, timeout);
}

int32_t COXSocket::read(Socket socket, char* buffer, int32_t length, int32_t flags) {
    return oxsys::socketRecv(socket, buffer, length, flags);
}

int32_t COXSocket::write(Socket socket, const char* data, int32_t length, int32_t flags) {
    return oxsys::socketSend(socket, data, length, flags);
}

int32_t COXSocket::shutdown(Socket socket, int32_t how) {
    return oxsys::socketShutdown(socket, how);
}

int32_t COXSocket::setSendTimeout(Socket socket, int32_t seconds) {
    return oxsys::socketSetSendTimeout(socket, seconds);
}

int32_t COXSocket::close(Socket socket) {
    return oxsys::socketClose(socket);
}

int32_t COXSocket::lastError() {
    return oxsys::wsaLastError();
}

OString COXSocket::lastErrorText() {
    OString text("WSA");
    text += lastError();
    return text;
}

int32_t COXSocket::waitReadable(Socket socket, int32_t timeout) {
    return waitFor(socket, timeout, false);
}

int32_t COXSocket::waitWritable(Socket socket, int32_t timeout) {
    return waitFor(socket, timeout, true);
}

int32_t COXSocket::waitFor(Socket socket, int32_t timeout, bool forWriting) {
    // An interrupted wait goes on until the first one's deadline, not for a
    // fresh span: a signal every few seconds (a profiler's timer) would
    // otherwise keep the caller waiting for ever.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(timeout);
    oxsys::SocketTimeout limit{timeout, 0};
    const oxsys::SocketTimeout* limitOrNone = timeout == -1 ? nullptr : &limit;
    for (bool first = true;; first = false) {
        if (!first && limitOrNone != nullptr) {
            const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
                std::max(deadline - Clock::now(), Clock::duration::zero()));
            limit.seconds = static_cast<int32_t>(left.count() / 1000000);
            limit.microseconds = static_cast<int32_t>(left.count() % 1000000);
        }
        oxsys::SocketSet set{1, {socket}};
        const int32_t result = select(static_cast<int32_t>(socket) + 1, forWriting ? nullptr : &set,
                                      forWriting ? &set : nullptr, nullptr, limitOrNone);
        if (result == socketError) {
            if (isTransient(lastError()))
                continue;
            return -1;
        }
        return oxsys::socketSetHas(set, socket) ? 1 : 0;
    }
}
