// Records every event the log front end hands on while it is alive, so tests can
// assert which reports a piece of code made.
#pragma once

#include <oxlib/ologobserver.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

struct CapturedEvent {
    uint16_t type;
    uint16_t category;
    uint32_t id;
    std::vector<std::string> strings;
};

class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<CapturedEvent> events() const;
    // Waits until at least `count` events have been recorded, or `limit` has passed;
    // true if they were. For code that reports from another thread.
    bool waitForEvents(size_t count, std::chrono::milliseconds limit) const;
    // Assertion reports (id 33009) as "file:line:expression".
    std::vector<std::string> assertions() const;
    void clear();

private:
    static void record(void* self, uint16_t type, uint16_t category, uint32_t id,
                       const OXArray<OString>& strings);
    mutable std::mutex mutex_;
    mutable std::condition_variable recorded_;
    std::vector<CapturedEvent> events_;
    OLogObserver previous_;
};
