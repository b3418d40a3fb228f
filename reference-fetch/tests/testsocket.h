// A thin portable layer over the system's sockets for the test servers and the
// tests' hand-made peers: POSIX sockets on Linux, WinSock on Windows. Only what
// the tests need; every socket is a TCP socket on a loopback address.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#if defined(_WIN32)
using TestSocket = SOCKET;
inline constexpr TestSocket kNoSocket = INVALID_SOCKET;
#else
using TestSocket = int;
inline constexpr TestSocket kNoSocket = -1;
#endif

// Holds the socket library for as long as it lives (WSAStartup/WSACleanup on
// Windows, nothing elsewhere). Scoped, so a test that checks the library's own
// start-up count finds no reference left by a server that has stopped.
class SocketLibrary {
public:
    SocketLibrary();
    ~SocketLibrary();
    SocketLibrary(const SocketLibrary&) = delete;
    SocketLibrary& operator=(const SocketLibrary&) = delete;
};

namespace testsocket {

// A TCP socket, optionally non-blocking; kNoSocket on failure.
TestSocket open(bool nonBlocking = false);
void close(TestSocket socket);
sockaddr_in loopback(uint16_t port = 0, const char* ip = "127.0.0.1");
// Binds to `address`, which then holds the port actually bound.
bool bind(TestSocket socket, sockaddr_in* address);
bool listen(TestSocket socket, int backlog);
// Starts a connect and returns at once (for a non-blocking socket).
void startConnect(TestSocket socket, const sockaddr_in& peer);
// Connects a blocking socket; true once the connection is established.
bool connect(TestSocket socket, const sockaddr_in& peer);
// The address `socket` is bound to (all zero on failure).
sockaddr_in localAddress(TestSocket socket);
// Accepts the next connection; `peer`, if given, receives its address.
TestSocket accept(TestSocket listener, sockaddr_in* peer = nullptr);
// True when `socket` has something to read (or has been closed by its peer)
// within `timeoutMs` (-1: no limit). A listening socket reads as ready while a
// connection waits in its queue.
bool waitReadable(TestSocket socket, int timeoutMs);
// Bytes moved, 0 at the end of the stream, negative on an error. Sending never
// raises SIGPIPE.
long send(TestSocket socket, const char* data, size_t length);
long recv(TestSocket socket, char* buffer, size_t length);
void shutdownSending(TestSocket socket);
void setNoDelay(TestSocket socket);
// The close that follows sends a reset instead of a FIN.
void resetOnClose(TestSocket socket);

} // namespace testsocket
