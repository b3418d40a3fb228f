// fetchorb: fetch an object reference from the command line.
#include "commandline.h"

#include <fetchorb.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char* const kUsage =
    "Usage: fetchorb [--host HOST] [--port PORT] [--name FACTORY] [--buffer-size BYTES]\n"
    "Fetches the object reference that a server publishes under a factory name and\n"
    "prints the reference and the server's second string, one per line.\n"
    "\n"
    "  --host HOST          dotted IPv4 address or host name (default 127.0.0.1)\n"
    "  --port PORT          TCP port, 1 to 65535 (default 13000)\n"
    "  --name FACTORY       factory name to ask for (default TavikClassFactory)\n"
    "  --buffer-size BYTES  capacity of each result buffer, terminator included\n"
    "                       (default: room for the longest reply accepted)\n"
    "  --help               show this help\n"
    "\n"
    "Exit status: 0 fetched; 1 a buffer was too small; 2 the fetch failed;\n"
    "64 the command line was wrong.\n";

int usageError(const std::string& message) {
    return ::usageError("fetchorb", message);
}

} // namespace

int main(int argc, char** argv) {
    const char* host = nullptr;
    const char* name = nullptr;
    int32_t port = 0;
    unsigned long long bufferSize = FETCHORB_MAX_REPLY_LENGTH + 1ull;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        unsigned long long number = 0;
        if (arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg != "--host" && arg != "--port" && arg != "--name" && arg != "--buffer-size")
            return usageError("unknown argument '" + arg + "'");
        if (value == nullptr)
            return usageError("option " + arg + " needs a value");
        ++i;
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
            bufferSize = number;
        }
    }

    std::vector<char> first(bufferSize), second(bufferSize);
    uint32_t firstSize = static_cast<uint32_t>(bufferSize);
    uint32_t secondSize = static_cast<uint32_t>(bufferSize);
    const int32_t result =
        Fetchorb(host, port, name, first.data(), &firstSize, second.data(), &secondSize);
    switch (result) {
    case FETCHORB_OK:
        std::fwrite(first.data(), 1, firstSize - 1, stdout);
        std::fputc('\n', stdout);
        std::fwrite(second.data(), 1, secondSize - 1, stdout);
        std::fputc('\n', stdout);
        break;
    case FETCHORB_BUFFER_TOO_SMALL:
        std::fprintf(stderr, "fetchorb: a reply string does not fit in %llu bytes\n", bufferSize);
        break;
    default:
        std::fprintf(stderr, "fetchorb: the fetch failed (no server, no host, or no complete "
                             "reply in time)\n");
        break;
    }
    return result;
}
