// The system layer's sockets on Linux and other POSIX systems: BSD sockets
// under WinSock's rules.
#include "osyssocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <ctime>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <atomic>
#include <cstring>

namespace oxsys {

namespace {

std::atomic<int32_t> g_winsockStarted{0};
thread_local int32_t t_socketError = 0;

int32_t winsockCode(int error) {
    switch (error) {
    case EINTR:
        return kWsaEintr;
    case EBADF:
        return kWsaEnotsock; // WinSock reports a stale handle as "not a socket"
    case EACCES:
    case EPERM:
        return kWsaEacces;
    case EFAULT:
        return kWsaEfault;
    case EINVAL:
        return kWsaEinval;
    case EMFILE:
    case ENFILE:
        return kWsaEmfile;
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case EAGAIN:
        return kWsaEwouldblock;
    case EINPROGRESS:
    case EALREADY:
        return kWsaEinprogress;
    case ENOTSOCK:
        return kWsaEnotsock;
    case EMSGSIZE:
        return kWsaEmsgsize;
    case EPROTONOSUPPORT:
        return kWsaEprotonosupport;
    case EOPNOTSUPP:
        return kWsaEopnotsupp;
    case EAFNOSUPPORT:
        return kWsaEafnosupport;
    case EADDRINUSE:
        return kWsaEaddrinuse;
    case EADDRNOTAVAIL:
        return kWsaEaddrnotavail;
    case ENETDOWN:
        return kWsaEnetdown;
    case ENETUNREACH:
        return kWsaEnetunreach;
    case ECONNABORTED:
        return kWsaEconnaborted;
    case ECONNRESET:
    case EPIPE: // a send to a peer that has gone: WinSock names it a reset
        return kWsaEconnreset;
    case ENOBUFS:
    case ENOMEM:
        return kWsaEnobufs;
    case EISCONN:
        return kWsaEisconn;
    case ENOTCONN:
        return kWsaEnotconn;
    case ESHUTDOWN:
        return kWsaEshutdown;
    case ETIMEDOUT:
        return kWsaEtimedout;
    case ECONNREFUSED:
        return kWsaEconnrefused;
    case EHOSTUNREACH:
    case EHOSTDOWN:
        return kWsaEhostunreach;
    default:
        return kWsaSysCallFailure;
    }
}

int32_t failWith(int32_t code) {
    t_socketError = code;
    return kSocketError;
}

int32_t failFromErrno() {
    return failWith(winsockCode(errno));
}

bool isBlocking(int socket) {
    const int flags = ::fcntl(socket, F_GETFL);
    return flags >= 0 && (flags & O_NONBLOCK) == 0;
}

int32_t lookupCode(int status) {
    switch (status) {
    case EAI_NONAME:
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
#endif
        return kWsaHostNotFound;
    case EAI_AGAIN:
        return kWsaTryAgain;
    case EAI_SYSTEM:
        return winsockCode(errno);
    case EAI_MEMORY:
        return kWsaEnobufs;
    default:
        return kWsaNoRecovery;
    }
}

} // namespace

int32_t wsaStartup(uint16_t version) {
    // The low byte is the major version; anything before 1 never existed.
    if ((version & 0xFF) < 1)
        return kWsaVerNotSupported;
    g_winsockStarted.fetch_add(1, std::memory_order_acq_rel);
    return 0;
}

int32_t wsaCleanup() {
    int32_t started = g_winsockStarted.load(std::memory_order_acquire);
    do {
        if (started <= 0)
            return failWith(kWsaNotInitialised);
    } while (
        !g_winsockStarted.compare_exchange_weak(started, started - 1, std::memory_order_acq_rel));
    return 0;
}

int32_t wsaCancelBlockingCall() {
    // No blocking hooks exist here, so there is never a call to cancel.
    return failWith(kWsaEinval);
}

int32_t wsaLastError() {
    return t_socketError;
}

void wsaSetLastError(int32_t code) {
    t_socketError = code;
}

Socket socketCreate(int32_t family, int32_t type, int32_t protocol) {
    if (g_winsockStarted.load(std::memory_order_acquire) <= 0) {
        failWith(kWsaNotInitialised);
        return kInvalidSocket;
    }
    // Close-on-exec: a child the host program starts must not keep our
    // connection open.
    const int fd = ::socket(family, type | SOCK_CLOEXEC, protocol);
    if (fd < 0) {
        failFromErrno();
        return kInvalidSocket;
    }
    return fd;
}

int32_t socketConnect(Socket socket, const SocketAddress* address, int32_t length) {
    if (address == nullptr || length < static_cast<int32_t>(sizeof(SocketAddress)))
        return failWith(kWsaEfault);
    if (address->family != kAfInet)
        return failWith(kWsaEafnosupport);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    std::memcpy(&peer.sin_port, address->data, sizeof peer.sin_port);
    std::memcpy(&peer.sin_addr, address->data + 2, sizeof peer.sin_addr);
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0)
        return isBlocking(socket) && (errno == EINPROGRESS || errno == EAGAIN)
                   ? failWith(kWsaEtimedout) // SO_SNDTIMEO ran out
                   : failFromErrno();
    return 0;
}

int32_t socketSetSendTimeout(Socket socket, int32_t seconds) {
    if (seconds < 0)
        return failWith(kWsaEinval);
    const timeval limit{seconds, 0};
    return ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) != 0
               ? failFromErrno()
               : 0;
}

