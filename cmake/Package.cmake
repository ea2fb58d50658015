# The Debian package (scripts/package.sh): both programs, the desktop entry
# with the icon in the hicolor theme, the AppStream metainfo, the man pages,
# the copyright file and the changelog. Its dependencies come from the
# programs' shared libraries (dpkg-shlibdeps).
set(pkg_dir ${PROJECT_BINARY_DIR}/package)
file(MAKE_DIRECTORY ${pkg_dir})

# Man pages and the changelog carry the version; Debian keeps them gzipped
# without a time stamp. The man pages in the tree name the package alone
# (so that they read as they are), and get the version here.
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog ${pkg_dir}/changelog @ONLY)
foreach(page varnomiksal.1 varnomiksal-cli.1)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               ${PROJECT_SOURCE_DIR}/packaging/${page})
  file(READ ${PROJECT_SOURCE_DIR}/packaging/${page} text)
  string(REPLACE "\"varnomiksal\" \"User Commands\""
         "\"varnomiksal ${VARNO_PACKAGE_VERSION}\" \"User Commands\"" text "${text}")
  file(CONFIGURE OUTPUT ${pkg_dir}/${page} CONTENT "${text}" @ONLY)
endforeach()
set(pkg_gzipped)
foreach(page varnomiksal.1 varnomiksal-cli.1 changelog)
  add_custom_command(
    OUTPUT ${pkg_dir}/${page}.gz
    COMMAND sh -c "gzip -9n -c '${pkg_dir}/${page}' > '${pkg_dir}/${page}.gz'"
    DEPENDS ${pkg_dir}/${page}
    COMMENT "Compressing ${page}"
    VERBATIM)
  list(APPEND pkg_gzipped ${pkg_dir}/${page}.gz)
endforeach()

# The icon theme takes PNG files: the embedded icon's images, one per size.
get_target_property(resource_files qe_resources VARNO_RESOURCE_FILES)
list(GET resource_files 2 icon_file)
set(pkg_icons)
foreach(size 16 32)
  set(png ${pkg_dir}/icon-${size}.png)
  add_custom_command(
    OUTPUT ${png}
    COMMAND icon2png ${icon_file} ${png} ${size}
    DEPENDS icon2png ${icon_file}
    COMMENT "Icon ${size}x${size}"
    VERBATIM)
  list(APPEND pkg_icons ${png})
  install(FILES ${png} DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME varnomiksal.png)
endforeach()
add_custom_target(package_files ALL DEPENDS ${pkg_gzipped} ${pkg_icons})
# The icon is made in the resources' folder: a file there is no rule here, so
# the target that makes it comes first (a build at one job found it missing).
add_dependencies(package_files qe_resource_files)

# The software centres' metainfo. Its release is the changelog's latest entry,
# dated as there, so that the package stays the same from one build to the
# next. The screenshots are those of docs/screenshots/linux, where the
# project's site publishes them.
set(VARNO_HOMEPAGE "https://varnomiksal.invalid" CACHE STRING
    "The project's site, which publishes docs/screenshots/linux as <site>/screenshots/linux")
set(VARNO_APPSTREAM_ID invalid.varnomiksal.bootloader)
set(VARNO_SCREENSHOTS_URL ${VARNO_HOMEPAGE}/screenshots/linux)
string(REGEX REPLACE "^.*<(.*)>$" "\\1" VARNO_MAINTAINER_EMAIL "${VARNO_MAINTAINER}")
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog trailer REGEX "^ -- " LIMIT_COUNT 1)
if(NOT trailer MATCHES ", ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
  message(FATAL_ERROR "packaging/changelog: no date in the first entry's trailer line")
endif()
set(month_numbers Jan 01 Feb 02 Mar 03 Apr 04 May 05 Jun 06 Jul 07 Aug 08 Sep 09 Oct 10 Nov 11 Dec 12)
list(FIND month_numbers ${CMAKE_MATCH_2} month)
math(EXPR month "${month} + 1")
list(GET month_numbers ${month} month)
set(VARNO_RELEASE_DATE ${CMAKE_MATCH_3}-${month}-${CMAKE_MATCH_1})
configure_file(${PROJECT_SOURCE_DIR}/packaging/varnomiksal.metainfo.xml.in
               ${pkg_dir}/${VARNO_APPSTREAM_ID}.metainfo.xml @ONLY)
install(FILES ${pkg_dir}/${VARNO_APPSTREAM_ID}.metainfo.xml DESTINATION share/metainfo)

# Relocations resolved at start-up, so they can be made read-only (Debian's
# hardening "bindnow").
target_link_options(varnomiksal PRIVATE -Wl,-z,now)
target_link_options(varnomiksal-cli PRIVATE -Wl,-z,now)
install(TARGETS varnomiksal varnomiksal-cli RUNTIME DESTINATION bin)
# A stripped program also loses the compilers' names and versions (the
# ".comment" section), as Debian's own packages do.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(prog varnomiksal varnomiksal-cli)
      execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment
                              \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/\${prog}\"
                      COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()")
install(FILES ${PROJECT_SOURCE_DIR}/packaging/varnomiksal.desktop DESTINATION share/applications)
install(FILES ${pkg_dir}/varnomiksal.1.gz ${pkg_dir}/varnomiksal-cli.1.gz
        DESTINATION share/man/man1)
configure_file(${PROJECT_SOURCE_DIR}/packaging/copyright ${pkg_dir}/copyright @ONLY)
install(FILES ${pkg_dir}/copyright ${pkg_dir}/changelog.gz DESTINATION share/doc/varnomiksal)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varnomiksal)
set(CPACK_PACKAGE_VERSION ${VARNO_PACKAGE_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "${VARNO_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware updater for Varnomiksal devices")
# The long description; CPack puts the summary above it and indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Writes the firmware image it carries to the bootloader of a Varnomiksal
device over a serial port, checking the device's CRC-16 after every block.

The package holds the window program (varnomiksal) and the command-line
flasher for scripts and production benches (varnomiksal-cli), which lists
ports, identifies devices and writes with progress, a JSON result and exit
codes.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
