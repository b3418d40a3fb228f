// fetchorb: fetch an object reference from the command line.
#include "commandline.h"

#include <fetchorb.h>

#include <cstdio>
#include <memory>
#include <new>
#include <string>

namespace {

const char* const kProgram = "fetchorb";

const char* const kUsage =
    "Usage: fetchorb [--host HOST] [--port PORT] [--name FACTORY] [--buffer-size BYTES]\n"
    "Fetches the object reference that a server publishes under a factory name and\n"
    "prints the reference and the server's second string, one per line.\n"
    "\n"
    "  --host HOST          dotted IPv4 address or host name (default 127.0.0.1)\n"
    "  --port PORT          TCP port, 1 to 65535 (default 13000)\n"
    "  --name FACTORY       factory name to ask for (default TavikClassFactory)\n"
    "  --buffer-size BYTES  the largest capacity to give each result buffer,\n"
    "                       terminator included (default: room for the longest\n"
    "                       reply accepted); smaller buffers are tried first\n"
    "  -h, --help           show this help\n"
    "  --version            show the version\n"
    "An option's value may also follow an equals sign: --port=13000.\n"
    "\n"
    "Exit status: 0 fetched; 1 a reply string does not fit in BYTES; 2 the fetch\n"
    "failed, or no buffer could be allocated; 64 the command line was wrong;\n"
    "74 the output could not be written.\n";

// The first capacity tried; a reply that does not fit asks again with one
// kGrowth times larger, up to the cap.
constexpr unsigned long long kFirstCapacity = 4096;
constexpr unsigned long long kGrowth = 16;

int usageError(const std::string& message) {
    return ::usageError(kProgram, message);
}

} // namespace

int main(int argc, char** argv) {
    const char* host = nullptr;
    const char* name = nullptr;
    int32_t port = 0;
    unsigned long long cap = FETCHORB_MAX_REPLY_LENGTH + 1ull;
    Arguments args(argc, argv);
    while (args.next()) {
        const std::string& arg = args.name();
        if (arg == "--help" || arg == "-h" || arg == "--version") {
            if (args.hasInlineValue())
                return usageError("option " + arg + " takes no value");
            std::fputs(arg == "--version" ? "fetchorb " FETCHORB_VERSION "\n" : kUsage, stdout);
            return finishOutput(kProgram, 0);
        }
        if (arg != "--host" && arg != "--port" && arg != "--name" && arg != "--buffer-size")
            return usageError("unknown argument '" + arg + "'");
        const char* value = args.takeValue();
        if (value == nullptr)
            return usageError("option " + arg + " needs a value");
        unsigned long long number = 0;
        if (arg == "--host") {
            host = value;
        } else if (arg == "--name") {
            name = value;
        } else if (arg == "--port") {
            if (!parseNumber(value, 1, 65535, &number))
                return usageError("--port needs a number from 1 to 65535");
            port = static_cast<int32_t>(number);
        } else {
            if (!parseNumber(value, 1, UINT32_MAX, &number))
                return usageError("--buffer-size needs a number from 1 to 4294967295");
            cap = number;
        }
    }

    // Most replies are short: start small, and grow only when told a string
    // does not fit. Nothing is zero-filled; the export writes what it delivers.
    // No reply string is longer than the export accepts, so no larger buffer helps.
    const unsigned long long largest =
        cap < FETCHORB_MAX_REPLY_LENGTH + 1ull ? cap : FETCHORB_MAX_REPLY_LENGTH + 1ull;
    unsigned long long capacity = largest < kFirstCapacity ? largest : kFirstCapacity;
    for (;;) {
        std::unique_ptr<char[]> first(new (std::nothrow) char[capacity]);
        std::unique_ptr<char[]> second(first ? new (std::nothrow) char[capacity] : nullptr);
        if (!second) {
            std::fprintf(stderr, "%s: cannot allocate two buffers of %llu bytes\n", kProgram,
                         capacity);
            return FETCHORB_FAILED;
        }
        uint32_t firstSize = static_cast<uint32_t>(capacity);
        uint32_t secondSize = static_cast<uint32_t>(capacity);
        const int32_t result =
            Fetchorb(host, port, name, first.get(), &firstSize, second.get(), &secondSize);
        if (result == FETCHORB_BUFFER_TOO_SMALL && capacity < largest) {
            capacity = capacity > largest / kGrowth ? largest : capacity * kGrowth;
            continue;
        }
        switch (result) {
        case FETCHORB_OK:
            std::fwrite(first.get(), 1, firstSize - 1, stdout);
            std::fputc('\n', stdout);
            std::fwrite(second.get(), 1, secondSize - 1, stdout);
            std::fputc('\n', stdout);
            return finishOutput(kProgram, result);
        case FETCHORB_BUFFER_TOO_SMALL:
            std::fprintf(stderr, "%s: a reply string does not fit in %llu bytes\n", kProgram,
                         cap);
            return result;
        default:
            std::fprintf(stderr, "%s: the fetch failed (no server, no host, or no complete "
                                 "reply in time)\n",
                         kProgram);
            return result;
        }
    }
}
