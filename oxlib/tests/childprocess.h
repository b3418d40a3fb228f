// Runs a program of the test build as a child process (fork and exec; on
// Windows CreateProcess), with the test's environment, some text on its
// standard input and its output collected. A child that outlives its time
// limit is killed.
#pragma once

#include <string>
#include <vector>
#if !defined(_WIN32)
#include <sys/types.h>
#endif

struct ChildResult {
    int status = -1; // exit status; 128 + signal when killed
    std::string out;
    std::string err;
};

// Runs `argv` to its end (at most `timeoutSeconds`).
ChildResult runChild(const std::vector<std::string>& argv, const std::string& input = "",
                     int timeoutSeconds = 60);

#if !defined(_WIN32)
// A child whose standard output is read line by line while it runs.
class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The next line of output, false at its end or after `timeoutSeconds`.
    bool readLine(std::string& line, int timeoutSeconds = 30);
    void kill(int signal);
    // Waits for the end; the exit status, or 128 + signal.
    int wait();
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string pending_;
    bool waited_ = false;
    int status_ = -1;
};
#endif
