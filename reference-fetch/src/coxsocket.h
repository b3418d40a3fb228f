// COXSocket: a thin, stateless layer over WinSock for the reference fetch.
//
// Every operation is static and takes the socket as an argument; the layer owns
// no socket. Most operations pass straight through. Its own rules are three:
// start-up and clean-up balance WinSock's count, connectNonBlocking retries
// refused attempts with a one-second pause, and the readiness waits treat the
// transient errors (10004, 10035, 10036) as a reason to wait again. Debug traces
// are written only when logLevel() is greater than 255.
#pragma once

#include <oxlib/ostring.h>

#include "sys/osyssocket.h"

#include <cstdint>

class COXSocket {
public:
    using Socket = oxsys::Socket;

    static constexpr Socket invalidSocket = oxsys::kInvalidSocket;
    static constexpr int32_t socketError = oxsys::kSocketError;

    COXSocket() = delete;

    // WinSock start-up, version 2.0 requested. False (with a trace) on failure.
    static bool startup();
    // Releases one start-up: repeats WSACleanup until it succeeds or WinSock
    // says it is not started, cancelling a blocking call that stands in the way.
    static void cleanup();

    static Socket create(int32_t family, int32_t type, int32_t protocol);

    // Connects with up to `retryLimit` + 1 attempts (-1: no limit). A refused or
    // interrupted attempt, or one with no answer within `timeout` seconds, is
    // followed by a one-second pause, the last one too. Any other error ends at
    // once. True when the socket is connected. The socket stays blocking: its
    // send timeout is set to `timeout` (unless it is -1), which bounds a blocking
    // connect where the system lets it (POSIX) and is left so for the caller to
    // change.
    static bool connectNonBlocking(Socket socket, const oxsys::SocketAddress* address,
                                   int32_t length, int16_t timeout, int16_t retryLimit);

    static int32_t select(int32_t count, oxsys::SocketSet* readSet, oxsys::SocketSet* writeSet,
                          oxsys::SocketSet* errorSet, const oxsys::SocketTimeout* timeout);
    static int32_t read(Socket socket, char* buffer, int32_t length, int32_t flags);
    static int32_t write(Socket socket, const char* data, int32_t length, int32_t flags);
    static int32_t shutdown(Socket socket, int32_t how);
    // SO_SNDTIMEO: a blocking send that hands nothing over within `seconds`
    // fails with 10060 (WSAETIMEDOUT). 0 removes the limit.
    static int32_t setSendTimeout(Socket socket, int32_t seconds);
    static int32_t close(Socket socket);

    static int32_t lastError();
    // "WSA" and the calling thread's last WinSock error in decimal ("WSA10061").
    static OString lastErrorText();

    // Waits up to `timeout` seconds (-1: no limit) until the socket is readable
    // or writable: 1 ready, 0 timed out, -1 error. A wait that a signal
    // interrupts goes on to the same deadline.
    static int32_t waitReadable(Socket socket, int32_t timeout);
    static int32_t waitWritable(Socket socket, int32_t timeout);

    // Errors after which the same step is simply tried again.
    static bool isTransient(int32_t error) {
        return error == oxsys::kWsaEintr || error == oxsys::kWsaEwouldblock ||
               error == oxsys::kWsaEinprogress;
    }

private:
    static int32_t waitFor(Socket socket, int32_t timeout, bool forWriting);
};
