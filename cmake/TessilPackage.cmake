# The Windows packages: a ZIP and a per-user setup program, each with
# tessil.exe, tessil-cli.exe, the help file "Tessil Help.chm" and a short text
# for its users, made by `cpack --preset windows` after the `windows` build.
# The setup program comes from the project's own NSIS template
# (cmake/NSIS.template.in). The stand-in EcoSim is never installed, so never
# packaged.
configure_file(${PROJECT_SOURCE_DIR}/packaging/README-Windows.txt ${PROJECT_BINARY_DIR}/README-Windows.txt @ONLY
  NEWLINE_STYLE CRLF)
install(FILES ${PROJECT_BINARY_DIR}/README-Windows.txt DESTINATION ${CMAKE_INSTALL_BINDIR})

set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_PACKAGE_NAME Tessil)
set(CPACK_PACKAGE_VENDOR Tessil)
set(CPACK_PACKAGE_FILE_NAME Tessil-${PROJECT_VERSION}-windows-x64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Tessil)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Tessil)
# CPack finds a project's NSIS.template.in on the module path.
list(PREPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})
# The setup program's name says what it is; its files sit at the top of the
# install folder, not in a folder of the package's name.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/TessilPackageGenerator.cmake)
include(CPack)
