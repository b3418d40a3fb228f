// A hook that lets a program (in practice, the tests) see every event the front
// end hands on, in addition to the logger. One observer at a time; setting it is
// not synchronised with reporting threads, so set it before they start.
#pragma once

#include <cstdint>

class OString;
template <class T> class OXArray;

using OLogObserver = void (*)(void* context, uint16_t eventType, uint16_t category,
                              uint32_t messageId, const OXArray<OString>& strings);

// Installs `observer` (null removes it) and returns the previous one.
OLogObserver setLogObserver(OLogObserver observer, void* context);
