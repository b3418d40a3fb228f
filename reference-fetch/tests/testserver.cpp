#include "testserver.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dirent.h>
#endif

TestServer::TestServer(Handler handler, const char* address, uint16_t port)
    : m_handler(std::move(handler)) {
    const TestSocket s = testsocket::open();
    if (s == kNoSocket)
        return;
#if !defined(_WIN32)
    // On Windows this would let another socket take the port from under us.
    const int on = 1;
    ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
#endif
    m_address = testsocket::loopback(port, address);
    if (!testsocket::bind(s, &m_address) || !testsocket::listen(s, 64)) {
        testsocket::close(s);
        return;
    }
    m_listener = s;
    m_port = ntohs(m_address.sin_port);
    m_acceptor = std::thread([this] { acceptLoop(); });
}

TestServer::~TestServer() {
    if (m_acceptor.joinable()) {
        // The acceptor waits in accept: a connection of our own wakes it.
        m_stopping = true;
        const TestSocket waker = testsocket::open();
        testsocket::startConnect(waker, m_address);
        m_acceptor.join();
        testsocket::close(waker);
    }
    for (std::thread& handler : m_handlers)
        handler.join();
    if (m_listener != kNoSocket)
        testsocket::close(m_listener);
}

void TestServer::acceptLoop() {
    for (;;) {
        sockaddr_in peer{};
        const TestSocket connection = testsocket::accept(m_listener, &peer);
        if (m_stopping) {
            if (connection != kNoSocket)
                testsocket::close(connection);
            return;
        }
        if (connection == kNoSocket)
            continue;
        ++m_accepted;
        std::lock_guard lock(m_mutex);
        m_peers.emplace_back(peer.sin_addr.s_addr, peer.sin_port);
        m_acceptedChanged.notify_all();
        m_handlers.emplace_back([this, connection] {
            m_handler(connection);
            testsocket::close(connection);
        });
    }
}

int TestServer::acceptedBeforeProbe() {
    if (!listening())
        return -1;
    const TestSocket probe = testsocket::open();
    if (probe == kNoSocket)
        return -1;
    if (!testsocket::connect(probe, m_address)) {
        testsocket::close(probe);
        return -1;
    }
    const sockaddr_in local = testsocket::localAddress(probe);
    const std::pair<uint32_t, uint16_t> self(local.sin_addr.s_addr, local.sin_port);
    int before = -1;
    std::unique_lock lock(m_mutex);
    m_acceptedChanged.wait_for(lock, std::chrono::seconds(15), [&] {
        const auto found = std::find(m_peers.begin(), m_peers.end(), self);
        if (found == m_peers.end())
            return false;
        before = static_cast<int>(found - m_peers.begin());
        return true;
    });
    lock.unlock();
    // The handler sees the probe end at once.
    testsocket::close(probe);
    return before;
}

FullListener::FullListener() {
    const TestSocket s = testsocket::open();
    if (s == kNoSocket)
        return;
    m_listener = s;
    sockaddr_in local = testsocket::loopback();
    if (!testsocket::bind(s, &local) || !testsocket::listen(s, 0))
        return;
    m_port = ntohs(local.sin_port);
    for (TestSocket& filler : m_fillers) {
        filler = testsocket::open(true);
        if (filler != kNoSocket)
            testsocket::startConnect(filler, local);
    }
    // With a backlog of 0 the queue is full once one connection waits in it, and the
    // listener reads as ready from that moment.
    m_full = testsocket::waitReadable(s, 15000);
}

FullListener::~FullListener() {
    for (const TestSocket filler : m_fillers) {
        if (filler != kNoSocket)
            testsocket::close(filler);
    }
    if (m_listener != kNoSocket)
        testsocket::close(m_listener);
}

void TestServer::waitForClose(TestSocket connection, int timeoutMs) {
    char scratch[4096];
    while (testsocket::waitReadable(connection, timeoutMs)) {
        if (testsocket::recv(connection, scratch, sizeof scratch) <= 0)
            return;
    }
}

bool TestServer::readExactly(TestSocket connection, char* buffer, size_t length, int timeoutMs) {
    size_t got = 0;
    while (got < length) {
        if (!testsocket::waitReadable(connection, timeoutMs))
            return false;
        const long n = testsocket::recv(connection, buffer + got, length - got);
        if (n <= 0)
            return false;
        got += static_cast<size_t>(n);
    }
    return true;
}

bool TestServer::readRequest(TestSocket connection, std::string* name) {
    char field[4];
    if (!readExactly(connection, field, 4))
        return false;
    uint32_t length;
    std::memcpy(&length, field, 4);
    name->resize(ntohl(length));
    return readExactly(connection, name->data(), name->size());
}

bool TestServer::writeAll(TestSocket connection, const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
        const long n = testsocket::send(connection, data.data() + sent, data.size() - sent);
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

std::string TestServer::lengthField(uint32_t length) {
    const uint32_t wire = htonl(length);
    return std::string(reinterpret_cast<const char*>(&wire), 4);
}

std::string TestServer::framed(const std::string& text) {
    return lengthField(static_cast<uint32_t>(text.size())) + text;
}

int openDescriptorCount() {
#if defined(_WIN32)
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return static_cast<int>(count);
#else
    int count = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (const dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] != '.')
                ++count;
        }
        ::closedir(dir);
    }
    return count - 1; // the directory's own descriptor
#endif
}
