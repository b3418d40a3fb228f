// runChild on Windows: CreateProcess with pipes for the three standard streams.
#include "childprocess.h"

#include <windows.h>

#include <stdexcept>
#include <thread>

namespace {

// One argument as the C runtime's command-line parser reads it back.
std::string quoted(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos)
        return arg;
    std::string out = "\"";
    size_t backslashes = 0;
    for (const char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    return out + "\"";
}

// A pipe whose other end the child inherits.
void makePipe(HANDLE* read, HANDLE* write, bool childReads) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    if (!CreatePipe(read, write, &inherit, 0))
        throw std::runtime_error("CreatePipe failed");
    SetHandleInformation(childReads ? *write : *read, HANDLE_FLAG_INHERIT, 0);
}

void drain(HANDLE from, std::string* to) {
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(from, buffer, sizeof buffer, &n, nullptr) && n > 0)
        to->append(buffer, n);
}

} // namespace

ChildResult runChild(const std::vector<std::string>& argv, const std::string& input,
                     int timeoutSeconds) {
    HANDLE inRead, inWrite, outRead, outWrite, errRead, errWrite;
    makePipe(&inRead, &inWrite, true);
    makePipe(&outRead, &outWrite, false);
    makePipe(&errRead, &errWrite, false);
    std::string commandLine;
    for (const std::string& arg : argv)
        commandLine += (commandLine.empty() ? "" : " ") + quoted(arg);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process);
    CloseHandle(inRead);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    if (!started) {
        CloseHandle(inWrite);
        CloseHandle(outRead);
        CloseHandle(errRead);
        throw std::runtime_error("CreateProcess failed: " + commandLine);
    }
    CloseHandle(process.hThread);

    ChildResult result;
    std::thread out(drain, outRead, &result.out);
    std::thread err(drain, errRead, &result.err);
    DWORD written = 0;
    if (!input.empty())
        WriteFile(inWrite, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
    CloseHandle(inWrite);
    if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(timeoutSeconds) * 1000) ==
        WAIT_TIMEOUT) {
        TerminateProcess(process.hProcess, 128 + 9);
        WaitForSingleObject(process.hProcess, INFINITE);
    }
    out.join();
    err.join();
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    result.status = static_cast<int>(status);
    CloseHandle(process.hProcess);
    CloseHandle(outRead);
    CloseHandle(errRead);
    // Text-mode output: the comparisons are with "\n".
    for (std::string* text : {&result.out, &result.err}) {
        std::string plain;
        for (size_t i = 0; i < text->size(); ++i) {
            if (!((*text)[i] == '\r' && i + 1 < text->size() && (*text)[i + 1] == '\n'))
                plain += (*text)[i];
        }
        *text = plain;
    }
    return result;
}
