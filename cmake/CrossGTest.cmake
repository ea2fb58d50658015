# GoogleTest for a cross build: Debian ships its sources, built here with the
# cross compiler. Provides the same GTest::gtest and GTest::gtest_main targets
# as the system package does for a native build.
set(googletest_source /usr/src/googletest CACHE PATH "GoogleTest sources for a cross build")
if(NOT EXISTS ${googletest_source}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources in ${googletest_source} (Debian package googletest)")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
add_subdirectory(${googletest_source} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
foreach(lib gtest gtest_main)
  if(NOT TARGET GTest::${lib})
    add_library(GTest::${lib} ALIAS ${lib})
  endif()
endforeach()
