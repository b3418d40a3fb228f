#include "commandline.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

int finishOutput(const char* program, int status) {
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return status;
    const int error = errno;
    std::fprintf(stderr, "%s: cannot write the output: %s\n", program,
                 error != 0 ? std::strerror(error) : "write error");
    return kOutputError;
}

bool Arguments::next() {
    if (++m_index >= m_argc)
        return false;
    m_name = m_argv[m_index];
    m_hasInline = false;
    const size_t equals = m_name.find('=');
    if (m_name.rfind("--", 0) == 0 && equals != std::string::npos) {
        m_inline = m_name.substr(equals + 1);
        m_name.resize(equals);
        m_hasInline = true;
    }
    return true;
}

const char* Arguments::takeValue() {
    if (m_hasInline)
        return m_inline.c_str();
    if (m_index + 1 >= m_argc)
        return nullptr;
    return m_argv[++m_index];
}
