// The library's exports: Fetchorb and DllEntryPoint, with C linkage.
#define FETCHORB_BUILDING
#include "fetchorb.h"

#include "creferencerequest.h"

#if defined(_WIN32)
#include <windows.h>
#endif

static_assert(CReferenceRequest::kMaxReplyLength == FETCHORB_MAX_REPLY_LENGTH,
              "the header states the reply cap the exchange enforces");

extern "C" FETCHORB_API int32_t FETCHORB_CALL Fetchorb(const char* host, int32_t port,
                                                       const char* factoryName, char* firstBuffer,
                                                       uint32_t* firstSize, char* secondBuffer,
                                                       uint32_t* secondSize) {
    // Without somewhere to put the reference the call could only crash later.
    if (firstBuffer == nullptr || firstSize == nullptr)
        return FETCHORB_FAILED;
    try {
        CReferenceRequest request(host != nullptr ? host : FETCHORB_DEFAULT_HOST,
                                  static_cast<uint16_t>(port != 0 ? port : FETCHORB_DEFAULT_PORT),
                                  factoryName != nullptr ? factoryName : FETCHORB_DEFAULT_FACTORY);
        return request.run(firstBuffer, firstSize, secondBuffer, secondSize);
    } catch (...) {
        // Nothing may unwind into a C caller.
        return FETCHORB_FAILED;
    }
}

extern "C" FETCHORB_API int32_t FETCHORB_CALL DllEntryPoint(void*, uint32_t, void*) {
    return 1;
}

#if defined(_WIN32)
// The loader's notifications. The C runtime's start-up code has built the
// library's static objects (in the order ostatics.cpp gives) before this runs
// for the process's attach, and destroys them in reverse after it runs for the
// detach. Nothing here needs to hear of threads starting and ending, so those
// notifications are switched off.
extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        DisableThreadLibraryCalls(module);
    return TRUE;
}
#endif
