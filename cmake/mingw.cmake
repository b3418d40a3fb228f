# The MinGW-w64 cross toolchain both Windows builds share. mingw32.cmake and
# mingw64.cmake set CMAKE_SYSTEM_PROCESSOR (i686 or x86_64), which also names
# the compilers and the target's root (i686-w64-mingw32-g++-posix,
# /usr/i686-w64-mingw32).
set(CMAKE_SYSTEM_NAME Windows)
set(OX_MINGW_TARGET ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${OX_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${OX_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${OX_MINGW_TARGET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${OX_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The programs run under Wine through cmake/wine-run.sh, in a prefix under the
# build folder (the top-level CMakeLists.txt names it). The runtime is linked
# statically so the DLLs (the message DLLs are modules) and the test programs
# run under Wine as they are.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
