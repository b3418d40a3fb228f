// fetchorb-server: a reference server for tests and demos.
#include "commandline.h"
#include "creferenceserver.h"

#include <cstdio>
#include <ctime>
#include <string>

namespace {

const char* const kUsage =
    "Usage: fetchorb-server [OPTION]... [NAME=REFERENCE]...\n"
    "Answers reference requests: a request naming a published factory gets that\n"
    "factory's reference and the second string; any other request is closed\n"
    "without a reply. Each request is logged to standard error.\n"
    "\n"
    "  --host ADDR     IPv4 address to listen on (default 127.0.0.1)\n"
    "  --port N        TCP port (default 13000; 0 picks a free port)\n"
    "  --map FILE      read NAME=REFERENCE lines from FILE ('#' starts a comment)\n"
    "  --second TEXT   the second reply string (default: empty)\n"
    "  --count N       exit after N connections (default: serve until killed)\n"
    "  --workers N     connections served at the same time (default 4)\n"
    "  --quiet         do not log requests\n"
    "  --help          show this help\n"
    "\n"
    "Once listening it prints \"listening on ADDR:PORT\" on standard output.\n";

int usageError(const std::string& message) {
    return ::usageError("fetchorb-server", message);
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
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        unsigned long long number = 0;
        if (arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--quiet") {
            options.log = nullptr;
        } else if (arg == "--host" && value) {
            options.host = value;
            ++i;
        } else if (arg == "--port") {
            if (!parseNumber(value, 0, 65535, &number))
                return usageError("--port needs a number from 0 to 65535");
            options.port = static_cast<uint16_t>(number);
            ++i;
        } else if (arg == "--count" || arg == "--workers") {
            if (!parseNumber(value, 1, arg == "--workers" ? 256 : ~0ull, &number))
                return usageError(arg + " needs a positive number");
            if (arg == "--count")
                options.maxRequests = number;
            else
                options.workers = static_cast<int>(number);
            ++i;
        } else if (arg == "--second" && value) {
            options.second = value;
            ++i;
        } else if (arg == "--map" && value) {
            std::string error;
            if (!CReferenceServer::loadReferences(value, &options.references, &error))
                return usageError(error);
            ++i;
        } else if (arg.rfind("--", 0) == 0) {
            const bool known = arg == "--host" || arg == "--second" || arg == "--map";
            return usageError(known ? "option " + arg + " needs a value" : "unknown option " + arg);
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
    std::fflush(stdout);
    server.wait();
    server.stop();
    return 0;
}
