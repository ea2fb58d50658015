# Tests of the Windows build run under wine, the toolchain's emulator. One
# wine prefix serves a whole test run: the fixture "wine" creates it in the
# build folder with a persistent wineserver before the first test and takes it
# down after the last (tests/wine-prefix.sh). Every test that runs a Windows
# program requires the fixture and gets the environment below.
set(VARNO_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
# The prefix has the build's width: a 32-bit one for the x86 build, which
# runs its programs as a 32-bit Windows would. Tests start wine as $VARNO_WINE,
# which runs the loader of that width with a fixed address-space layout
# (tests/wine.sh).
set(VARNO_WINE_ENVIRONMENT
  WINEPREFIX=${VARNO_WINE_PREFIX}
  WINEARCH=${VARNO_WINDOWS_ARCH}
  VARNO_WINE=${PROJECT_SOURCE_DIR}/tests/wine.sh
  VARNO_WINE_LOADER=${VARNO_WINE}
  WINEDEBUG=-all
  WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=d)

# Virtual null-modem cables for the serial tests: the Linux tool joins COM<n>
# to COM<n+1000> in the prefix (tools/nullmodem). It runs on the build machine,
# so it is built with the build machine's own compiler.
find_program(VARNO_HOST_CXX NAMES c++ g++ REQUIRED)
set(VARNO_NULLMODEM ${CMAKE_BINARY_DIR}/host/varnomiksal-nullmodem)
add_custom_command(
  OUTPUT ${VARNO_NULLMODEM}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host
  COMMAND ${VARNO_HOST_CXX} -std=c++17 -O2 -Wall -Wextra -o ${VARNO_NULLMODEM}
          ${PROJECT_SOURCE_DIR}/tools/nullmodem/main.cpp
  DEPENDS ${PROJECT_SOURCE_DIR}/tools/nullmodem/main.cpp
  COMMENT "Building the host program varnomiksal-nullmodem"
  VERBATIM)
add_custom_target(varno_nullmodem ALL DEPENDS ${VARNO_NULLMODEM})
list(APPEND VARNO_WINE_ENVIRONMENT VARNO_NULLMODEM=${VARNO_NULLMODEM})

add_test(NAME WinePrefix.Setup COMMAND ${PROJECT_SOURCE_DIR}/tests/wine-prefix.sh setup)
add_test(NAME WinePrefix.Cleanup COMMAND ${PROJECT_SOURCE_DIR}/tests/wine-prefix.sh cleanup)
set_tests_properties(WinePrefix.Setup PROPERTIES
  FIXTURES_SETUP wine TIMEOUT 180 ENVIRONMENT "${VARNO_WINE_ENVIRONMENT}")
set_tests_properties(WinePrefix.Cleanup PROPERTIES
  FIXTURES_CLEANUP wine TIMEOUT 60 ENVIRONMENT "${VARNO_WINE_ENVIRONMENT}")

# qe_wine_tests(<test>...): the tests run Windows programs under wine.
function(qe_wine_tests)
  set_tests_properties(${ARGN} PROPERTIES
    FIXTURES_REQUIRED wine ENVIRONMENT "${VARNO_WINE_ENVIRONMENT}")
endfunction()
