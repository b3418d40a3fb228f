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
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
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
    // How many connections were accepted before a probe connection of this call's own
    // (-1 if the probe was not accepted). The listen queue is first in, first out, so a
    // connection completed before the call is counted: a test that expects none waits for
    // the probe, not for a time in which one might have come.
    int acceptedBeforeProbe();

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
    std::condition_variable m_acceptedChanged;
    std::vector<std::thread> m_handlers;
    // Each accepted connection's peer (address, port), in the order accepted.
    std::vector<std::pair<uint32_t, uint16_t>> m_peers;
};

// A 127.0.0.1 listener that never accepts, with its queue full: a further connect's SYN is
// dropped, so that connect gets no answer at all. `full()` says whether the queue filled.
class FullListener {
public:
    FullListener();
    ~FullListener();
    FullListener(const FullListener&) = delete;
    FullListener& operator=(const FullListener&) = delete;

    bool full() const { return m_full; }
    uint16_t port() const { return m_port; }

private:
    SocketLibrary m_library;
    TestSocket m_listener = kNoSocket;
    TestSocket m_fillers[3] = {kNoSocket, kNoSocket, kNoSocket};
    uint16_t m_port = 0;
    bool m_full = false;
};

// Descriptors (on Windows: handles) this process has open.
int openDescriptorCount();
