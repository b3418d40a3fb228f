// A fetch through the library against the reference server in this process,
// beside a hand-written client that does the same exchange on raw sockets
// (connect, send, read both strings, close). The ratio of the two is the cost
// of the library's rules: start-up, the reverse lookup, the bounded waits.
#include <fetchorb.h>

#include "creferenceserver.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
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

// The raw exchange plus the reverse lookup that a dotted address must pass:
// shows how much of the difference is the lookup itself.
void BM_RawSocketsWithLookup(benchmark::State& state) {
    const uint16_t port = serverPort();
    sockaddr_in loopback{};
    loopback.sin_family = AF_INET;
    loopback.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    char host[NI_MAXHOST];
    for (auto _ : state) {
        if (::getnameinfo(reinterpret_cast<sockaddr*>(&loopback), sizeof loopback, host,
                          sizeof host, nullptr, 0, NI_NAMEREQD) != 0 ||
            !rawExchange(port))
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
BENCHMARK(BM_RawSocketsWithLookup)->Threads(1)->Threads(4)->Threads(16)->UseRealTime();
BENCHMARK(BM_Fetchorb)->Threads(1)->Threads(4)->Threads(16)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
