// CReferenceServer: a server that answers reference requests, for tests, demos
// and benchmarks (POSIX only).
//
// It publishes a map of factory names to object references. A request naming a
// published factory gets the reference and the configured second string; any
// other request is logged and the connection closed without a reply. Hostile
// clients are bounded: a name longer than kMaxNameLength is refused and every
// wait for request bytes ends after kClientWaitSeconds. Worker threads accept
// and serve connections one at a time each; stop() (or the destructor) ends
// them within a bounded time.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CReferenceServer {
public:
    static constexpr uint32_t kMaxNameLength = 64 * 1024;
    static constexpr int kClientWaitSeconds = 10;

    using References = std::map<std::string, std::string>;

    struct Options {
        std::string host = "127.0.0.1";
        uint16_t port = 13000; // 0 picks a free port
        References references;
        std::string second;       // the second reply string
        int workers = 4;          // connections served at the same time
        uint64_t maxRequests = 0; // stop after this many connections; 0: no limit
        std::function<void(const std::string&)> log; // one line per request, names escaped
    };

    explicit CReferenceServer(Options options);
    ~CReferenceServer();
    CReferenceServer(const CReferenceServer&) = delete;
    CReferenceServer& operator=(const CReferenceServer&) = delete;

    // Binds, listens and starts the workers. False with a reason on failure.
    bool start(std::string* error);
    uint16_t port() const { return m_port; }
    // Blocks until the server stops (after maxRequests, or stop()).
    void wait();
    void stop();

    // "NAME=REFERENCE" (the first '=' splits). False when there is no '='.
    static bool parseEntry(const std::string& text, std::string* name, std::string* reference);
    // Adds the entries of a file: one per line, blank lines and '#' lines skipped.
    static bool loadReferences(const std::string& path, References* references, std::string* error);

private:
    void work();
    void serve(int connection);
    void requestStop();

    Options m_options;
    int m_listener = -1;
    int m_wake[2] = {-1, -1};
    uint16_t m_port = 0;
    std::atomic<uint64_t> m_served{0};
    std::atomic<bool> m_stopping{false};
    std::vector<std::thread> m_workers;
    std::mutex m_mutex;
    std::condition_variable m_stopped;
};
