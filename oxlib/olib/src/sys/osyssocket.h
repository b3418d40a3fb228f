// The system layer's sockets: the one place where the socket layer touches the
// platform's sockets.
//
// Kept apart from osys.h so that only the code that talks over the network
// links the platform's socket library (wsock32 on Windows): syssocket_posix.cpp
// implements these functions with BSD sockets, syssocket_win32.cpp as thin calls
// of WinSock 1.1.
#pragma once

#include <cstdint>

// --- Sockets ----------------------------------------------------------------
// Windows: WinSock 1.1 (wsock32). POSIX: BSD sockets with errno mapped to the
// WinSock codes the library acts on, poll() behind select (no FD_SETSIZE limit),
// MSG_NOSIGNAL on every send, getaddrinfo/getnameinfo for the look-ups. Errors
// are kept per thread, as WSAGetLastError keeps them. The start-up count follows
// WinSock: each successful start-up needs one clean-up, and a clean-up without a
// start-up fails with kWsaNotInitialised; sockets can't be made while the count
// is zero.
namespace oxsys {

#if defined(_WIN32)
using Socket = uintptr_t;
#else
using Socket = int;
#endif
constexpr Socket kInvalidSocket = static_cast<Socket>(~0);
constexpr int32_t kSocketError = -1;

// Address families, socket types and shutdown directions (same values on both).
constexpr int32_t kAfInet = 2;
constexpr int32_t kSockStream = 1;
constexpr int32_t kShutReceive = 0;
constexpr int32_t kShutSend = 1;
constexpr int32_t kShutBoth = 2;
constexpr uint32_t kInaddrNone = 0xFFFFFFFFu;

// The WinSock error codes.
constexpr int32_t kWsaEintr = 10004;
constexpr int32_t kWsaEbadf = 10009;
constexpr int32_t kWsaEacces = 10013;
constexpr int32_t kWsaEfault = 10014;
constexpr int32_t kWsaEinval = 10022;
constexpr int32_t kWsaEmfile = 10024;
constexpr int32_t kWsaEwouldblock = 10035;
constexpr int32_t kWsaEinprogress = 10036;
constexpr int32_t kWsaEnotsock = 10038;
constexpr int32_t kWsaEmsgsize = 10040;
constexpr int32_t kWsaEprotonosupport = 10043;
constexpr int32_t kWsaEopnotsupp = 10045;
constexpr int32_t kWsaEafnosupport = 10047;
constexpr int32_t kWsaEaddrinuse = 10048;
constexpr int32_t kWsaEaddrnotavail = 10049;
constexpr int32_t kWsaEnetdown = 10050;
constexpr int32_t kWsaEnetunreach = 10051;
constexpr int32_t kWsaEconnaborted = 10053;
constexpr int32_t kWsaEconnreset = 10054;
constexpr int32_t kWsaEnobufs = 10055;
constexpr int32_t kWsaEisconn = 10056;
constexpr int32_t kWsaEnotconn = 10057;
constexpr int32_t kWsaEshutdown = 10058;
constexpr int32_t kWsaEtimedout = 10060;
constexpr int32_t kWsaEconnrefused = 10061;
constexpr int32_t kWsaEhostunreach = 10065;
constexpr int32_t kWsaVerNotSupported = 10092;
constexpr int32_t kWsaNotInitialised = 10093;
constexpr int32_t kWsaSysCallFailure = 10107;
constexpr int32_t kWsaHostNotFound = 11001;
constexpr int32_t kWsaTryAgain = 11002;
constexpr int32_t kWsaNoRecovery = 11003;
constexpr int32_t kWsaNoData = 11004;

// A socket address as WinSock lays it out (16 bytes): the family in host order,
// then the family's bytes. An IPv4 address holds the port and the address, both
// in network order, followed by eight zero bytes.
struct SocketAddress {
    uint16_t family;
    unsigned char data[14];
};
static_assert(sizeof(SocketAddress) == 16, "a socket address record is 16 bytes");

// WinSock's socket set: a count and up to 64 sockets.
struct SocketSet {
    uint32_t count;
    Socket sockets[64];
};
struct SocketTimeout {
    int32_t seconds;
    int32_t microseconds;
};

// 0 on success, else the WinSock error (the result, not the last error).
int32_t wsaStartup(uint16_t version);
// 0 on success, kSocketError with the last error set otherwise.
int32_t wsaCleanup();
int32_t wsaCancelBlockingCall();
int32_t wsaLastError();
void wsaSetLastError(int32_t code);

Socket socketCreate(int32_t family, int32_t type, int32_t protocol);
// On POSIX a blocking connect that outlasts the send timeout fails with
// kWsaEtimedout, as WinSock reports a connect that found no answer.
int32_t socketConnect(Socket socket, const SocketAddress* address, int32_t length);
// SO_SNDTIMEO: a blocking send that waits `seconds` without handing any byte
// over fails with kWsaEtimedout (WinSock's code for it); on POSIX the limit
// also bounds a blocking connect. 0 takes the limit away.
int32_t socketSetSendTimeout(Socket socket, int32_t seconds);
// select(): the sets are rewritten to hold only the ready sockets; a null timeout
// waits without limit. Returns the number of ready entries, 0 on time-out.
int32_t socketSelect(int32_t count, SocketSet* readSet, SocketSet* writeSet, SocketSet* errorSet,
                     const SocketTimeout* timeout);
bool socketSetHas(const SocketSet& set, Socket socket);
int32_t socketRecv(Socket socket, char* buffer, int32_t length, int32_t flags);
// Never raises SIGPIPE: a reset peer is reported as an error.
int32_t socketSend(Socket socket, const char* data, int32_t length, int32_t flags);
int32_t socketShutdown(Socket socket, int32_t how);
int32_t socketClose(Socket socket);

uint16_t hostToNetwork16(uint16_t value);
uint32_t hostToNetwork32(uint32_t value);
uint32_t networkToHost32(uint32_t value);
// inet_addr: a dotted IPv4 text to the address in network order, or kInaddrNone.
uint32_t parseIpv4(const char* text);
// gethostbyname: the first IPv4 address of `name` (network order). Safe to call
// from several threads at once; false with the last error set when it fails.
bool lookupHostName(const char* name, uint32_t* address);
// gethostbyaddr: whether the IPv4 address (network order) has a host entry.
bool lookupHostAddress(uint32_t address);

// Sleep.
void sleepMilliseconds(uint32_t milliseconds);

} // namespace oxsys
