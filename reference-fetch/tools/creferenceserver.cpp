#include "creferenceserver.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

enum class Wait { ready, timedOut, stopping };

// A client's bytes as the log shows them: printable ASCII as it is, anything
// else (control characters above all, which a terminal would obey) and the
// backslash as \xHH, so no client writes escape sequences into the log.
std::string loggable(const std::string& text) {
    static const char* const hex = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte >= 0x20 && byte < 0x7f && byte != '\\') {
            out += ch;
        } else {
            out += "\\x";
            out += hex[byte >> 4];
            out += hex[byte & 15];
        }
    }
    return out;
}

// Waits for `events` on `fd`, or for the wake pipe that stop() fills.
Wait waitFor(int fd, short events, int wake, int seconds) {
    pollfd fds[2] = {{fd, events, 0}, {wake, POLLIN, 0}};
    for (;;) {
        const int n = ::poll(fds, 2, seconds * 1000);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Wait::timedOut;
        if (fds[1].revents != 0)
            return Wait::stopping;
        return Wait::ready;
    }
}

bool readExactly(int fd, char* buffer, size_t length, int wake, int seconds) {
    size_t got = 0;
    while (got < length) {
        if (waitFor(fd, POLLIN, wake, seconds) != Wait::ready)
            return false;
        const ssize_t n = ::recv(fd, buffer + got, length - got, MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return false;
        got += static_cast<size_t>(n);
    }
    return true;
}

bool writeAll(int fd, const std::string& data, int wake, int seconds) {
    size_t sent = 0;
    while (sent < data.size()) {
        if (waitFor(fd, POLLOUT, wake, seconds) != Wait::ready)
            return false;
        const ssize_t n =
            ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

void appendFramed(std::string* out, const std::string& text) {
    const uint32_t length = htonl(static_cast<uint32_t>(text.size()));
    out->append(reinterpret_cast<const char*>(&length), sizeof length);
    out->append(text);
}

std::string peerText(int fd) {
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    char text[INET_ADDRSTRLEN] = "?";
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &size) == 0)
        ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(peer.sin_port));
}

} // namespace

CReferenceServer::CReferenceServer(Options options) : m_options(std::move(options)) {}

CReferenceServer::~CReferenceServer() {
    stop();
    for (int fd : {m_listener, m_wake[0], m_wake[1]}) {
        if (fd >= 0)
            ::close(fd);
    }
}

bool CReferenceServer::start(std::string* error) {
    in_addr address{};
    if (::inet_pton(AF_INET, m_options.host.c_str(), &address) != 1) {
        *error = "not an IPv4 address: " + m_options.host;
        return false;
    }
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_listener < 0 || ::pipe2(m_wake, O_CLOEXEC) != 0) {
        *error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    const int on = 1;
    ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(m_options.port);
    local.sin_addr = address;
    socklen_t size = sizeof local;
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::listen(m_listener, SOMAXCONN) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&local), &size) != 0) {
        *error =
            m_options.host + ":" + std::to_string(m_options.port) + ": " + std::strerror(errno);
        return false;
    }
    m_port = ntohs(local.sin_port);
    const int workers = m_options.workers > 0 ? m_options.workers : 1;
    for (int i = 0; i < workers; ++i)
        m_workers.emplace_back([this] { work(); });
    return true;
}

void CReferenceServer::wait() {
    std::unique_lock lock(m_mutex);
    m_stopped.wait(lock, [this] { return m_stopping.load(); });
}

void CReferenceServer::requestStop() {
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping.exchange(true))
            return;
    }
    // The pipe stays readable from now on, so every worker's poll sees it.
    const char byte = 1;
    if (m_wake[1] >= 0 && ::write(m_wake[1], &byte, 1) < 0) {
        // A full or closed pipe still leaves the workers to notice m_stopping.
    }
    m_stopped.notify_all();
}

void CReferenceServer::stop() {
    requestStop();
    for (std::thread& worker : m_workers) {
        if (worker.joinable())
            worker.join();
    }
    m_workers.clear();
}

void CReferenceServer::work() {
    while (!m_stopping.load()) {
        if (waitFor(m_listener, POLLIN, m_wake[0], 1) == Wait::stopping)
            return;
        const int connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) {
            if (errno == EMFILE || errno == ENFILE)
                ::usleep(10000); // out of descriptors: let the others finish first
            continue;
        }
        serve(connection);
        ::close(connection);
        const uint64_t served = ++m_served;
        if (m_options.maxRequests != 0 && served >= m_options.maxRequests)
            requestStop();
    }
}

void CReferenceServer::serve(int connection) {
    const int wait = kClientWaitSeconds;
    std::string line = peerText(connection) + " ";
    char field[4];
    std::string name;
    bool complete = readExactly(connection, field, sizeof field, m_wake[0], wait);
    if (complete) {
        uint32_t length;
        std::memcpy(&length, field, sizeof length);
        length = ntohl(length);
        if (length > kMaxNameLength) {
            line += "refused: a name of " + std::to_string(length) + " bytes";
            complete = false;
        } else {
            name.resize(length);
            complete = readExactly(connection, name.data(), length, m_wake[0], wait);
            if (!complete)
                line += "incomplete request";
        }
    } else {
        line += "no request";
    }

    if (complete) {
        line += "'" + loggable(name) + "': ";
        const auto found = m_options.references.find(name);
        if (found == m_options.references.end()) {
            line += "unknown factory, closed without a reply";
        } else {
            std::string reply;
            appendFramed(&reply, found->second);
            appendFramed(&reply, m_options.second);
            line += writeAll(connection, reply, m_wake[0], wait)
                        ? "sent a reference of " + std::to_string(found->second.size()) + " bytes"
                        : "the reply could not be sent";
        }
    }
    if (m_options.log) {
        std::lock_guard lock(m_mutex);
        m_options.log(line);
    }
}

bool CReferenceServer::parseEntry(const std::string& text, std::string* name,
                                  std::string* reference) {
    const size_t split = text.find('=');
    if (split == std::string::npos)
        return false;
    *name = text.substr(0, split);
    *reference = text.substr(split + 1);
    return true;
}

bool CReferenceServer::loadReferences(const std::string& path, References* references,
                                      std::string* error) {
    std::ifstream in(path);
    if (!in) {
        *error = path + ": " + std::strerror(errno);
        return false;
    }
    std::string text;
    for (int lineNumber = 1; std::getline(in, text); ++lineNumber) {
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        if (text.empty() || text[0] == '#')
            continue;
        std::string name, reference;
        if (!parseEntry(text, &name, &reference)) {
            *error = path + ":" + std::to_string(lineNumber) + ": expected NAME=REFERENCE";
            return false;
        }
        (*references)[name] = reference;
    }
    return true;
}
