#include "programstrings.h"

#include <atomic>
#include <string>

namespace {

std::atomic<bool> g_fallbackTemplate{false};
std::atomic<const char*> g_settable{nullptr};

} // namespace

void setProgramFallbackTemplate(bool present) {
    g_fallbackTemplate = present;
}

uint32_t setProgramTemplate(const char* text) {
    g_settable = text;
    return kProgramSettableId;
}

extern "C" __attribute__((visibility("default"))) const char* oxStringTable(uint32_t id) {
    static const std::string longText(300, 'L');
    switch (id) {
    case kProgramOnlyId:
        return "Only the program knows this text.";
    case kProgramLongId:
        return longText.c_str();
    case kProgramConnectionId:
        return "Connection to %1 failed: %2";
    case kProgramLinesId:
        return "%1";
    case kProgramSettableId:
        return g_settable;
    case 34405:
        return g_fallbackTemplate ? "No text for message %1 (%2 strings)." : nullptr;
    default:
        return nullptr;
    }
}
