// oxreg: the registry from the command line, after reg.exe.
//
//   oxreg query  KEY [/v NAME | /ve] [/s]
//   oxreg add    KEY [/v NAME | /ve] [/t TYPE] [/s SEP] [/d DATA] [/f]
//   oxreg delete KEY [/v NAME | /ve | /va] [/f]
#include "commands.h"
#include "valuedata.h"

#include "sys/osys.h"

#include <cctype>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

const char* const kUsage =
    "oxreg: read and change the registry.\n"
    "\n"
    "  oxreg query  KEY [/v NAME | /ve] [/s]\n"
    "  oxreg add    KEY [/v NAME | /ve] [/t TYPE] [/s SEP] [/d DATA] [/f]\n"
    "  oxreg delete KEY [/v NAME | /ve | /va] [/f]\n"
    "  oxreg --help\n"
    "\n"
    "KEY   ROOT[\\SubKey...], ROOT being HKLM or HKEY_LOCAL_MACHINE, HKCU or\n"
    "      HKEY_CURRENT_USER. Quote it: the shell treats backslashes itself.\n"
    "/v    the value NAME            /ve   the default value (no name)\n"
    "/va   (delete) every value of the key, sub-keys stay\n"
    "/s    (query) the key and all its sub-keys; (add) the separator of\n"
    "      REG_MULTI_SZ strings in DATA, \\0 unless given\n"
    "/t    REG_SZ (default), REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_QWORD,\n"
    "      REG_BINARY or REG_NONE\n"
    "/d    the data: text; a number for REG_DWORD and REG_QWORD (decimal or\n"
    "      0x hex); hex digit pairs for REG_BINARY and REG_NONE\n"
    "/f    overwrite or delete without asking\n"
    "\n"
    "Without /v, /ve or /va, add creates the key and delete removes it with\n"
    "all its sub-keys and values. Exit status: 0 done, 1 not done.\n"
    "\n"
    "Example: name a logging library for the Corvane logging set-up:\n"
    "  oxreg add \"HKLM\\Software\\Corvane Software\\Corvane Logging\\pxlogger\" \\\n"
    "        /v DLLPath /d /usr/local/lib/libpxlogger.so /f\n";

bool isSwitch(const std::string& arg, const char* name) {
    if (arg.size() != std::strlen(name) + 1 || (arg[0] != '/' && arg[0] != '-'))
        return false;
    for (size_t i = 0; name[i]; ++i)
        if (std::tolower(static_cast<unsigned char>(arg[i + 1])) != name[i])
            return false;
    return true;
}

int syntaxError(const std::string& what) {
    std::cerr << "ERROR: Invalid syntax: " << what << ".\nType \"oxreg --help\" for usage.\n";
    return 1;
}

// Fills `o` from the arguments after the command; returns -1 when they are
// sound, else the exit status.
int parse(const std::vector<std::string>& args, Options& o) {
    if (args.empty())
        return syntaxError("the key is missing");
    if (!parseKeyPath(args[0], o.key)) {
        std::cerr << "ERROR: Invalid key name: " << args[0]
                  << " (it must start with HKLM, HKCU, HKEY_LOCAL_MACHINE or "
                     "HKEY_CURRENT_USER).\n";
        return 1;
    }
    const bool query = o.command == "query";
    const bool add = o.command == "add";
    const bool remove = o.command == "delete";
    bool hasSeparator = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto operand = [&](std::string& out) {
            if (i + 1 >= args.size())
                return false;
            out = args[++i];
            return true;
        };
        bool seen = false;
        if (isSwitch(a, "v")) {
            seen = o.hasValueName;
            if (!operand(o.valueName))
                return syntaxError("/v needs a value name");
            o.hasValueName = true;
        } else if (isSwitch(a, "ve")) {
            seen = o.defaultValue;
            o.defaultValue = true;
        } else if (isSwitch(a, "va") && remove) {
            seen = o.allValues;
            o.allValues = true;
        } else if (isSwitch(a, "s") && query) {
            seen = o.recursive;
            o.recursive = true;
        } else if ((isSwitch(a, "s") || isSwitch(a, "se")) && add) {
            seen = hasSeparator;
            if (!operand(o.separator))
                return syntaxError(a + " needs a separator");
            hasSeparator = true;
        } else if (isSwitch(a, "f") && !query) {
            seen = o.force;
            o.force = true;
        } else if (isSwitch(a, "t") && add) {
            seen = o.hasType;
            std::string name;
            if (!operand(name))
                return syntaxError("/t needs a type");
            if (!parseTypeName(name, o.type)) {
                std::cerr << "ERROR: Invalid type: " << name << ".\n";
                return 1;
            }
            o.hasType = true;
        } else if (isSwitch(a, "d") && add) {
            seen = o.hasData;
            if (!operand(o.data))
                return syntaxError("/d needs data");
            o.hasData = true;
        } else {
            return syntaxError("unknown option " + a + " for " + o.command);
        }
        if (seen)
            return syntaxError(a + " given twice");
    }
    if (int(o.hasValueName) + int(o.defaultValue) + int(o.allValues) > 1)
        return syntaxError("use only one of /v, /ve and /va");
    if (o.recursive && o.namesValue())
        return syntaxError("/s lists whole keys; it does not go with /v or /ve");
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::cerr << kUsage;
        return 1;
    }
    std::string command = args[0];
    for (char& c : command)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (command == "--help" || command == "-h" || command == "/?" || command == "help") {
        std::cout << kUsage;
        if (const std::string where = oxsys::regLocation(); !where.empty())
            std::cout << "\nThe registry is kept in " << where
                      << " (set OXLIB_REGISTRY to use another file).\n";
        return 0;
    }
    Options options;
    options.command = command;
    if (command != "query" && command != "add" && command != "delete")
        return syntaxError("unknown command " + args[0]);
    args.erase(args.begin());
    if (const int status = parse(args, options); status >= 0)
        return status;
    if (command == "query")
        return runQuery(options);
    if (command == "add")
        return runAdd(options);
    return runDelete(options);
}
