# Sourced by the Windows build scripts: takes the architecture from a leading
# "--arch x64|x86" argument or $ARCH (x64 by default) and sets
#   toolchain   the CMake toolchain file for it
#   win_build   the default build folder: build-win/ for x64, build-win32/ for x86
#   win_suffix  the packages' name ending: win64 or win32
# The remaining arguments stay in "$@" for the caller.
arch=${ARCH:-x64}
if [ "${1:-}" = "--arch" ]; then
  arch=${2:?--arch takes x64 or x86}
  shift 2
fi
case "$arch" in
x64 | x86_64 | amd64)
  toolchain=$root/cmake/mingw-w64-x86_64.cmake win_build=$root/build-win win_suffix=win64 ;;
x86 | i686 | win32)
  toolchain=$root/cmake/mingw-w64-i686.cmake win_build=$root/build-win32 win_suffix=win32 ;;
*)
  echo "unknown Windows architecture '$arch' (x64 or x86)" >&2
  exit 2 ;;
esac
