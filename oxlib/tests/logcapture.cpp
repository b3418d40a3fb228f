#include "logcapture.h"

#include <oxlib/olog.h>
#include <oxlib/ostring.h>
#include <oxlib/oxarray.h>

LogCapture::LogCapture() {
    // The process's logger starts before the capture does, so what its start-up
    // reports (a missing message library, say) is never part of a test's events.
    logLevel();
    previous_ = setLogObserver(&LogCapture::record, this);
}

LogCapture::~LogCapture() {
    setLogObserver(nullptr, nullptr);
}

void LogCapture::record(void* self, uint16_t type, uint16_t category, uint32_t id,
                        const OXArray<OString>& strings) {
    auto* capture = static_cast<LogCapture*>(self);
    CapturedEvent event{type, category, id, {}};
    for (uint32_t i = 0; i < strings.getSize(); ++i)
        event.strings.emplace_back(strings[static_cast<int32_t>(i)].c_str());
    std::lock_guard lock(capture->mutex_);
    capture->events_.push_back(std::move(event));
    capture->recorded_.notify_all();
}

bool LogCapture::waitForEvents(size_t count, std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return recorded_.wait_for(lock, limit, [&] { return events_.size() >= count; });
}

std::vector<CapturedEvent> LogCapture::events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

std::vector<std::string> LogCapture::assertions() const {
    std::vector<std::string> out;
    for (const auto& e : events()) {
        if (e.id != kMsgAssertionFailed)
            continue;
        std::string text;
        for (size_t i = 0; i < e.strings.size(); ++i)
            text += (i ? ":" : "") + e.strings[i];
        out.push_back(text);
    }
    return out;
}

void LogCapture::clear() {
    std::lock_guard lock(mutex_);
    events_.clear();
}
