# Writes THIRD-PARTY-NOTICES.txt of the Windows packages from the linker's
# maps of the programs: every library file outside the build that a link
# took code from is looked up here and its notice goes in. A library or a
# part of one that has no notice here stops the build, so that a change of
# the toolchain or of what the programs use cannot ship without its notice.
#   cmake -DMAPS=<map>,<map>... -DPROGRAMS=<names> -DBUILD_DIR=<dir>
#         -DNOTICES=<dir of the texts> -DVERSION=<v> -DOUTPUT=<file> -P ThirdPartyNotices.cmake
cmake_minimum_required(VERSION 3.25)
string(REPLACE "," ";" MAPS "${MAPS}")
string(REPLACE "," ";" PROGRAMS "${PROGRAMS}")

# Parts of the mingw-w64 runtime under notices of their own, by the name of
# the source file the archive member was made from.
set(gdtoa_parts arithchk dmisc dtoa g__fmt g_dfmt g_ffmt g_xfmt gdtoa gethex gmisc hd_init
    hexnan misc qnan smisc strtodg strtodnrp strtof strtopx sum ulp mingw_pformat)
set(pformat_parts mingw_pformat mingw_pformatw basename dirname)
set(pformat_pattern "^mingw_v?s?n?f?w?printfw?$")
# Parts whose notices are not shipped yet: a program that links one of them
# needs its notice added first.
set(unshipped_parts getopt strtok_r gcrt0 profil gmon mcount s_erf sf_erf e_fmod e_fmodf
    e_pow e_powf e_remainder e_remainderf)
set(gcc_files libstdc++.a libgcc.a libgcc_eh.a crtbegin.o crtend.o)
set(winpthreads_files libpthread.a libwinpthread.a)

get_filename_component(BUILD_DIR "${BUILD_DIR}" REALPATH)
set(used)
foreach(map IN LISTS MAPS)
  # Archive members pulled in ("/path/libx.a(member.o)") and object files loaded.
  file(STRINGS "${map}" lines REGEX "^(LOAD )?[^ ()]+\\.(a\\([^)]+\\)|o|obj)$")
  foreach(line IN LISTS lines)
    if(line MATCHES "^LOAD (.*)$")
      set(path "${CMAKE_MATCH_1}")
      set(member "")
    elseif(line MATCHES "^(.*)\\(([^)]+)\\)$")
      set(path "${CMAKE_MATCH_1}")
      set(member "${CMAKE_MATCH_2}")
    else()
      continue()
    endif()
    # The program's own code: relative to the link's folder, or in the build.
    if(NOT IS_ABSOLUTE "${path}")
      continue()
    endif()
    get_filename_component(path "${path}" REALPATH)
    string(FIND "${path}" "${BUILD_DIR}/" in_build)
    if(in_build EQUAL 0)
      continue()
    endif()
    get_filename_component(file "${path}" NAME)
    if(file IN_LIST gcc_files AND path MATCHES "/lib/gcc/")
      list(APPEND used gcc)
      list(APPEND gcc_used ${file})
    elseif(file IN_LIST winpthreads_files)
      list(APPEND used winpthreads)
      list(APPEND winpthreads_used ${file})
    elseif(path MATCHES "/(x86_64|i686)-w64-mingw32/lib/[^/]+$")
      list(APPEND used mingw-w64)
      list(APPEND mingw-w64_used ${file})
      # lib64_libmingwex_a-gdtoa.o: the part made from gdtoa.c
      string(REGEX REPLACE "^.*_a-" "" part "${member}")
      string(REGEX REPLACE "\\.o$" "" part "${part}")
      if(part IN_LIST unshipped_parts)
        message(FATAL_ERROR "${file}(${member}) is linked, and its notice is not in ${NOTICES}")
      endif()
      if(part IN_LIST gdtoa_parts)
        list(APPEND used gdtoa)
      endif()
      if(part IN_LIST pformat_parts OR part MATCHES "${pformat_pattern}")
        list(APPEND used pformat)
      endif()
    else()
      message(FATAL_ERROR "${path} is linked into the programs, and no notice is known for it")
    endif()
  endforeach()
endforeach()
list(REMOVE_DUPLICATES used)

set(order gcc mingw-w64 gdtoa pformat winpthreads)
set(gcc_title "GCC runtime libraries")
set(gcc_text gcc-runtime.txt)
set(mingw-w64_title "mingw-w64 runtime")
set(mingw-w64_text mingw-w64.txt)
set(gdtoa_title "gdtoa, in the mingw-w64 runtime")
set(gdtoa_text gdtoa.txt)
set(pformat_title "printf formatting, in the mingw-w64 runtime")
set(pformat_text pformat.txt)
set(winpthreads_title "winpthreads")
set(winpthreads_text winpthreads.txt)

list(JOIN PROGRAMS " and " programs)
set(out "Third-party notices: Varnomiksal bootloader ${VERSION} for Windows

${programs} are linked statically.
Besides their own code, which is under the MIT licence (LICENSE.txt), they
carry parts of the libraries below, as the linker's maps of this build list
them:

")
foreach(c IN LISTS order)
  if(c IN_LIST used)
    set(files ${${c}_used})
    if(files)
      list(REMOVE_DUPLICATES files)
      list(SORT files)
      list(JOIN files ", " files)
      string(APPEND out "  - ${${c}_title}: ${files}\n")
    else()
      string(APPEND out "  - ${${c}_title}\n")
    endif()
  endif()
endforeach()
string(APPEND out "\nTheir notices follow.\n")
foreach(c IN LISTS order)
  if(c IN_LIST used)
    file(READ "${NOTICES}/${${c}_text}" text)
    string(APPEND out "\n==============================================================================\n\n${text}")
  endif()
endforeach()
string(REPLACE "\n" "\r\n" out "${out}")
file(WRITE "${OUTPUT}.tmp" "${out}")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
