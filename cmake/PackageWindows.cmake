# The Windows packages (scripts/package-windows.sh): an installer made by
# NSIS and a plain zip, both of whatever programs the build has. The
# command-line flasher is always there; the window program joins as soon as
# its target exists, with the Start-menu shortcut and the icon that the
# installed-programs list shows.
#
# The installer is a 64-bit one, as the programs are: it installs into
# "Program Files" (not "Program Files (x86)") and writes the 64-bit registry.
# It needs administrator rights, installs for all users, adds a Start-menu
# folder and an uninstaller, and registers itself in the installed-programs
# list under one key for every version: a newer installer lays its files over
# the older installation and takes over its entry. "/S" installs silently,
# "/D=<dir>" (the last argument) chooses the folder.
set(pkg_dir ${PROJECT_BINARY_DIR}/package)
file(MAKE_DIRECTORY ${pkg_dir})

set(pkg_programs varnomiksal-cli)
if(TARGET varnomiksal)
  list(APPEND pkg_programs varnomiksal)
endif()

# The copyright file with Windows line ends, beside the programs.
configure_file(${PROJECT_SOURCE_DIR}/packaging/copyright ${pkg_dir}/copyright.txt
               @ONLY NEWLINE_STYLE CRLF)

# The installer's and the uninstaller's icon: the program's own.
get_target_property(resource_files qe_resources VARNO_RESOURCE_FILES)
list(GET resource_files 2 icon_file)

# What the packages need, made by one target. CPack then installs without
# checking the whole build first (the tests' programs are not packaged).
add_custom_target(package_files ALL DEPENDS ${pkg_programs} qe_resource_files)
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# Everything lies in the installation folder itself.
install(TARGETS ${pkg_programs} RUNTIME DESTINATION .)
install(FILES ${pkg_dir}/copyright.txt DESTINATION .)

set(CPACK_GENERATOR NSIS ZIP)
# Values reach the NSIS script as written here (backslashes and "$" included).
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_NAME varnomiksal)
set(CPACK_PACKAGE_VENDOR Varnomiksal)
set(CPACK_PACKAGE_VERSION ${VARNO_PACKAGE_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_PACKAGE_CONTACT "Varnomiksal maintainers <maintainers@varnomiksal.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware updater for Varnomiksal devices")
# varnomiksal-<version>-win64.exe and .zip; the zip holds one folder of that name.
set(CPACK_SYSTEM_NAME win64)
set(CPACK_STRIP_FILES ON)

set(product "Varnomiksal bootloader")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "${product}")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY varnomiksal)
set(CPACK_NSIS_DISPLAY_NAME "${product}")
set(CPACK_NSIS_PACKAGE_NAME "${product}")
set(CPACK_NSIS_CONTACT "${CPACK_PACKAGE_CONTACT}")
# A 64-bit installer: 64-bit paths and registry, as the programs are 64-bit.
set(CPACK_NSIS_DEFINES "  Target amd64-unicode")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
# The licence page shows the copyright file.
set(CPACK_RESOURCE_FILE_LICENSE ${pkg_dir}/copyright.txt)
set(CPACK_NSIS_MUI_ICON ${icon_file})
set(CPACK_NSIS_MUI_UNIICON ${icon_file})

# Start menu: the window program (with the icon it carries), and a command
# prompt in the installation folder that shows the flasher's usage. The
# prompt's working folder is the installation folder, taken from $OUTDIR.
set(menu_dir "$SMPROGRAMS\\$STARTMENU_FOLDER")
set(cli_link "${product} command line.lnk")
set(create_links
    "  SetOutPath \"$INSTDIR\"\n"
    "  CreateShortCut \"${menu_dir}\\${cli_link}\" \"$SYSDIR\\cmd.exe\" "
    "\"/k varnomiksal-cli --help\" \"$INSTDIR\\varnomiksal-cli.exe\" 0\n")
set(delete_links "  Delete \"$SMPROGRAMS\\$MUI_TEMP\\${cli_link}\"\n")
set(installed_icon varnomiksal-cli.exe)
if(TARGET varnomiksal)
  list(APPEND create_links
       "  CreateShortCut \"${menu_dir}\\${product}.lnk\" \"$INSTDIR\\varnomiksal.exe\" "
       "\"\" \"$INSTDIR\\varnomiksal.exe\" 0\n")
  list(APPEND delete_links "  Delete \"$SMPROGRAMS\\$MUI_TEMP\\${product}.lnk\"\n")
  set(installed_icon varnomiksal.exe)
  set(CPACK_NSIS_MUI_FINISHPAGE_RUN varnomiksal.exe)
endif()
string(CONCAT CPACK_NSIS_CREATE_ICONS_EXTRA ${create_links})
string(CONCAT CPACK_NSIS_DELETE_ICONS_EXTRA ${delete_links})
set(CPACK_NSIS_INSTALLED_ICON_NAME ${installed_icon})
include(CPack)
