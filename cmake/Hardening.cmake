# Debian's hardening flags (dpkg-buildflags: _FORTIFY_SOURCE, the stack
# protector, format checks, read-only relocations) for every target of the
# native Linux build, so that the programs the Debian package carries are
# built as Debian builds its own. The optimisation and debug options are left
# to the build type. The file prefix map is taken in the source folder, so the
# programs name their sources relative to it wherever the tree lies. Not with
# the sanitizers, which do not combine with the fortified C library calls.
if(NOT VARNO_HARDENING OR WIN32 OR EMSCRIPTEN OR VARNO_SANITIZE OR VARNO_TSAN)
  return()
endif()
find_program(DPKG_BUILDFLAGS dpkg-buildflags)
if(NOT DPKG_BUILDFLAGS)
  message(STATUS "dpkg-buildflags not found: building without Debian's hardening flags")
  return()
endif()

function(qe_buildflags var kind)
  execute_process(COMMAND ${DPKG_BUILDFLAGS} --get ${kind}
                  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
                  COMMAND_ERROR_IS_FATAL ANY)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  list(FILTER flags EXCLUDE REGEX "^-(O.*|g.*)$")
  set(${var} ${flags} PARENT_SCOPE)
endfunction()
qe_buildflags(hardening_cpp CPPFLAGS)
qe_buildflags(hardening_cxx CXXFLAGS)
qe_buildflags(hardening_ld LDFLAGS)
target_compile_options(qe_options INTERFACE ${hardening_cpp} ${hardening_cxx})
target_link_options(qe_options INTERFACE ${hardening_ld})
