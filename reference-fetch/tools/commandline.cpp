#include "commandline.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

int usageError(const char* program, const std::string& message) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", program, message.c_str(), program);
    return kUsageError;
}

bool parseNumber(const char* text, unsigned long long min, unsigned long long max,
                 unsigned long long* value) {
    if (text == nullptr || *text < '0' || *text > '9')
        return false;
    char* end = nullptr;
    errno = 0;
    *value = std::strtoull(text, &end, 10);
    return errno == 0 && *end == 0 && *value >= min && *value <= max;
}
