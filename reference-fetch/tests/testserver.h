// TestServer: a TCP server on a 127.0.0.1 (or other loopback) port for tests,
// on Linux and on Windows alike (see testsocket.h).
//
// Each accepted connection is handed to the test's handler on a thread of its
// own. The destructor stops accepting and joins the handlers, which must end by
// themselves in bounded time, so a test never leaves a server behind. Port 0
// (the default) takes a free port, so tests can run in parallel.
#pragma once

#include "testsocket.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TestServer {
public:
    using Handler = std::function<void(TestSocket connection)>;

    explicit TestServer(Handler handler, const char* address = "127.0.0.1", uint16_t port = 0);
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    bool listening() const { return m_listener != kNoSocket; }
    uint16_t port() const { return m_port; }
    int accepted() const { return m_accepted.load(); }

    // Reads a whole request (length field and name); false if it did not arrive.
    static bool readRequest(TestSocket connection, std::string* name);
    static bool readExactly(TestSocket connection, char* buffer, size_t length,
                            int timeoutMs = 15000);
    static bool writeAll(TestSocket connection, const std::string& data);
    // A string as it goes on the wire: 4-byte big-endian length, then the bytes.
    static std::string framed(const std::string& text);
    static std::string lengthField(uint32_t length);
    // Blocks until the peer closes the connection or `timeoutMs` passes.
    static void waitForClose(TestSocket connection, int timeoutMs = 20000);

private:
    void acceptLoop();

    SocketLibrary m_library;
    Handler m_handler;
    TestSocket m_listener = kNoSocket;
    sockaddr_in m_address{};
    uint16_t m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_accepted{0};
    std::thread m_acceptor;
    std::mutex m_mutex;
    std::vector<std::thread> m_handlers;
};

// Descriptors (on Windows: handles) this process has open.
int openDescriptorCount();
