#include "testsocket.h"

#if defined(_WIN32)

SocketLibrary::SocketLibrary() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
}

SocketLibrary::~SocketLibrary() {
    WSACleanup();
}

namespace testsocket {

TestSocket open(bool nonBlocking) {
    const TestSocket s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s != kNoSocket) {
        // Not inherited by the programs a test starts.
        SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
        u_long on = nonBlocking ? 1 : 0;
        ::ioctlsocket(s, FIONBIO, &on);
    }
    return s;
}

void close(TestSocket socket) {
    ::closesocket(socket);
}

bool waitReadable(TestSocket socket, int timeoutMs) {
    // select holds sockets by count on Windows, so any socket fits one set.
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    return ::select(0, &set, nullptr, nullptr, timeoutMs < 0 ? nullptr : &limit) > 0;
}

long send(TestSocket socket, const char* data, size_t length) {
    const int chunk = length > 0x40000000u ? 0x40000000 : static_cast<int>(length);
    return ::send(socket, data, chunk, 0);
}

long recv(TestSocket socket, char* buffer, size_t length) {
    const int chunk = length > 0x40000000u ? 0x40000000 : static_cast<int>(length);
    return ::recv(socket, buffer, chunk, 0);
}

void shutdownSending(TestSocket socket) {
    ::shutdown(socket, SD_SEND);
}

} // namespace testsocket

#else

#include <cerrno>
#include <poll.h>
#include <unistd.h>

SocketLibrary::SocketLibrary() = default;
SocketLibrary::~SocketLibrary() = default;

namespace testsocket {

TestSocket open(bool nonBlocking) {
    return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | (nonBlocking ? SOCK_NONBLOCK : 0), 0);
}

void close(TestSocket socket) {
    ::close(socket);
}

bool waitReadable(TestSocket socket, int timeoutMs) {
    for (;;) {
        pollfd fd{socket, POLLIN, 0};
        const int ready = ::poll(&fd, 1, timeoutMs);
        if (ready < 0 && errno == EINTR)
            continue;
        return ready > 0;
    }
}

long send(TestSocket socket, const char* data, size_t length) {
    return ::send(socket, data, length, MSG_NOSIGNAL);
}

long recv(TestSocket socket, char* buffer, size_t length) {
    return ::recv(socket, buffer, length, 0);
}

void shutdownSending(TestSocket socket) {
    ::shutdown(socket, SHUT_WR);
}

} // namespace testsocket

#endif

#if !defined(_WIN32)
#include <netinet/tcp.h>
#endif

namespace testsocket {

sockaddr_in loopback(uint16_t port, const char* ip) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    ::inet_pton(AF_INET, ip, &address.sin_addr);
    return address;
}

bool bind(TestSocket socket, sockaddr_in* address) {
    socklen_t size = sizeof *address;
    return ::bind(socket, reinterpret_cast<sockaddr*>(address), sizeof *address) == 0 &&
           ::getsockname(socket, reinterpret_cast<sockaddr*>(address), &size) == 0;
}

bool listen(TestSocket socket, int backlog) {
    return ::listen(socket, backlog) == 0;
}

void startConnect(TestSocket socket, const sockaddr_in& peer) {
    ::connect(socket, reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
}

bool connect(TestSocket socket, const sockaddr_in& peer) {
    return ::connect(socket, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0;
}

sockaddr_in localAddress(TestSocket socket) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        address = sockaddr_in{};
    return address;
}

TestSocket accept(TestSocket listener, sockaddr_in* peer) {
    sockaddr_in from{};
    socklen_t size = sizeof from;
#if defined(_WIN32)
    const TestSocket s = ::accept(listener, reinterpret_cast<sockaddr*>(&from), &size);
    if (s != kNoSocket)
        SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
#else
    const TestSocket s =
        ::accept4(listener, reinterpret_cast<sockaddr*>(&from), &size, SOCK_CLOEXEC);
#endif
    if (peer != nullptr)
        *peer = from;
    return s;
}

void setNoDelay(TestSocket socket) {
    const int on = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
}

void resetOnClose(TestSocket socket) {
    const linger reset{1, 0};
    ::setsockopt(socket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&reset),
                 sizeof reset);
}

} // namespace testsocket
