#include "commands.h"

#include "valuedata.h"

#include <oxlib/oregistry.h>

#include "sys/osys.h"

#include <cctype>
#include <iostream>
#include <vector>

namespace {

constexpr const char* kNotFound =
    "ERROR: The system was unable to find the specified registry key or value.";
// Value names may be 16383 characters of up to four bytes each.
constexpr uint32_t kNameBuffer = 16383 * 4 + 1;

int failure(int32_t code) {
    if (code == oxsys::kErrFileNotFound)
        std::cerr << kNotFound << "\n";
    else
        std::cerr << "ERROR: " << oxsys::regErrorText(code) << "\n";
    return 1;
}

// An open key, closed when it goes out of scope.
class OpenKey {
public:
    OpenKey() = default;
    ~OpenKey() {
        if (handle)
            oxsys::regCloseKey(handle);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    oxsys::RegKey handle = nullptr;
};

bool confirm(const std::string& question) {
    std::cout << question << " (Yes/No)? " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer))
        return false;
    for (char& c : answer)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return answer == "y" || answer == "yes";
}

int32_t readValue(oxsys::RegKey key, const std::string& name, uint32_t& type, Bytes& data) {
    uint32_t size = 0;
    int32_t rc = oxsys::regQueryValue(key, name.c_str(), &type, nullptr, &size);
    while (rc == oxsys::kErrSuccess || rc == oxsys::kErrMoreData) {
        data.resize(size);
        rc = oxsys::regQueryValue(key, name.c_str(), &type, data.data(), &size);
        if (rc == oxsys::kErrSuccess) {
            data.resize(size);
            return rc;
        }
    }
    return rc;
}

struct Value {
    std::string name;
    uint32_t type;
    Bytes data;
};

// Every value of `key` in enumeration order; stops at the first failure.
int32_t listValues(oxsys::RegKey key, std::vector<Value>& values) {
    std::vector<char> name(kNameBuffer);
    Bytes data(4096);
    for (uint32_t index = 0;;) {
        uint32_t nameSize = kNameBuffer;
        uint32_t dataSize = static_cast<uint32_t>(data.size());
        uint32_t type = 0;
        const int32_t rc =
            oxsys::regEnumValue(key, index, name.data(), &nameSize, &type, data.data(), &dataSize);
        if (rc == oxsys::kErrNoMoreItems)
            return oxsys::kErrSuccess;
        if (rc == oxsys::kErrMoreData && dataSize > data.size()) {
            data.resize(dataSize);
            continue;
        }
        if (rc != oxsys::kErrSuccess)
            return rc;
        values.push_back({std::string(name.data(), nameSize), type,
                          Bytes(data.begin(), data.begin() + dataSize)});
        ++index;
    }
}

int32_t listSubKeys(oxsys::RegKey key, std::vector<std::string>& names) {
    char name[1024];
    for (uint32_t index = 0;; ++index) {
        uint32_t size = sizeof name;
        const int32_t rc = oxsys::regEnumKey(key, index, name, &size);
        if (rc == oxsys::kErrNoMoreItems)
            return oxsys::kErrSuccess;
        if (rc != oxsys::kErrSuccess)
            return rc;
        names.emplace_back(name, size);
    }
}

void printValue(const std::string& name, uint32_t type, const Bytes& data) {
    std::cout << "    " << (name.empty() ? "(Default)" : name) << "    " << typeName(type) << "    "
              << formatData(type, data) << "\n";
}

int32_t printKey(oxsys::RegKey key, const std::string& display, bool recursive) {
    std::vector<Value> values;
    std::vector<std::string> subKeys;
    if (int32_t rc = listValues(key, values); rc != oxsys::kErrSuccess)
        return rc;
    if (int32_t rc = listSubKeys(key, subKeys); rc != oxsys::kErrSuccess)
        return rc;
    std::cout << "\n" << display << "\n";
    for (const auto& value : values)
        printValue(value.name, value.type, value.data);
    if (!recursive) {
        if (!subKeys.empty())
            std::cout << "\n";
        for (const auto& name : subKeys)
            std::cout << display << "\\" << name << "\n";
        return oxsys::kErrSuccess;
    }
    for (const auto& name : subKeys) {
        OpenKey sub;
        if (int32_t rc = oxsys::regOpenKey(key, name.c_str(), oxsys::kKeyRead, &sub.handle);
            rc != oxsys::kErrSuccess)
            return rc;
        if (int32_t rc = printKey(sub.handle, display + "\\" + name, true);
            rc != oxsys::kErrSuccess)
            return rc;
    }
    return oxsys::kErrSuccess;
}

} // namespace

