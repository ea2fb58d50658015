# The Windows packages (scripts/package-windows.sh): an installer made by
# NSIS and a plain zip, both of whatever programs the build has. The
# command-line flasher is always there; the window program joins as soon as
# its target exists, with the Start-menu shortcut and the icon that the
# installed-programs list shows.
#
# The installer is made from our own NSIS script
# (packaging/windows/NSIS.template.in, which says what it does): an installer
# for all users, 64-bit for the x64 build and 32-bit for the x86 one, that
# removes an installed version first, and can
# put the installation folder on PATH. "/S" installs silently, "/PATH=1" adds
# the folder to PATH, "/D=<dir>" (the last argument) chooses the folder.
set(pkg_dir ${PROJECT_BINARY_DIR}/package)
file(MAKE_DIRECTORY ${pkg_dir})

set(pkg_programs varnomiksal-cli)
if(TARGET varnomiksal)
  list(APPEND pkg_programs varnomiksal)
endif()

# The licence with Windows line ends, beside the programs.
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${pkg_dir}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)

# The notices of the libraries linked statically into the programs, found in
# the linker's maps (cmake/ThirdPartyNotices.cmake).
set(pkg_maps)
set(pkg_exes)
foreach(prog ${pkg_programs})
  target_link_options(${prog} PRIVATE -Wl,-Map=${pkg_dir}/${prog}.map)
  list(APPEND pkg_maps ${pkg_dir}/${prog}.map)
  list(APPEND pkg_exes ${prog}.exe)
endforeach()
string(REPLACE ";" "," pkg_maps_arg "${pkg_maps}")
string(REPLACE ";" "," pkg_exes_arg "${pkg_exes}")
file(GLOB notice_texts ${PROJECT_SOURCE_DIR}/packaging/windows/notices/*.txt)
add_custom_command(
  OUTPUT ${pkg_dir}/THIRD-PARTY-NOTICES.txt
  COMMAND ${CMAKE_COMMAND} -DMAPS=${pkg_maps_arg} -DPROGRAMS=${pkg_exes_arg}
          -DBUILD_DIR=${PROJECT_BINARY_DIR} -DNOTICES=${PROJECT_SOURCE_DIR}/packaging/windows/notices
          -DVERSION=${VARNO_PACKAGE_VERSION} -DOUTPUT=${pkg_dir}/THIRD-PARTY-NOTICES.txt
          -P ${PROJECT_SOURCE_DIR}/cmake/ThirdPartyNotices.cmake
  DEPENDS ${pkg_programs} ${PROJECT_SOURCE_DIR}/cmake/ThirdPartyNotices.cmake ${notice_texts}
  COMMENT "Third-party notices from the link maps"
  VERBATIM)

# The installer's and the uninstaller's icon: the program's own.
get_target_property(resource_files qe_resources VARNO_RESOURCE_FILES)
list(GET resource_files 2 icon_file)

# What the packages need, made by one target. CPack then installs without
# checking the whole build first (the tests' programs are not packaged).
add_custom_target(package_files ALL
                  DEPENDS ${pkg_programs} qe_resource_files ${pkg_dir}/THIRD-PARTY-NOTICES.txt)
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# Everything lies in the installation folder itself.
install(TARGETS ${pkg_programs} RUNTIME DESTINATION .)
install(FILES ${pkg_dir}/LICENSE.txt ${pkg_dir}/THIRD-PARTY-NOTICES.txt DESTINATION .)

set(CPACK_GENERATOR NSIS ZIP)
# Values reach the NSIS script as written here (backslashes and "$" included).
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_NAME varnomiksal)
set(CPACK_PACKAGE_VENDOR Varnomiksal)
set(CPACK_PACKAGE_VERSION ${VARNO_PACKAGE_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_PACKAGE_CONTACT "${VARNO_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware updater for Varnomiksal devices")
# varnomiksal-<version>-win64.exe and .zip for x64, -win32 for x86; the zip
# holds one folder of that name. The 32-bit installer goes into "Program
# Files (x86)" on 64-bit Windows and "Program Files" on 32-bit Windows, and
# writes the registry's 32-bit view, as 32-bit programs do. Each installer
# also removes an installed version of the other width.
set(CPACK_SYSTEM_NAME ${VARNO_WINDOWS_ARCH})
if(VARNO_WINDOWS_ARCH STREQUAL "win64")
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
  set(CPACK_VARNO_NSIS_TARGET amd64-unicode)
  set(CPACK_VARNO_REG_VIEW 64)
  set(CPACK_VARNO_OTHER_REG_VIEW 32)
else()
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES")
  set(CPACK_VARNO_NSIS_TARGET x86-unicode)
  set(CPACK_VARNO_REG_VIEW 32)
  set(CPACK_VARNO_OTHER_REG_VIEW 64)
endif()
set(CPACK_STRIP_FILES ON)

set(product "Varnomiksal bootloader")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "${product}")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY varnomiksal)
set(CPACK_NSIS_DISPLAY_NAME "${product}")
set(CPACK_NSIS_PACKAGE_NAME "${product}")
set(CPACK_NSIS_CONTACT "${CPACK_PACKAGE_CONTACT}")
# The licence page shows the licence.
set(CPACK_RESOURCE_FILE_LICENSE ${pkg_dir}/LICENSE.txt)
set(CPACK_NSIS_MUI_ICON ${icon_file})
set(CPACK_NSIS_MUI_UNIICON ${icon_file})
# Values of our own for the script: the window program (run from the finish
# page, shortcut in the Start menu), the numeric version of the installer's
# version resource, and its copyright line.
if(TARGET varnomiksal)
  set(CPACK_VARNO_WINDOW_PROGRAM varnomiksal.exe)
  set(CPACK_NSIS_INSTALLED_ICON_NAME varnomiksal.exe)
else()
  set(CPACK_VARNO_WINDOW_PROGRAM "")
  set(CPACK_NSIS_INSTALLED_ICON_NAME varnomiksal-cli.exe)
endif()
set(CPACK_VARNO_FILE_VERSION
    ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
set(CPACK_VARNO_COPYRIGHT "${VARNO_COPYRIGHT}")
list(PREPEND CMAKE_MODULE_PATH ${PROJECT_SOURCE_DIR}/packaging/windows)
include(CPack)
