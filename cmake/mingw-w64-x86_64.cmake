# Cross-compiling for 64-bit Windows with Debian's mingw-w64 compilers (package g++-mingw-w64-x86-64). The
# posix-threads variants are the ones with std::thread, std::mutex and std::atomic wait.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(NAVCONFIG_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${NAVCONFIG_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NAVCONFIG_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${NAVCONFIG_MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP ${NAVCONFIG_MINGW_PREFIX}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${NAVCONFIG_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