int runQuery(const Options& o) {
    OpenKey key;
    if (int32_t rc =
            oxsys::regOpenKey(o.key.root, o.key.subKey.c_str(), oxsys::kKeyRead, &key.handle);
        rc != oxsys::kErrSuccess)
        return failure(rc);
    if (o.namesValue()) {
        uint32_t type = 0;
        Bytes data;
        if (int32_t rc = readValue(key.handle, o.value(), type, data); rc != oxsys::kErrSuccess)
            return failure(rc);
        std::cout << "\n" << o.key.display() << "\n";
        printValue(o.value(), type, data);
        std::cout << "\n";
        return 0;
    }
    if (int32_t rc = printKey(key.handle, o.key.display(), o.recursive); rc != oxsys::kErrSuccess)
        return failure(rc);
    return 0;
}

int runAdd(const Options& o) {
    if ((o.hasType || o.hasData) && !o.namesValue()) {
        std::cerr << "ERROR: /t and /d need /v NAME or /ve.\n";
        return 1;
    }
    // The data is checked before anything is written.
    Bytes data;
    std::string problem;
    if (o.namesValue() && !encodeData(o.type, o.data, o.separator, data, problem)) {
        std::cerr << "ERROR: Invalid data: " << problem << ".\n";
        return 1;
    }
    OpenKey key;
    if (int32_t rc = oxsys::regCreateKey(o.key.root, o.key.subKey.c_str(),
                                         oxsys::kKeyWrite | oxsys::kKeyQueryValue, &key.handle);
        rc != oxsys::kErrSuccess)
        return failure(rc);
    if (o.namesValue()) {
        uint32_t size = 0;
        const bool exists = oxsys::regQueryValue(key.handle, o.value().c_str(), nullptr, nullptr,
                                                 &size) == oxsys::kErrSuccess;
        if (exists && !o.force &&
            !confirm("Value " + (o.defaultValue ? std::string("(Default)") : o.valueName) +
                     " exists, overwrite")) {
            std::cout << "The operation was cancelled by the user.\n";
            return 1;
        }
        if (int32_t rc = oxsys::regSetValue(key.handle, o.value().c_str(), o.type, data.data(),
                                            static_cast<uint32_t>(data.size()));
            rc != oxsys::kErrSuccess)
            return failure(rc);
    }
    std::cout << "The operation completed successfully.\n";
    return 0;
}

int runDelete(const Options& o) {
    if (o.key.subKey.empty() && !o.namesValue() && !o.allValues) {
        std::cerr << "ERROR: Invalid key name: a root key cannot be deleted.\n";
        return 1;
    }
    if (!o.namesValue() && !o.allValues) {
        if (!o.force && !confirm("Permanently delete the registry key " + o.key.display()))
            return std::cout << "The operation was cancelled by the user.\n", 1;
        if (int32_t rc = oxsys::regDeleteTree(o.key.root, o.key.subKey.c_str());
            rc != oxsys::kErrSuccess)
            return failure(rc);
        std::cout << "The operation completed successfully.\n";
        return 0;
    }
    OpenKey key;
    if (int32_t rc = oxsys::regOpenKey(o.key.root, o.key.subKey.c_str(),
                                       oxsys::kKeyRead | oxsys::kKeySetValue, &key.handle);
        rc != oxsys::kErrSuccess)
        return failure(rc);
    std::vector<std::string> names;
    if (o.allValues) {
        std::vector<Value> values;
        if (int32_t rc = listValues(key.handle, values); rc != oxsys::kErrSuccess)
            return failure(rc);
        for (const auto& value : values)
            names.push_back(value.name);
    } else {
        names.push_back(o.value());
    }
    const std::string what =
        o.allValues ? "all values under the registry key " + o.key.display()
                    : "the registry value " + (o.defaultValue ? "(Default)" : o.valueName);
    if (!o.force && !confirm("Delete " + what))
        return std::cout << "The operation was cancelled by the user.\n", 1;
    for (const auto& name : names)
        if (int32_t rc = oxsys::regDeleteValue(key.handle, name.c_str()); rc != oxsys::kErrSuccess)
            return failure(rc);
    std::cout << "The operation completed successfully.\n";
    return 0;
}
