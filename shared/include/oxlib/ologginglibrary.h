// The entry points of a logging library: what the logger (ologimp) calls in a
// library that the registry names under
// HKLM\Software\Corvane Software\Corvane Logging\<any sub-key> "DLLPath".
//
// A library must export all seven names, with C linkage and the platform's
// standard calling convention (on 32-bit Windows the called function removes
// its arguments). Every argument takes one 32-bit slot on 32-bit Windows: the
// event type and the category are 16-bit values passed zero-extended. Texts
// are valid only during the call. A nonzero result is success. Error and
// Error2 may be called from several threads at once; Init comes first, once,
// and Term last, once, before the library is unloaded.
//
//   GetDLLVersion()                         never called by the logger
//   Init(initFlag = 1, host program's full path, null)
//   Error(type, category, id, count, strings)  every event but 33009 and 33011,
//                                           with its insertion strings
//   Error2(type, category, id, text)        the same events, right after Error,
//                                           with the formatted message text; in
//                                           a library whose path contains
//                                           "pxlogger" also assertion reports
//                                           (33009) and traces (33011)
//   Audit(), Audit2()                       never called by the logger
//   Term()
#pragma once

#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define OX_LOGAPI __stdcall
#else
#define OX_LOGAPI
#endif

#if defined(_WIN32)
#define OX_LOGGING_EXPORT extern "C" __declspec(dllexport)
#else
#define OX_LOGGING_EXPORT extern "C" __attribute__((visibility("default")))
#endif

using OXLogGetDLLVersion = int32_t(OX_LOGAPI*)();
using OXLogInit = int32_t(OX_LOGAPI*)(uint32_t initFlag, const char* hostPath, void* reserved);
using OXLogError = int32_t(OX_LOGAPI*)(uint32_t eventType, uint32_t category, uint32_t messageId,
                                       uint32_t count, const char** strings);
using OXLogError2 = int32_t(OX_LOGAPI*)(uint32_t eventType, uint32_t category, uint32_t messageId,
                                        const char* text);
using OXLogAudit = int32_t(OX_LOGAPI*)();
using OXLogAudit2 = int32_t(OX_LOGAPI*)();
using OXLogTerm = int32_t(OX_LOGAPI*)();
