# What both Windows toolchains share (cmake/mingw-w64-x86_64.cmake and
# cmake/mingw-w64-i686.cmake set `triple` and the processor, then include
# this): mingw-w64 with the posix thread model (std::thread), linked
# statically so that programs import only system DLLs. Programs and tests run
# through wine.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# Test programs run under wine through a wrapper that keeps their output off
# the runner's pipe while wine's helper processes live on (tests/wine-run.sh).
# VARNO_WINE is the loader of the build's width: where wine has both, plain
# "wine" runs wine's own tools (reg, cmd, taskkill) as 32-bit ones, which see
# the 32-bit registry view and cannot name 64-bit processes; the x64 build's
# tests run them with the 64-bit loader (Debian keeps it in /usr/lib/wine).
find_program(VARNO_WINE NAMES ${wine_names} PATHS /usr/lib/wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/wine-run.sh)
