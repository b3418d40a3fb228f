// On Windows the program's table is a STRINGTABLE (programstrings.rc), fixed
// at build time; the stand-in template comes from the English message library
// instead, found through the folder the registry names.
#include "programstrings.h"

#include "oresmanagerstate.h"

#include <oxlib/oregistry.h>
#include <oxlib/oresmanager.h>

#include <windows.h>

#include <string>

void setProgramFallbackTemplate(bool present) {
    const ORegistry strings("Shared Tools\\Strings", "Software\\Corvane Software\\",
                            HKEY_LOCAL_MACHINE);
    forgetStringResources();
    if (!present) {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Corvane Software");
        return;
    }
    // The build folder of the message libraries, as Wine's drive Z: shows it.
    std::string folder = "Z:" OX_STRINGRES_DIR;
    for (char& c : folder) {
        if (c == '/')
            c = '\\';
    }
    strings.writeString("Path", folder.c_str());
    initStringResources();
}

// A STRINGTABLE cannot change at run time: the templates are in it already.
uint32_t setProgramTemplate(const char* text) {
    if (text == nullptr)
        return 0;
    char held[257];
    for (uint32_t id = kProgramTemplatesId;
         LoadStringA(GetModuleHandleA(nullptr), id, held, sizeof held) > 0; ++id)
        if (std::string(held) == text)
            return id;
    return 0;
}
