# Cross build of the library as a 64-bit Windows DLL, from the same sources as the
# 32-bit one; its tests run under wine64 (in a win64 prefix) on hosts that cannot
# run 32-bit programs.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
