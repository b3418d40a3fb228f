// fetchorb-server: a reference server for tests and demos.
#include "commandline.h"
#include "creferenceserver.h"

#include <cstdio>
#include <ctime>
#include <string>

namespace {

const char* const kProgram = "fetchorb-server";

const char* const kUsage =
    "Usage: fetchorb-server [OPTION]... [NAME=REFERENCE]...\n"
    "Answers reference requests: a request naming a published factory gets that\n"
    "factory's reference and the second string; any other request is closed\n"
    "without a reply. Each request is logged to standard error, with the bytes of\n"
    "a requested name outside printable ASCII written as \\xHH.\n"
    "\n"
    "  --host ADDR     IPv4 address to listen on (default 127.0.0.1)\n"
    "  --port N        TCP port (default 13000; 0 picks a free port)\n"
    "  --map FILE      read NAME=REFERENCE lines from FILE ('#' starts a comment)\n"
    "  --second TEXT   the second reply string (default: empty)\n"
    "  --count N       exit after N connections (default: serve until killed)\n"
    "  --workers N     connections served at the same time, 1 to 256 (default 4)\n"
    "  --quiet         do not log requests\n"
    "  -h, --help      show this help\n"
    "  --version       show the version\n"
    "An option's value may also follow an equals sign: --port=13000.\n"
    "\n"
    "Once listening it prints \"listening on ADDR:PORT\" on standard output.\n"
    "\n"
    "Exit status: 0 once --count connections are served; 1 the server could not\n"
    "start; 64 the command line was wrong; 74 the output could not be written.\n";

constexpr unsigned long long kMaxWorkers = 256;

int usageError(const std::string& message) {
    return ::usageError(kProgram, message);
}

void logLine(const std::string& line) {
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::fprintf(stderr, "%s %s\n", stamp, line.c_str());
}

} // namespace

int main(int argc, char** argv) {
    CReferenceServer::Options options;
    options.log = logLine;
    Arguments args(argc, argv);
    while (args.next()) {
        const std::string& arg = args.name();
        unsigned long long number = 0;
        const bool flag = arg == "--help" || arg == "-h" || arg == "--version" || arg == "--quiet";
        if (flag && args.hasInlineValue())
            return usageError("option " + arg + " takes no value");
        if (arg == "--help" || arg == "-h" || arg == "--version") {
            std::fputs(arg == "--version" ? "fetchorb-server " FETCHORB_VERSION "\n" : kUsage,
                       stdout);
            return finishOutput(kProgram, 0);
        } else if (arg == "--quiet") {
            options.log = nullptr;
        } else if (arg == "--host" || arg == "--port" || arg == "--count" || arg == "--workers" ||
                   arg == "--second" || arg == "--map") {
            const char* value = args.takeValue();
            if (value == nullptr)
                return usageError("option " + arg + " needs a value");
            if (arg == "--host") {
                options.host = value;
            } else if (arg == "--port") {
                if (!parseNumber(value, 0, 65535, &number))
                    return usageError("--port needs a number from 0 to 65535");
                options.port = static_cast<uint16_t>(number);
            } else if (arg == "--count") {
                if (!parseNumber(value, 1, ~0ull, &number))
                    return usageError("--count needs a positive number");
                options.maxRequests = number;
            } else if (arg == "--workers") {
                if (!parseNumber(value, 1, kMaxWorkers, &number))
                    return usageError("--workers needs a number from 1 to " +
                                      std::to_string(kMaxWorkers));
                options.workers = static_cast<int>(number);
            } else if (arg == "--second") {
                options.second = value;
            } else {
                std::string error;
                if (!CReferenceServer::loadReferences(value, &options.references, &error))
                    return usageError(error);
            }
        } else if (arg.rfind("--", 0) == 0) {
            return usageError("unknown option " + arg);
        } else {
            std::string name, reference;
            if (!CReferenceServer::parseEntry(arg, &name, &reference))
                return usageError("expected NAME=REFERENCE, got '" + arg + "'");
            options.references[name] = reference;
        }
    }
    if (options.references.empty())
        return usageError("no references to publish (give NAME=REFERENCE or --map FILE)");

    const std::string host = options.host;
    CReferenceServer server(std::move(options));
    std::string error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "fetchorb-server: %s\n", error.c_str());
        return 1;
    }
    std::printf("listening on %s:%u\n", host.c_str(), static_cast<unsigned>(server.port()));
    if (const int status = finishOutput(kProgram, 0); status != 0) {
        server.stop();
        return status;
    }
    server.wait();
    server.stop();
    return 0;
}
