// GetTickCount64 for MinGW's thread library (winpthread), which imports it for its
// timed waits. Windows XP has no such function, and a DLL importing it does not
// load there; this definition of the import slot takes the place of the import.
// It calls the system's own where there is one, and otherwise widens GetTickCount,
// which wraps every 49.7 days, by counting the wraps it sees between calls (so
// two calls more than 49.7 days apart lose one; the thread library only times
// its waits with it).
//
// Linked as an object of each module (never from a static library), so the slot
// is defined before the thread library's reference to it is resolved.
#include <windows.h>

#include <atomic>
#include <cstdint>

namespace {

using TickCount64 = ULONGLONG(WINAPI*)();

// The wraps seen so far in the high half, the last tick count in the low half.
std::atomic<uint64_t> g_widened{0};

ULONGLONG WINAPI widenedTickCount() {
    uint64_t last = g_widened.load();
    for (;;) {
        const DWORD now = GetTickCount();
        uint64_t wraps = last >> 32;
        if (now < static_cast<DWORD>(last))
            ++wraps;
        const uint64_t next = wraps << 32 | now;
        if (g_widened.compare_exchange_weak(last, next))
            return next;
    }
}

ULONGLONG WINAPI tickCount64() {
    static const TickCount64 system = reinterpret_cast<TickCount64>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount64")));
    return system ? system() : widenedTickCount();
}

} // namespace

extern "C" {
#if defined(_WIN64)
TickCount64 ox_GetTickCount64_slot __asm__("__imp_GetTickCount64") = tickCount64;
#else
TickCount64 ox_GetTickCount64_slot __asm__("__imp__GetTickCount64@0") = tickCount64;
#endif
}
