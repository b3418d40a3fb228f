/* fetchorb.h: fetch an object reference from a server, from C or C++.
 *
 * One call of Fetchorb opens a TCP connection to the server, sends a factory
 * name and copies the two strings the server answers with into buffers the
 * caller owns. Each call is complete in itself and keeps nothing afterwards;
 * several threads may call it at once.
 *
 * The exchange: the request is a 4-byte big-endian length N followed by the N
 * bytes of the factory name (no terminator). The reply is two strings, each a
 * 4-byte big-endian length followed by that many bytes; the first is the object
 * reference, the second is passed through without interpretation. Bytes are
 * delivered unchanged, followed by a terminating zero. A reply string longer than
 * FETCHORB_MAX_REPLY_LENGTH bytes is refused (result FETCHORB_FAILED).
 *
 * Time limits. The host look-up takes what the system resolver takes. The
 * connection is tried once: refused, or with no answer within 5 seconds, it is
 * followed by a pause of about one second and the call fails (so about 6 seconds
 * at most). Then every wait for the server lasts at most 10 seconds: each send
 * that the server takes nothing of, and each wait for reply data. These bound
 * each step, not the call: a server that keeps taking or sending a byte every
 * 9 seconds is slow, not failing, and keeps the call for as long as the request
 * and the reply (up to twice FETCHORB_MAX_REPLY_LENGTH bytes) last. A server
 * that stops altogether ends the call within 10 seconds of its last byte.
 */
#ifndef FETCHORB_H
#define FETCHORB_H

#include <stdint.h>

#if defined(_WIN32)
#define FETCHORB_CALL __stdcall
#if defined(FETCHORB_BUILDING)
#define FETCHORB_API
#else
#define FETCHORB_API __declspec(dllimport)
#endif
#else
#define FETCHORB_CALL
#define FETCHORB_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes of Fetchorb. */
#define FETCHORB_OK 0               /* both strings received, and copied where asked */
#define FETCHORB_BUFFER_TOO_SMALL 1 /* a caller buffer was too small for its string */
#define FETCHORB_FAILED 2           /* no connection, no (complete) reply, or no memory */

/* Defaults used for a null host, a port of 0 and a null factory name. */
#define FETCHORB_DEFAULT_HOST "127.0.0.1"
#define FETCHORB_DEFAULT_PORT 13000
#define FETCHORB_DEFAULT_FACTORY "TavikClassFactory"

/* The longest reply string accepted, in bytes (16 MiB). */
#define FETCHORB_MAX_REPLY_LENGTH (16u * 1024u * 1024u)

/* Fetches the object reference published under `factoryName`.
 *
 * host         dotted IPv4 address or host name; null: "127.0.0.1". A dotted
 *              address must have a reverse (address-to-name) entry, or the
 *              call fails.
 * port         server TCP port in host byte order; only the low 16 bits are
 *              used; 0: 13000.
 * factoryName  the name sent to the server; null: "TavikClassFactory". An
 *              empty name is sent as a zero length.
 * firstBuffer  receives the object reference followed by a zero byte. Must not
 *              be null (the call then fails at once).
 * firstSize    in: capacity of firstBuffer in bytes; out: bytes stored,
 *              terminator included. Must not be null.
 * secondBuffer receives the second string followed by a zero byte; when it or
 *              secondSize is null the second string is received and discarded.
 * secondSize   as firstSize, for secondBuffer.
 *
 * Returns FETCHORB_OK, FETCHORB_BUFFER_TOO_SMALL or FETCHORB_FAILED. A buffer
 * that is too small is left untouched and its size unchanged, while a string
 * that fits is still copied; the size that would have been needed is not
 * reported. On FETCHORB_FAILED nothing was copied, except a first string that
 * had already been received in full. */
FETCHORB_API int32_t FETCHORB_CALL Fetchorb(const char* host, int32_t port, const char* factoryName,
                                            char* firstBuffer, uint32_t* firstSize,
                                            char* secondBuffer, uint32_t* secondSize);

/* The library's entry point for the Windows loader; does nothing and returns 1
 * (true). Exported on every platform for callers that look it up. */
FETCHORB_API int32_t FETCHORB_CALL DllEntryPoint(void* module, uint32_t reason, void* reserved);

#ifdef __cplusplus
}
#endif

#endif /* FETCHORB_H */
