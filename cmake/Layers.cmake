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

# qe_test_suite(<target> DEPS <libs...> [TIMEOUT <s>]): one GoogleTest
# executable of every .cpp in the calling folder, registered with CTest.
# Suites that need an environment (the window suites' offscreen platform)
# set it themselves, so they also run as plain programs.
function(qe_test_suite target)
  cmake_parse_arguments(ARG "" "TIMEOUT" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_executable(${target} ${srcs})
  target_link_libraries(${target} PRIVATE qe_options ${ARG_DEPS} GTest::gtest GTest::gtest_main Threads::Threads)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  gtest_discover_tests(${target}
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${ARG_TIMEOUT})
endfunction()
