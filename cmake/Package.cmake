# The Debian package (scripts/package.sh): both programs, the desktop entry
# with the icon in the hicolor theme, the man pages, the copyright file and
# the changelog. Its dependencies come from the programs' shared libraries
# (dpkg-shlibdeps).
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

# Relocations resolved at start-up, so they can be made read-only (Debian's
# hardening "bindnow").
target_link_options(varnomiksal PRIVATE -Wl,-z,now)
target_link_options(varnomiksal-cli PRIVATE -Wl,-z,now)
install(TARGETS varnomiksal varnomiksal-cli RUNTIME DESTINATION bin)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/varnomiksal.desktop DESTINATION share/applications)
install(FILES ${pkg_dir}/varnomiksal.1.gz ${pkg_dir}/varnomiksal-cli.1.gz
        DESTINATION share/man/man1)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${pkg_dir}/changelog.gz
        DESTINATION share/doc/varnomiksal)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varnomiksal)
set(CPACK_PACKAGE_VERSION ${VARNO_PACKAGE_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "Varnomiksal maintainers <maintainers@varnomiksal.example>")
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
