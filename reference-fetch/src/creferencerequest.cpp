#include "creferencerequest.h"

#include <cstring>

namespace {

constexpr uint32_t kLengthBytes = 4;
// recv takes an int; larger runs go in pieces.
constexpr uint32_t kMaxChunk = 1u << 30;
// The piece a send hands over at once: a writable socket has room for it.
constexpr uint32_t kSendChunk = 64u * 1024u;

uint32_t readBigEndian(const char* p) {
    uint32_t value;
    std::memcpy(&value, p, sizeof value);
    return oxsys::networkToHost32(value);
}

} // namespace

CReferenceRequest::CReferenceRequest(const char* host, uint16_t port, const char* factoryName)
    : m_host(host), m_port(port), m_factoryName(factoryName) {}

CReferenceRequest::~CReferenceRequest() {
    if (m_socket != COXSocket::invalidSocket)
        COXSocket::close(m_socket);
    if (m_started)
        COXSocket::cleanup();
}

int32_t CReferenceRequest::run(char* firstBuffer, uint32_t* firstSize, char* secondBuffer,
                               uint32_t* secondSize) {
    int32_t result = resultFailed;
    m_started = COXSocket::startup();
    if (!m_started)
        return resultFailed;
    m_socket = COXSocket::create(oxsys::kAfInet, oxsys::kSockStream, 0);
    if (m_socket == COXSocket::invalidSocket)
        return resultFailed;

    uint32_t address = 0;
    if (!resolve(&address) || !connect(address) || !sendRequest())
        return resultFailed;

    Bytes text;
    uint32_t length = 0;
    if (receiveString(&text, &length) != Received::ok)
        return resultFailed;
    if (!deliver(text.get(), length, firstBuffer, firstSize))
        result = resultTooSmall;
    text.reset();

    // Both strings are always read, so the server sees its whole reply taken.
    switch (receiveString(&text, &length)) {
    case Received::ok:
        break;
    case Received::noMemory:
        return result;
    case Received::failed:
        return resultFailed;
    }
    if (secondBuffer != nullptr && secondSize != nullptr &&
        !deliver(text.get(), length, secondBuffer, secondSize))
        result = resultTooSmall;

    if (result != resultTooSmall) {
        result = resultOk;
        COXSocket::shutdown(m_socket, oxsys::kShutReceive);
    }
    return result;
}

bool CReferenceRequest::resolve(uint32_t* address) const {
    *address = oxsys::parseIpv4(m_host);
    if (*address == oxsys::kInaddrNone)
        return oxsys::lookupHostName(m_host, address);
    // A dotted address still needs a host entry: an address nobody has named is
    // treated as unreachable.
    return oxsys::lookupHostAddress(*address);
}

bool CReferenceRequest::connect(uint32_t address) const {
    oxsys::SocketAddress peer{};
    peer.family = oxsys::kAfInet;
    const uint16_t port = oxsys::hostToNetwork16(m_port);
    std::memcpy(peer.data, &port, sizeof port);
    std::memcpy(peer.data + 2, &address, sizeof address);
    if (!COXSocket::connectNonBlocking(m_socket, &peer, sizeof peer, kConnectTimeoutSeconds,
                                       kConnectRetryLimit))
        return false;
    // From here on a send that the server does not take in time fails the call.
    return COXSocket::setSendTimeout(m_socket, kSendWaitSeconds) == 0;
}

bool CReferenceRequest::sendRequest() const {
    const size_t nameLength = std::strlen(m_factoryName);
    if (nameLength > UINT32_MAX - kLengthBytes)
        return false;
    const uint32_t n = static_cast<uint32_t>(nameLength);
    // The length and the name go out from one buffer: one send on the fast
    // path, and no small second segment for Nagle to hold back.
    Bytes request(static_cast<char*>(std::malloc(kLengthBytes + n)));
    if (!request)
        return false;
    const uint32_t wireLength = oxsys::hostToNetwork32(n);
    std::memcpy(request.get(), &wireLength, kLengthBytes);
    std::memcpy(request.get() + kLengthBytes, m_factoryName, n);
    return sendAll(request.get(), kLengthBytes + n);
}

bool CReferenceRequest::sendAll(const char* data, uint32_t length) const {
    // A send cut short, or one interrupted before it sent anything, resumes at
    // the first byte not yet sent: sending earlier bytes again would garble the
    // request. Each piece first waits for room, at most kSendWaitSeconds, as the
    // reply waits do, and is small enough that room for it is there once the
    // socket is writable; the send timeout stops a send that blocks all the same.
    uint32_t sent = 0;
    while (sent < length) {
        if (COXSocket::waitWritable(m_socket, kSendWaitSeconds) != 1)
            return false;
        const uint32_t chunk = length - sent < kSendChunk ? length - sent : kSendChunk;
        const int32_t n = COXSocket::write(m_socket, data + sent, static_cast<int32_t>(chunk), 0);
        if (n == COXSocket::socketError) {
            if (COXSocket::isTransient(COXSocket::lastError()))
                continue;
            return false;
        }
        sent += static_cast<uint32_t>(n);
    }
    return true;
}

bool CReferenceRequest::receiveExactly(char* buffer, uint32_t length) const {
    // TCP may split a field anywhere, so every piece is awaited and read until
    // the field is whole. Each wait is bounded, so a server that stalls part
    // way ends the call instead of holding the caller.
    uint32_t got = 0;
    while (got < length) {
        if (COXSocket::waitReadable(m_socket, kReplyWaitSeconds) != 1)
            return false;
        const uint32_t chunk = length - got < kMaxChunk ? length - got : kMaxChunk;
        const int32_t n = COXSocket::read(m_socket, buffer + got, static_cast<int32_t>(chunk), 0);
        if (n == COXSocket::socketError) {
            if (COXSocket::isTransient(COXSocket::lastError()))
                continue;
            return false;
        }
        if (n == 0)
            return false; // the server closed the connection early
        got += static_cast<uint32_t>(n);
    }
    return true;
}

CReferenceRequest::Received CReferenceRequest::receiveString(Bytes* text, uint32_t* length) const {
    char field[kLengthBytes];
    if (!receiveExactly(field, kLengthBytes))
        return Received::failed;
    *length = readBigEndian(field);
    // Checked before anything is allocated: length + 1 can neither wrap nor ask
    // for gigabytes on a server's say-so.
    if (*length > kMaxReplyLength)
        return Received::failed;
    text->reset(static_cast<char*>(std::malloc(*length + 1)));
    if (!*text)
        return Received::noMemory;
    if (!receiveExactly(text->get(), *length))
        return Received::failed;
    text->get()[*length] = 0;
    return Received::ok;
}

bool CReferenceRequest::deliver(const char* text, uint32_t length, char* buffer, uint32_t* size) {
    if (*size < length + 1)
        return false;
    *size = length + 1;
    std::memcpy(buffer, text, length + 1);
    return true;
}
