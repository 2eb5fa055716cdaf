# Cross-build for 32-bit Windows with mingw-w64 (i686). The -posix compilers are the
# project's compilers: GoogleTest needs std::mutex, which the win32 thread model lacks. The
# DLLs a host may unload are built by their win32 twins instead (vemb_unloadable_dll in
# cmake/Win32.cmake). Every binary links the compiler runtime statically, so nothing but
# Windows system DLLs (and our own) is imported.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER   ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
