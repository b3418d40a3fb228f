// The helper process of the logger's tests: a host program whose logger starts
// from the registry store and the environment the test gives it. It reads one
// command a line from its standard input and answers on its standard output:
//
//   cd DIR                          changes the current folder (for event.log)
//   level                           "level N"
//   env NAME                        "env NAME=VALUE", or "env NAME unset"
//   event TYPE CATEGORY ID [S...]   logEvent; "-" is a null string; \n, \r, \s
//                                   and \\ stand for a line feed, a carriage
//                                   return, a space and a backslash; "result N"
//   trace TEXT                      logTrace("%s", TEXT); "result N"
//   assert                          an assertion report
//   threads N M                     N threads log M events each at once
//   eventlog N TEXT                 N reports of the logger's own (34402, TEXT)
//                                   straight to the event sink
//   bindings                        "bindings N" (the libraries in use)
//   strings                         "strings [PATH]" (the message library found)
//   source                          "source NAME" (the event source name)
//
// The logger shuts down (Term, unload) when the helper exits.
#include <oxlib/olog.h>
#include <oxlib/ologimp.h>
#include <oxlib/oresmanager.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#if defined(_WIN32)
#include <direct.h>
#else
#include <unistd.h>
#endif
#include <vector>

namespace {

std::string decode(const std::string& word) {
    std::string out;
    for (size_t i = 0; i < word.size(); ++i) {
        if (word[i] != '\\' || i + 1 == word.size()) {
            out += word[i];
            continue;
        }
        const char c = word[++i];
        out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 's' ? ' ' : c;
    }
    return out;
}

uint32_t number(const std::string& word) {
    return static_cast<uint32_t>(std::strtoul(word.c_str(), nullptr, 0));
}

bool event(std::istringstream& in) {
    std::string type, category, id, word;
    in >> type >> category >> id;
    std::vector<std::string> texts;
    std::vector<bool> isNull;
    while (in >> word) {
        isNull.push_back(word == "-");
        texts.push_back(decode(word));
    }
    const char* s[10] = {};
    for (size_t i = 0; i < texts.size() && i < 10; ++i)
        s[i] = isNull[i] ? nullptr : texts[i].c_str();
    return logEvent(static_cast<uint16_t>(number(type)), static_cast<uint16_t>(number(category)),
                    number(id), s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7], s[8], s[9]);
}

void threads(int nThreads, int nEvents) {
    std::vector<std::thread> pool;
    for (int t = 0; t < nThreads; ++t)
        pool.emplace_back([t, nEvents] {
            const std::string name = "thread" + std::to_string(t);
            for (int i = 0; i < nEvents; ++i)
                logEvent(EVENTLOG_INFORMATION_TYPE, 3, 34402, name.c_str(),
                         std::to_string(i).c_str());
        });
    for (auto& thread : pool)
        thread.join();
}

} // namespace

int main() {
#if defined(_WIN32)
    // The test's runChild ends a helper that outlives its time.
    const auto chdir = [](const char* dir) { return _chdir(dir); };
#else
    alarm(120); // a forgotten helper ends by itself
#endif
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        std::string command;
        in >> command;
        if (command == "cd") {
            std::string dir;
            in >> dir;
            if (chdir(dir.c_str()) != 0)
                return 2;
        } else if (command == "level") {
            std::cout << "level " << logLevel() << "\n";
        } else if (command == "env") {
            std::string name;
            in >> name;
            const char* value = std::getenv(name.c_str());
            std::cout << "env " << name << (value ? "=" + std::string(value) : " unset") << "\n";
        } else if (command == "event") {
            std::cout << "result " << event(in) << "\n";
        } else if (command == "trace") {
            std::string rest;
            std::getline(in >> std::ws, rest);
            std::cout << "result " << logTrace("%s", rest.c_str()) << "\n";
        } else if (command == "assert") {
            logAssertion("helper.cpp", "12", "x > 0");
        } else if (command == "threads") {
            int n = 0, m = 0;
            in >> n >> m;
            threads(n, m);
            std::cout << "threads done\n";
        } else if (command == "eventlog") {
            int n = 0;
            std::string text;
            in >> n >> text;
            logLevel(); // the logger's start-up finds the message texts
            const char* strings[1] = {text.c_str()};
            for (int i = 0; i < n; ++i)
                reportSystemEvent(OString(), OString("Corvane_test"), EVENTLOG_WARNING_TYPE,
                                  strings, 15, 1, 34402);
        } else if (command == "bindings") {
            logLevel();
            std::cout << "bindings " << theLogger.bindingCount() << "\n";
        } else if (command == "strings") {
            logLevel();
            std::cout << "strings [" << getStringLibraryPath().c_str() << "]\n";
        } else if (command == "source") {
            std::cout << "source " << logSourceName.c_str() << "\n";
        }
        std::cout.flush();
    }
    return 0;
}
