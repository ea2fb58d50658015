# Toolchain for the 32-bit Windows build (x86), whose programs run on 32-bit
# and 64-bit Windows alike:
#   cmake -B build-win32 --toolchain cmake/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR i686)
set(triple i686-w64-mingw32)
set(wine_names wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
