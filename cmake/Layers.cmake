# Common compile settings and small helpers shared by every layer.

add_library(qe_options INTERFACE)
target_compile_options(qe_options INTERFACE -Wall -Wextra)
if(VARNO_WERROR)
  target_compile_options(qe_options INTERFACE -Werror)
endif()
if(VARNO_SANITIZE)
  target_compile_options(qe_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(qe_options INTERFACE -fsanitize=address,undefined)
endif()
if(VARNO_TSAN)
  target_compile_options(qe_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(qe_options INTERFACE -fsanitize=thread)
endif()

# qe_layer(<target> DEPS <libs...>): a static library of every .cpp in the
# calling folder (not recursive).
function(qe_layer target)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(${target} STATIC ${srcs})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC qe_options ${ARG_DEPS})
endfunction()

# qe_test_suite(<target> DEPS <libs...> [TIMEOUT <s>] [SOURCES <extra...>]
# [EXCLUDE <names...>] [SERIAL_PORTS] [WINDOWS] [WINE_SKIP <tests...>]): one
# GoogleTest executable of
# every .cpp in the calling folder (less the excluded file names, plus the
# extra sources), registered with CTest; under wine its tests carry the
# suite's name as their label, so that a run can pick suites (ctest -L).
# SERIAL_PORTS: the suite plays devices
# on virtual serial ports; under wine those are shared by the whole run, so
# such tests take turns. WINDOWS: the suite opens windows; under wine they
# share one X display, where windows take each other's activation and
# clicks, so such tests take turns too. Suites that need an environment (the window suites'
# offscreen platform) set it themselves, so they also run as plain programs.
function(qe_test_suite target)
  cmake_parse_arguments(ARG "SERIAL_PORTS;WINDOWS" "TIMEOUT" "DEPS;SOURCES;EXCLUDE;WINE_SKIP" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(name ${ARG_EXCLUDE})
    list(REMOVE_ITEM srcs ${CMAKE_CURRENT_SOURCE_DIR}/${name})
  endforeach()
  list(APPEND srcs ${ARG_SOURCES})
  add_executable(${target} ${srcs})
  target_link_libraries(${target} PRIVATE qe_options ${ARG_DEPS} GTest::gtest GTest::gtest_main Threads::Threads)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  if(CMAKE_CROSSCOMPILING)
    # A cross-built suite runs only under the emulator, in the environment
    # that the test run sets up (cmake/WineTests.cmake), so its tests are
    # found in the sources rather than by running it at build time.
    gtest_add_tests(TARGET ${target} SOURCES ${srcs} TEST_LIST tests)
    set_tests_properties(${tests} PROPERTIES
      TIMEOUT ${ARG_TIMEOUT} SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]" LABELS ${target})
    qe_wine_tests(${tests})
    set(locks)
    if(ARG_SERIAL_PORTS)
      list(APPEND locks wine_serial_ports)
    endif()
    if(ARG_WINDOWS)
      list(APPEND locks wine_display)
    endif()
    if(locks)
      set_tests_properties(${tests} PROPERTIES RESOURCE_LOCK "${locks}")
    endif()
    if(ARG_WINE_SKIP)
      set_tests_properties(${ARG_WINE_SKIP} PROPERTIES DISABLED TRUE)
    endif()
  else()
    gtest_discover_tests(${target}
      DISCOVERY_TIMEOUT 60
      PROPERTIES TIMEOUT ${ARG_TIMEOUT})
  endif()
endfunction()
