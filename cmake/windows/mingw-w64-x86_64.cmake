# mingw-w64-x86_64.cmake -- cross-compiling for 64-bit Windows with Debian's mingw-w64, tests run by Wine.
#
# Set by scripts/build-windows (or on the command line):
#   KESTRANE_WINDOWS_DEPS  the prefix the Windows builds of SDL2, SDL2_ttf, SDL2_mixer, FreeType,
#                          Dear ImGui, stb and GoogleTest were installed into
#   KESTRANE_WINEPREFIX    the Wine prefix tests run in (made once, kept with the dependencies)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The posix thread model: std::thread and std::mutex need it.
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# The settings below reach try_compile projects too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KESTRANE_WINDOWS_DEPS KESTRANE_WINEPREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
if(KESTRANE_WINDOWS_DEPS)
  list(APPEND CMAKE_FIND_ROOT_PATH ${KESTRANE_WINDOWS_DEPS})
  list(APPEND CMAKE_PREFIX_PATH ${KESTRANE_WINDOWS_DEPS})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The compiler's own run-time (libgcc, libstdc++, winpthread) goes into each program and DLL,
# so the only DLLs to ship are SDL's.
set(_static_runtime "-static-libgcc -static-libstdc++ -Wl,-Bstatic,--whole-archive -lwinpthread -Wl,--no-whole-archive,-Bdynamic")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${_static_runtime}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${_static_runtime}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${_static_runtime}")

# Windows programs built here run under Wine: tests, test discovery and build-time generators.
if(KESTRANE_WINDOWS_DEPS)
  set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_LIST_DIR}/wine-run "${KESTRANE_WINEPREFIX}" "${KESTRANE_WINDOWS_DEPS}/bin")
endif()
