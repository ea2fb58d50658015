# Toolchain for the 64-bit Windows build (x64), the default one:
#   cmake -B build-win --toolchain cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
set(wine_names wine64 wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
