// The helper process of the system-services tests.
//
//   systemhelper write KEY COUNT TAG   writes COUNT values into KEY and into a key
//                                      shared by all writers, checking each
//   systemhelper write-report KEY      writes values 0, 1, 2 ... into KEY and
//                                      prints each index once it is committed
//   systemhelper load NAME             loads NAME with CSharedLibrary and prints
//                                      the events the log front end sees
// Every mode ends by itself: an alarm stops a helper its test has forgotten.
#include <oxlib/csharedlibrary.h>
#include <oxlib/olog.h>
#include <oxlib/ologobserver.h>
#include <oxlib/oregistry.h>
#include <oxlib/ostring.h>
#include <oxlib/oxarray.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace {

int write(const char* key, int count, const char* tag) {
    const ORegistry own(key, "Software\\Stress\\", HKEY_LOCAL_MACHINE);
    const ORegistry shared("Shared", "Software\\Stress\\", HKEY_LOCAL_MACHINE);
    for (int i = 0; i < count; ++i) {
        const std::string name = "V" + std::to_string(i);
        const std::string text = std::string(tag) + "-" + std::to_string(i);
        const std::string sharedName = std::string(tag) + "_" + std::to_string(i);
        if (!own.writeString(name.c_str(), text.c_str()) ||
            !shared.writeString(sharedName.c_str(), text.c_str())) {
            std::fprintf(stderr, "write %d failed\n", i);
            return 1;
        }
        if (!(own.readString(name.c_str()) == text.c_str()) ||
            !(shared.readString(sharedName.c_str()) == text.c_str())) {
            std::fprintf(stderr, "read-back %d failed\n", i);
            return 1;
        }
    }
    return 0;
}

int writeReport(const char* key) {
    const ORegistry reg(key, "Software\\Crash\\", HKEY_LOCAL_MACHINE);
    for (int i = 0; i < 1000000; ++i) {
        const std::string n = std::to_string(i);
        if (!reg.writeString(("V" + n).c_str(), ("value " + n).c_str()))
            return 1;
        std::printf("%d\n", i);
        std::fflush(stdout);
    }
    return 0;
}

void printEvent(void*, uint16_t type, uint16_t category, uint32_t id,
                const OXArray<OString>& strings) {
    std::printf("event %u %u %u", type, category, id);
    for (uint32_t i = 0; i < strings.getSize(); ++i)
        std::printf("|%s", strings[static_cast<int32_t>(i)].c_str());
    std::printf("\n");
}

int load(const char* name) {
    setLogObserver(&printEvent, nullptr);
    std::printf("level %u\n", logLevel());
    try {
        CSharedLibrary library(name);
        std::printf("loaded\n");
    } catch (const CSharedLibraryException& e) {
        std::printf("code %d|%s\n", e.GetCode(), e.GetDetail().c_str());
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
#if !defined(_WIN32) // on Windows the test's runChild ends a helper that outlives its time
    alarm(120);
#endif
    if (argc == 5 && std::strcmp(argv[1], "write") == 0)
        return write(argv[2], std::atoi(argv[3]), argv[4]);
    if (argc == 3 && std::strcmp(argv[1], "write-report") == 0)
        return writeReport(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "load") == 0)
        return load(argv[2]);
    std::fprintf(stderr,
                 "usage: systemhelper write KEY COUNT TAG | write-report KEY | load NAME\n");
    return 2;
}
