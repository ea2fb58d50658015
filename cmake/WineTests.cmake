# Tests of the Windows build run under wine, the toolchain's emulator. One
# wine prefix serves a whole test run: the fixture "wine" creates it in the
# build folder with a persistent wineserver before the first test and takes it
# down after the last (tests/wine-prefix.sh). Every test that runs a Windows
# program requires the fixture and gets the environment below.
set(VARNO_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(VARNO_WINE_ENVIRONMENT
  WINEPREFIX=${VARNO_WINE_PREFIX}
  WINEDEBUG=-all
  WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=d)

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
