# The Windows package: a ZIP with tessil-cli.exe, the help file "Tessil
# Help.chm" and a short text for its users, made by `cpack --preset windows`
# after the `windows` build. The stand-in EcoSim is never installed, so never
# packaged.
configure_file(${PROJECT_SOURCE_DIR}/packaging/README-Windows.txt ${PROJECT_BINARY_DIR}/README-Windows.txt @ONLY
  NEWLINE_STYLE CRLF)
install(FILES ${PROJECT_BINARY_DIR}/README-Windows.txt DESTINATION ${CMAKE_INSTALL_BINDIR})

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Tessil)
set(CPACK_PACKAGE_VENDOR Tessil)
set(CPACK_PACKAGE_FILE_NAME Tessil-${PROJECT_VERSION}-windows-x64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
include(CPack)
