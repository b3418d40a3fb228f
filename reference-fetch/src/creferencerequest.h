// CReferenceRequest: one reference-request exchange with a server, start to end.
//
// It starts WinSock, connects, sends the factory name, receives the two reply
// strings and copies them into the caller's buffers; its destructor closes the
// socket and balances the start-up, so every path out of run() cleans up. A
// request object serves one call and is not shared between threads.
//
// Hostile servers are bounded: the connect lasts at most kConnectTimeoutSeconds
// (and its one-second pause), every send waits at most kSendWaitSeconds for the
// server to take bytes, every wait for reply bytes lasts at most
// kReplyWaitSeconds, and a reply string longer than kMaxReplyLength ends the
// call before anything is allocated for it.
#pragma once

#include "coxsocket.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

class CReferenceRequest {
public:
    static constexpr int32_t resultOk = 0;
    static constexpr int32_t resultTooSmall = 1;
    static constexpr int32_t resultFailed = 2;

    static constexpr int16_t kConnectTimeoutSeconds = 5;
    static constexpr int16_t kConnectRetryLimit = 0;
    static constexpr int32_t kSendWaitSeconds = 10;
    static constexpr int32_t kReplyWaitSeconds = 10;
    static constexpr uint32_t kMaxReplyLength = 16u * 1024u * 1024u;

    // The texts must stay valid for the life of the object.
    CReferenceRequest(const char* host, uint16_t port, const char* factoryName);
    ~CReferenceRequest();
    CReferenceRequest(const CReferenceRequest&) = delete;
    CReferenceRequest& operator=(const CReferenceRequest&) = delete;

    // Runs the exchange once. `firstBuffer` and `firstSize` must be non-null; a
    // null `secondBuffer` or `secondSize` discards the second string.
    int32_t run(char* firstBuffer, uint32_t* firstSize, char* secondBuffer, uint32_t* secondSize);

private:
    struct FreeBytes {
        void operator()(char* p) const { std::free(p); }
    };
    using Bytes = std::unique_ptr<char, FreeBytes>;

    enum class Received { ok, failed, noMemory };

    bool resolve(uint32_t* address) const;
    bool connect(uint32_t address) const;
    bool sendRequest() const;
    bool sendAll(const char* data, uint32_t length) const;
    bool receiveExactly(char* buffer, uint32_t length) const;
    Received receiveString(Bytes* text, uint32_t* length) const;
    // Copies the string and its terminator when the buffer holds them.
    static bool deliver(const char* text, uint32_t length, char* buffer, uint32_t* size);

    const char* m_host;
    uint16_t m_port;
    const char* m_factoryName;
    bool m_started = false;
    COXSocket::Socket m_socket = COXSocket::invalidSocket;
};
