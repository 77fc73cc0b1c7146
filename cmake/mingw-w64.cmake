# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (package
# g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
#
# The posix thread model: its libstdc++ has std::thread (the batch solver
# runs on it); GCC 12's win32 model has none.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ARMKIN_MINGW_PREFIX x86_64-w64-mingw32 CACHE STRING "mingw-w64 target triple")
set(CMAKE_C_COMPILER ${ARMKIN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ARMKIN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ARMKIN_MINGW_PREFIX}-windres)
set(CMAKE_AR ${ARMKIN_MINGW_PREFIX}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${ARMKIN_MINGW_PREFIX}-gcc-ranlib-posix CACHE FILEPATH "")

# Headers and libraries from the target's tree only; programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${ARMKIN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained .exe: the C++ runtime, libgcc and winpthread linked in,
# so that no mingw DLL has to travel with it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
