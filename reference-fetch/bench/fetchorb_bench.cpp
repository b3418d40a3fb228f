// A fetch through the library against the reference server in this process,
// beside two hand-written clients on raw sockets: a plain one (connect, send,
// read both strings, close), whose ratio to the library is the cost of the
// library's rules as a whole (the reverse look-up, the bounded waits), and one
// that makes the same system calls the exchange requires, whose ratio is what
// the library itself adds.
#include <fetchorb.h>

#include "benchratios.h"
#include "creferenceserver.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace {

const char* const kFactory = "TavikClassFactory";
const std::string kReference = "IOR:010000002600000049444c3a546176696b2f466163746f72793a312e30";

uint16_t serverPort() {
    static CReferenceServer* server = [] {
        CReferenceServer::Options options;
        options.port = 0;
        options.workers = 16;
        options.references = {{kFactory, kReference}};
        options.second = "bench";
        auto* s = new CReferenceServer(options);
        std::string error;
        if (!s->start(&error))
            std::abort();
        return s;
    }();
    return server->port();
}

bool rawExchange(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof peer) == 0;
    if (ok) {
        const size_t n = std::strlen(kFactory);
        char request[64];
        const uint32_t length = htonl(static_cast<uint32_t>(n));
        std::memcpy(request, &length, 4);
        std::memcpy(request + 4, kFactory, n);
        ok = ::send(fd, request, 4 + n, MSG_NOSIGNAL) == static_cast<ssize_t>(4 + n);
    }
    // Read until both framed strings are in, however the bytes arrive.
    char reply[512];
    size_t got = 0;
    auto complete = [&] {
        size_t pos = 0;
        for (int i = 0; i < 2; ++i) {
            uint32_t field;
            if (got - pos < 4)
                return false;
            std::memcpy(&field, reply + pos, 4);
            pos += 4 + ntohl(field);
            if (got < pos)
                return false;
        }
        return true;
    };
    while (ok && !complete()) {
        const ssize_t r = ::recv(fd, reply + got, sizeof reply - got, 0);
        ok = r > 0;
        got += ok ? static_cast<size_t>(r) : 0;
    }
    ::close(fd);
    return ok;
}

void BM_RawSockets(benchmark::State& state) {
    const uint16_t port = serverPort();
    for (auto _ : state) {
        if (!rawExchange(port))
            state.SkipWithError("raw exchange failed");
    }
    state.SetItemsProcessed(state.iterations());
}

// One raw field: a wait for readability, then one receive of exactly `length`
// bytes, as the library does for each length and each string.
bool receiveField(int fd, char* buffer, size_t length) {
    size_t got = 0;
    while (got < length) {
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, 10000) != 1)
            return false;
        const ssize_t r = ::recv(fd, buffer + got, length - got, 0);
        if (r <= 0)
            return false;
        got += static_cast<size_t>(r);
    }
    return true;
}

// The raw client making the system calls the exchange requires, and no more:
// the reverse look-up of the dotted address, the send timeouts that bound the
// connect and the send, one wait before the send, one wait and one receive per
// reply field, the shutdown of the receiving side. What the library costs
// beyond this is its own.
bool sameCallsExchange(uint16_t port) {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    char host[NI_MAXHOST];
    if (::getnameinfo(reinterpret_cast<sockaddr*>(&peer), sizeof peer, host, sizeof host, nullptr,
                      0, NI_NAMEREQD) != 0)
        return false;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const timeval connectLimit{5, 0};
    const timeval sendLimit{10, 0};
    bool ok = ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &connectLimit, sizeof connectLimit) == 0 &&
              ::connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof peer) == 0 &&
              ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof sendLimit) == 0;
    if (ok) {
        const size_t n = std::strlen(kFactory);
        char request[64];
        const uint32_t length = htonl(static_cast<uint32_t>(n));
        std::memcpy(request, &length, 4);
        std::memcpy(request + 4, kFactory, n);
        pollfd room{fd, POLLOUT, 0};
        ok = ::poll(&room, 1, 10000) == 1 &&
             ::send(fd, request, 4 + n, MSG_NOSIGNAL) == static_cast<ssize_t>(4 + n);
    }
    char text[512];
    for (int i = 0; ok && i < 2; ++i) {
        uint32_t field = 0;
        ok = receiveField(fd, reinterpret_cast<char*>(&field), 4) && ntohl(field) < sizeof text &&
             receiveField(fd, text, ntohl(field));
    }
    if (ok)
        ::shutdown(fd, SHUT_RD);
    ::close(fd);
    return ok;
}

void BM_RawSocketsSameCalls(benchmark::State& state) {
    const uint16_t port = serverPort();
    for (auto _ : state) {
        if (!sameCallsExchange(port))
            state.SkipWithError("raw exchange failed");
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_Fetchorb(benchmark::State& state) {
    const uint16_t port = serverPort();
    char first[256], second[64];
    for (auto _ : state) {
        uint32_t firstSize = sizeof first, secondSize = sizeof second;
        if (Fetchorb("127.0.0.1", port, kFactory, first, &firstSize, second, &secondSize) !=
            FETCHORB_OK)
            state.SkipWithError("fetch failed");
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_RawSockets)->Threads(1)->Threads(4)->Threads(16)->UseRealTime();
BENCHMARK(BM_RawSocketsSameCalls)->Threads(1)->Threads(4)->Threads(16)->UseRealTime();
BENCHMARK(BM_Fetchorb)->Threads(1)->Threads(4)->Threads(16)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    std::vector<benchratios::Pair> pairs;
    for (const char* t : {"1", "4", "16"}) {
        const std::string threads = std::string("/real_time/threads:") + t;
        pairs.push_back({std::string("Fetchorb, ") + t + " thread(s) / the same calls raw",
                         "BM_Fetchorb" + threads, "BM_RawSocketsSameCalls" + threads});
        pairs.push_back({std::string("Fetchorb, ") + t + " thread(s) / a plain raw client",
                         "BM_Fetchorb" + threads, "BM_RawSockets" + threads});
    }
    return benchratios::runWithRatios(argc, argv, pairs);
}
