#include "testserver.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

TestServer::TestServer(Handler handler, const char* address, uint16_t port)
    : m_handler(std::move(handler)) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    ::inet_pton(AF_INET, address, &local.sin_addr);
    socklen_t size = sizeof local;
    if (fd < 0 || ::pipe2(m_wake, O_CLOEXEC) != 0 ||
        ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::listen(fd, 64) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size) != 0) {
        if (fd >= 0)
            ::close(fd);
        return;
    }
    m_listener = fd;
    m_port = ntohs(local.sin_port);
    m_acceptor = std::thread([this] { acceptLoop(); });
}

TestServer::~TestServer() {
    if (m_wake[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_wake[1], &byte, 1);
    }
    if (m_acceptor.joinable())
        m_acceptor.join();
    for (std::thread& handler : m_handlers)
        handler.join();
    for (int fd : {m_listener, m_wake[0], m_wake[1]}) {
        if (fd >= 0)
            ::close(fd);
    }
}

void TestServer::acceptLoop() {
    for (;;) {
        pollfd fds[2] = {{m_listener, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno == EINTR)
            continue;
        if (fds[1].revents != 0)
            return;
        sockaddr_in peer{};
        socklen_t size = sizeof peer;
        const int connection =
            ::accept4(m_listener, reinterpret_cast<sockaddr*>(&peer), &size, SOCK_CLOEXEC);
        if (connection < 0)
            continue;
        ++m_accepted;
        std::lock_guard lock(m_mutex);
        m_peers.emplace_back(peer.sin_addr.s_addr, peer.sin_port);
        m_acceptedChanged.notify_all();
        m_handlers.emplace_back([this, connection] {
            m_handler(connection);
            ::close(connection);
        });
    }
}

int TestServer::acceptedBeforeProbe() {
    sockaddr_in server{};
    socklen_t size = sizeof server;
    if (::getsockname(m_listener, reinterpret_cast<sockaddr*>(&server), &size) != 0)
        return -1;
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    size = sizeof local;
    if (probe < 0 || ::connect(probe, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0 ||
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&local), &size) != 0) {
        if (probe >= 0)
            ::close(probe);
        return -1;
    }
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
    ::close(probe);
    return before;
}

FullListener::FullListener() {
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof local;
    if (m_listener < 0 ||
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::listen(m_listener, 0) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&local), &size) != 0)
        return;
    m_port = ntohs(local.sin_port);
    for (int& filler : m_fillers) {
        filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        ::connect(filler, reinterpret_cast<sockaddr*>(&local), sizeof local);
    }
    // With a backlog of 0 the queue is full once one connection waits in it, and the
    // listener reads as ready from that moment.
    pollfd ready{m_listener, POLLIN, 0};
    m_full = ::poll(&ready, 1, 15000) == 1 && (ready.revents & POLLIN) != 0;
}

FullListener::~FullListener() {
    for (const int fd : m_fillers) {
        if (fd >= 0)
            ::close(fd);
    }
    if (m_listener >= 0)
        ::close(m_listener);
}

void TestServer::waitForClose(int connection, int timeoutMs) {
    pollfd fd{connection, POLLIN, 0};
    char scratch[4096];
    for (;;) {
        if (::poll(&fd, 1, timeoutMs) <= 0)
            return;
        if (::recv(connection, scratch, sizeof scratch, 0) <= 0)
            return;
    }
}

bool TestServer::readExactly(int connection, char* buffer, size_t length, int timeoutMs) {
    size_t got = 0;
    while (got < length) {
        pollfd fd{connection, POLLIN, 0};
        if (::poll(&fd, 1, timeoutMs) <= 0)
            return false;
        const ssize_t n = ::recv(connection, buffer + got, length - got, 0);
        if (n <= 0)
            return false;
        got += static_cast<size_t>(n);
    }
    return true;
}

bool TestServer::readRequest(int connection, std::string* name) {
    char field[4];
    if (!readExactly(connection, field, 4))
        return false;
    uint32_t length;
    std::memcpy(&length, field, 4);
    name->resize(ntohl(length));
    return readExactly(connection, name->data(), name->size());
}

bool TestServer::writeAll(int connection, const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(connection, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
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
    int count = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (const dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] != '.')
                ++count;
        }
        ::closedir(dir);
    }
    return count - 1; // the directory's own descriptor
}
