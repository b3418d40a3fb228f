// The registry on POSIX systems: one SQLite file that holds every root.
//
// Keys form a tree below HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE. A key keeps
// its name as first written and is found by its case-folded full path; values
// are typed byte strings named case-insensitively within their key. Folding is
// Unicode upper-casing of the UTF-8 text, so it goes beyond ASCII. Sub-keys
// enumerate in folded-name order, values in the order they were first set.
//
// Every process of the user shares the file: WAL journal, a busy timeout, each
// write one IMMEDIATE transaction committed with full sync, the journal folded
// into the main file as far as readers allow whenever it has grown past a few
// dozen pages. Concurrent writers therefore lose
// nothing, a killed process leaves every committed value, and once the
// processes that wrote have exited the main file alone holds every value (the
// journal is folded back and removed when a process's connection closes, at
// exit at the latest; it stays short meanwhile).
//
// A missing file reads as empty and is created (owner-only) by the first write.
// A file that is not one of our stores, is damaged, or cannot be opened reads
// as empty and refuses writes. A store that cannot be written (the file, or
// the folder its journal would go in) is read as stored and refuses writes;
// reading it creates nothing beside it. A store that can be written gets its
// journal and index beside it while a process has it open, even to read. The
// store never truncates, replaces or rebuilds a file.
//
// The registry calls of osys.h are the store's operations (same arguments and
// error codes as the Windows calls); handles are pointers the store hands out
// and checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace oxsys::registry {

// The account of this thread's last failure (file and reason), or empty.
std::string lastProblem();
// The store file the environment selects now: $OXLIB_REGISTRY, else
// ${XDG_DATA_HOME:-$HOME/.local/share}/oxlib/registry.db.
std::string storePath();
// Key handles open in this process (roots not counted); lets tests see leaks.
size_t openHandles();

} // namespace oxsys::registry
