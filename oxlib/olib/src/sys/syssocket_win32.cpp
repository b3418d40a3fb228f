// The system layer's sockets on Windows: WinSock 1.1 (wsock32).
#include "osyssocket.h"

#include <windows.h>
#include <winsock.h>

#include <cstring>

namespace oxsys {

namespace {

void toFdSet(const SocketSet* from, fd_set* to) {
    to->fd_count = 0;
    for (uint32_t i = 0; i < from->count && i < FD_SETSIZE; ++i)
        to->fd_array[to->fd_count++] = static_cast<SOCKET>(from->sockets[i]);
}

void fromFdSet(const fd_set* from, SocketSet* to) {
    to->count = 0;
    for (u_int i = 0; i < from->fd_count && i < 64; ++i)
        to->sockets[to->count++] = static_cast<Socket>(from->fd_array[i]);
}

} // namespace

int32_t wsaStartup(uint16_t version) {
    WSADATA data;
    return WSAStartup(version, &data);
}

int32_t wsaCleanup() {
    return WSACleanup();
}

int32_t wsaCancelBlockingCall() {
    return WSACancelBlockingCall();
}

int32_t wsaLastError() {
    return WSAGetLastError();
}

void wsaSetLastError(int32_t code) {
    WSASetLastError(code);
}

Socket socketCreate(int32_t family, int32_t type, int32_t protocol) {
    return static_cast<Socket>(::socket(family, type, protocol));
}

namespace {

// One connect of `s`, waited for `limitMs` at most; 0 or the WinSock error.
int connectWithin(SOCKET s, const sockaddr* peer, int length, DWORD limitMs) {
    u_long nonBlocking = 1;
    if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0)
        return ::connect(s, peer, length) == 0 ? 0 : ::WSAGetLastError();
    int error = ::connect(s, peer, length) == 0 ? 0 : ::WSAGetLastError();
    if (error == WSAEWOULDBLOCK) {
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(s, &writable);
        FD_SET(s, &failed);
        timeval limit{static_cast<long>(limitMs / 1000), static_cast<long>(limitMs % 1000) * 1000};
        const int ready = ::select(0, nullptr, &writable, &failed, &limit);
        if (ready == 0) {
            error = WSAETIMEDOUT;
        } else if (ready == SOCKET_ERROR) {
            error = ::WSAGetLastError();
        } else if (FD_ISSET(s, &failed)) {
            // A failed connect shows in the exception set, its reason in SO_ERROR.
            int reason = 0;
            int reasonSize = sizeof reason;
            ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&reason), &reasonSize);
            error = reason != 0 ? reason : WSAECONNREFUSED;
        } else {
            error = 0;
        }
    }
    u_long blocking = 0;
    ::ioctlsocket(s, FIONBIO, &blocking);
    return error;
}

} // namespace

// Windows' connect, unlike Linux's, ignores the send timeout: a peer that never
// answers holds it for the system's own SYN retries (21 seconds on Windows,
// minutes under Wine). With a send timeout set, the connect runs non-blocking
// and is waited for that long at most, failing with WSAETIMEDOUT as on Linux.
// The library's sockets are blocking, and are left so.
int32_t socketConnect(Socket socket, const SocketAddress* address, int32_t length) {
    const SOCKET s = static_cast<SOCKET>(socket);
    const sockaddr* peer = reinterpret_cast<const sockaddr*>(address);
    DWORD limitMs = 0;
    int size = sizeof limitMs;
    int error = 0;
    if (::getsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<char*>(&limitMs), &size) != 0 ||
        limitMs == 0) {
        error = ::connect(s, peer, length) == 0 ? 0 : ::WSAGetLastError();
    } else {
        error = connectWithin(s, peer, length, limitMs);
        // A socket may be connected again after a refusal. Under Wine the host
        // system's socket answers the first connect after a failed one with
        // ECONNABORTED (no connection existed to abort); the next one is real.
        if (error == WSAECONNABORTED)
            error = connectWithin(s, peer, length, limitMs);
    }
    if (error == 0)
        return 0;
    ::WSASetLastError(error);
    return SOCKET_ERROR;
}

int32_t socketSetSendTimeout(Socket socket, int32_t seconds) {
    if (seconds < 0) {
        ::WSASetLastError(WSAEINVAL);
        return SOCKET_ERROR;
    }
    const DWORD limit = static_cast<DWORD>(seconds) * 1000;
    return ::setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_SNDTIMEO,
                        reinterpret_cast<const char*>(&limit), sizeof limit);
}

int32_t socketSelect(int32_t count, SocketSet* readSet, SocketSet* writeSet, SocketSet* errorSet,
                     const SocketTimeout* timeout) {
    fd_set sets[3];
    SocketSet* mine[3] = {readSet, writeSet, errorSet};
    for (int s = 0; s < 3; ++s) {
        if (mine[s] != nullptr)
            toFdSet(mine[s], &sets[s]);
    }
    timeval limit{};
    if (timeout != nullptr)
        limit = timeval{timeout->seconds, timeout->microseconds};
    const int ready = ::select(count, readSet ? &sets[0] : nullptr, writeSet ? &sets[1] : nullptr,
                               errorSet ? &sets[2] : nullptr, timeout ? &limit : nullptr);
    if (ready != SOCKET_ERROR) {
        for (int s = 0; s < 3; ++s) {
            if (mine[s] != nullptr)
                fromFdSet(&sets[s], mine[s]);
        }
    }
    return ready;
}

bool socketSetHas(const SocketSet& set, Socket socket) {
    fd_set native;
    toFdSet(&set, &native);
    return __WSAFDIsSet(static_cast<SOCKET>(socket), &native) != 0;
}

int32_t socketRecv(Socket socket, char* buffer, int32_t length, int32_t flags) {
    return ::recv(static_cast<SOCKET>(socket), buffer, length, flags);
}

int32_t socketSend(Socket socket, const char* data, int32_t length, int32_t flags) {
    return ::send(static_cast<SOCKET>(socket), data, length, flags);
}

int32_t socketShutdown(Socket socket, int32_t how) {
    return ::shutdown(static_cast<SOCKET>(socket), how);
}

int32_t socketClose(Socket socket) {
    return ::closesocket(static_cast<SOCKET>(socket));
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

// WinSock keeps the host entry per thread, so these are safe on several threads.
bool lookupHostName(const char* name, uint32_t* address) {
    const hostent* entry = gethostbyname(name);
    if (entry == nullptr || entry->h_addr_list == nullptr || entry->h_addr_list[0] == nullptr)
        return false;
    std::memcpy(address, entry->h_addr_list[0], sizeof *address);
    return true;
}

bool lookupHostAddress(uint32_t address) {
    return gethostbyaddr(reinterpret_cast<const char*>(&address), 4, AF_INET) != nullptr;
}

void sleepMilliseconds(uint32_t milliseconds) {
    Sleep(milliseconds);
}

} // namespace oxsys
