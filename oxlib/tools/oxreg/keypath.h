// A key as oxreg's command line names it: "HKLM\Software\Vendor" or
// "HKEY_LOCAL_MACHINE\Software\Vendor", the root in short or long form, any case.
#pragma once

#include <string>

struct KeyPath {
    void* root = nullptr; // the predefined root handle
    std::string rootName; // its long form, as output shows it
    std::string subKey;   // below the root; empty for the root itself

    // "HKEY_LOCAL_MACHINE\Software\Vendor".
    std::string display() const { return subKey.empty() ? rootName : rootName + "\\" + subKey; }
};

// False when the text names no root this tool knows.
bool parseKeyPath(const std::string& text, KeyPath& key);
