# Cross-builds the Windows programs (and the libraries they need) with Debian's mingw-w64,
# posix thread model, for 64-bit Windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# The libraries scripts/windows-deps.sh built, kept for the checks CMake compiles apart.
set(LANSCOUT_WIN_DEPS "${LANSCOUT_WIN_DEPS}" CACHE STRING "install folders of the Windows libraries")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LANSCOUT_WIN_DEPS LANSCOUT_WIN_NO_EMULATOR)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${LANSCOUT_WIN_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} /nonexistent)
# Qt's code generators are the host's, of the same version.
set(QT_HOST_PATH /usr)

# The C++ runtime linked in: no libstdc++ or winpthread DLL to ship beside the programs.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
# Release programs without their symbols: the zip stays small.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT -s)

# Tests run under Wine; a library's own build must not run what it builds.
if(NOT LANSCOUT_WIN_NO_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/windows/wine.sh)
endif()
