#include "keypath.h"

#include <oxlib/oregistry.h>

#include <cctype>

namespace {

bool equalsIgnoringCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && b[i] == 0;
}

} // namespace

bool parseKeyPath(const std::string& text, KeyPath& key) {
    const size_t cut = text.find('\\');
    const std::string root = text.substr(0, cut);
    if (equalsIgnoringCase(root, "HKLM") || equalsIgnoringCase(root, "HKEY_LOCAL_MACHINE")) {
        key.root = HKEY_LOCAL_MACHINE;
        key.rootName = "HKEY_LOCAL_MACHINE";
    } else if (equalsIgnoringCase(root, "HKCU") || equalsIgnoringCase(root, "HKEY_CURRENT_USER")) {
        key.root = HKEY_CURRENT_USER;
        key.rootName = "HKEY_CURRENT_USER";
    } else {
        return false;
    }
    key.subKey = cut == std::string::npos ? std::string() : text.substr(cut + 1);
    return true;
}
