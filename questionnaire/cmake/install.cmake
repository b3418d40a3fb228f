# Install-time steps for quillmark that plain install() rules can't do. Runs from
# cmake_install.cmake right after the program itself is installed; the install
# rules in ../CMakeLists.txt set the quillmark_* variables first.
#
#   <prefix>/lib/quillmark/0002.mdb          through quillmark_mkdb, so a database
#                                             that holds answers is kept as it is
#   <prefix>/bin/quillmark                    a relative symlink to the program; the
#                                             program finds its folder through
#                                             /proc/self/exe, so the link's folder
#                                             does not matter
#   <prefix>/share/applications/quillmark.desktop

set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(dir "${root}/${quillmark_install_dir}")
set(bin "${root}/${quillmark_bindir}")
file(MAKE_DIRECTORY "${dir}" "${bin}")

# Earlier installs put the database in bin/. The owner's work moves to the new
# folder with its journal or WAL files, unless that folder already has a database.
if(EXISTS "${bin}/0002.mdb" AND NOT IS_SYMLINK "${bin}/0002.mdb"
   AND NOT EXISTS "${dir}/0002.mdb")
  message(STATUS "Moving: ${bin}/0002.mdb to ${dir}/0002.mdb")
  foreach(suffix "" "-wal" "-shm" "-journal")
    if(EXISTS "${bin}/0002.mdb${suffix}")
      file(RENAME "${bin}/0002.mdb${suffix}" "${dir}/0002.mdb${suffix}")
    endif()
  endforeach()
endif()

message(STATUS "Installing: ${dir}/0002.mdb (kept if it holds answers or figures)")
execute_process(COMMAND "${quillmark_mkdb}" "${dir}/0002.mdb" ${quillmark_sql}
  COMMAND_ERROR_IS_FATAL ANY)

file(RELATIVE_PATH target "${bin}" "${dir}/quillmark")
message(STATUS "Installing: ${bin}/quillmark -> ${target}")
file(CREATE_LINK "${target}" "${bin}/quillmark" SYMBOLIC)

# Exec holds the launcher's absolute path (a per-user ~/.local/bin is often not on
# the desktop's PATH), quoted, with the characters the desktop entry format
# reserves escaped: \ " ` $ inside quotes, then every \ once more as the value is a
# string, and % as %%.
set(exec "${CMAKE_INSTALL_PREFIX}/${quillmark_bindir}/quillmark")
string(REPLACE "\\" "\\\\\\\\" exec "${exec}")
foreach(reserved "\"" "`" "$")
  string(REPLACE "${reserved}" "\\\\${reserved}" exec "${exec}")
endforeach()
string(REPLACE "%" "%%" exec "${exec}")
set(QUILLMARK_DESKTOP_EXEC "\"${exec}\"")
set(desktop "${root}/${quillmark_datadir}/applications/quillmark.desktop")
message(STATUS "Installing: ${desktop}")
configure_file("${quillmark_desktop_in}" "${desktop}" @ONLY)