int32_t socketSelect(int32_t, SocketSet* readSet, SocketSet* writeSet, SocketSet* errorSet,
                     const SocketTimeout* timeout) {
    int timeoutMs = -1;
    if (timeout != nullptr) {
        if (timeout->seconds < 0 || timeout->microseconds < 0)
            return failWith(kWsaEinval);
        const long long ms = static_cast<long long>(timeout->seconds) * 1000 +
                             (static_cast<long long>(timeout->microseconds) + 999) / 1000;
        timeoutMs = ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
    }

    SocketSet* sets[3] = {readSet, writeSet, errorSet};
    // What each set asks for, and what else counts as ready for it: select
    // reports a hung-up or failed socket as readable and writable.
    static constexpr short asked[3] = {POLLIN, POLLOUT, POLLPRI};
    static constexpr short alsoReady[3] = {POLLHUP | POLLERR, POLLHUP | POLLERR, 0};

    pollfd fds[3 * 64];
    nfds_t n = 0;
    for (int s = 0; s < 3; ++s) {
        if (sets[s] == nullptr)
            continue;
        if (sets[s]->count > 64)
            return failWith(kWsaEinval);
        for (uint32_t i = 0; i < sets[s]->count; ++i)
            fds[n++] = pollfd{sets[s]->sockets[i], asked[s], 0};
    }
    if (n == 0)
        return failWith(kWsaEinval); // WinSock refuses a select on nothing

    if (::poll(fds, n, timeoutMs) < 0)
        return failFromErrno();

    int32_t ready = 0;
    nfds_t k = 0;
    for (int s = 0; s < 3; ++s) {
        if (sets[s] == nullptr)
            continue;
        uint32_t kept = 0;
        const uint32_t count = sets[s]->count;
        for (uint32_t i = 0; i < count; ++i, ++k) {
            if (fds[k].revents & POLLNVAL)
                return failWith(kWsaEnotsock);
            if (fds[k].revents & (asked[s] | alsoReady[s]))
                sets[s]->sockets[kept++] = fds[k].fd;
        }
        sets[s]->count = kept;
        ready += static_cast<int32_t>(kept);
    }
    return ready;
}

bool socketSetHas(const SocketSet& set, Socket socket) {
    for (uint32_t i = 0; i < set.count && i < 64; ++i) {
        if (set.sockets[i] == socket)
            return true;
    }
    return false;
}

int32_t socketRecv(Socket socket, char* buffer, int32_t length, int32_t flags) {
    if (length < 0)
        return failWith(kWsaEfault);
    const ssize_t n = ::recv(socket, buffer, static_cast<size_t>(length), flags);
    return n < 0 ? failFromErrno() : static_cast<int32_t>(n);
}

int32_t socketSend(Socket socket, const char* data, int32_t length, int32_t flags) {
    if (length < 0)
        return failWith(kWsaEfault);
    const ssize_t n = ::send(socket, data, static_cast<size_t>(length), flags | MSG_NOSIGNAL);
    if (n >= 0)
        return static_cast<int32_t>(n);
    // A blocking socket says "would block" only when SO_SNDTIMEO has run out.
    if ((errno == EAGAIN || errno == EWOULDBLOCK) && isBlocking(socket) &&
        (flags & MSG_DONTWAIT) == 0)
        return failWith(kWsaEtimedout);
    return failFromErrno();
}

int32_t socketShutdown(Socket socket, int32_t how) {
    return ::shutdown(socket, how) != 0 ? failFromErrno() : 0;
}

int32_t socketClose(Socket socket) {
    // Not retried on EINTR: the descriptor is gone either way on Linux.
    return ::close(socket) != 0 && errno != EINTR ? failFromErrno() : 0;
}

uint16_t hostToNetwork16(uint16_t value) {
    return htons(value);
}

uint32_t hostToNetwork32(uint32_t value) {
    return htonl(value);
}

uint32_t networkToHost32(uint32_t value) {
    return ntohl(value);
}

uint32_t parseIpv4(const char* text) {
    return text != nullptr ? static_cast<uint32_t>(inet_addr(text)) : kInaddrNone;
}

bool lookupHostName(const char* name, uint32_t* address) {
    if (name == nullptr || address == nullptr) {
        failWith(kWsaEfault);
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int status = ::getaddrinfo(name, nullptr, &hints, &found);
    if (status != 0) {
        failWith(lookupCode(status));
        return false;
    }
    bool ok = false;
    for (const addrinfo* a = found; a != nullptr && !ok; a = a->ai_next) {
        if (a->ai_family == AF_INET && a->ai_addrlen >= sizeof(sockaddr_in)) {
            *address = reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr;
            ok = true;
        }
    }
    ::freeaddrinfo(found);
    if (!ok)
        failWith(kWsaNoData);
    return ok;
}

bool lookupHostAddress(uint32_t address) {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = address;
    char host[NI_MAXHOST];
    const int status = ::getnameinfo(reinterpret_cast<const sockaddr*>(&peer), sizeof peer, host,
                                     sizeof host, nullptr, 0, NI_NAMEREQD);
    if (status != 0) {
        failWith(lookupCode(status));
        return false;
    }
    return true;
}

void sleepMilliseconds(uint32_t milliseconds) {
    timespec rest{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000000L};
    while (::nanosleep(&rest, &rest) != 0 && errno == EINTR) {
    }
}

} // namespace oxsys
