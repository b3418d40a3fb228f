// The registry on POSIX systems: one SQLite file that holds every root.
//
// Keys form a tree below HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE. A key keeps
// its name as first written and is found by its case-folded full path; values
// are typed byte strings named case-insensitively within their key. Folding is
// Unicode upper-casing of the UTF-8 text, so it goes beyond ASCII. Sub-keys
// enumerate in folded-name order, values in the order they were first set.
//
// Every process of the user shares the file: WAL journal, a busy timeout, each
// write one IMMEDIATE transaction committed with full sync. Concurrent writers
// therefore lose nothing and a killed process leaves every committed value.
// A missing file reads as empty and is created (owner-only) by the first write.
// A file that is not one of our stores, is damaged, or cannot be opened reads
// as empty and refuses writes; a read-only file reads as stored and refuses
// writes. The store never truncates, replaces or rebuilds a file.
//
// The functions mirror the Windows registry calls of osys.h (same arguments,
// same error codes); handles are pointers the store hands out and checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace oxsys::registry {

int32_t openKey(void* parent, const char* subKey, uint32_t access, void** key);
int32_t createKey(void* parent, const char* subKey, uint32_t access, void** key);
int32_t closeKey(void* key);
int32_t queryValue(void* key, const char* name, uint32_t* type, unsigned char* data,
                   uint32_t* size);
int32_t setValue(void* key, const char* name, uint32_t type, const unsigned char* data,
                 uint32_t size);
int32_t deleteValue(void* key, const char* name);
int32_t deleteTree(void* parent, const char* subKey);
int32_t enumKey(void* key, uint32_t index, char* name, uint32_t* nameSize);
int32_t enumValue(void* key, uint32_t index, char* name, uint32_t* nameSize, uint32_t* type,
                  unsigned char* data, uint32_t* dataSize);

// The account of this thread's last failure (file and reason), or empty.
std::string lastProblem();
// The store file the environment selects now: $OXLIB_REGISTRY, else
// ${XDG_DATA_HOME:-$HOME/.local/share}/oxlib/registry.db.
std::string storePath();
// Key handles open in this process (roots not counted); lets tests see leaks.
size_t openHandles();

} // namespace oxsys::registry
