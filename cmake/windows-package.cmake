# The Windows package: ZELO-<version>-win64.zip with ZELO.exe, zeloctl.exe
# and the operator's README.txt in one folder. Nothing needs installing: the
# programs are linked statically and import only system DLLs.
#   cmake --build --preset windows --target package
install(TARGETS ZELO zeloctl RUNTIME DESTINATION .)

# The README in Windows line ends, with the version filled in.
configure_file(${CMAKE_SOURCE_DIR}/docs/operator-readme.txt
               ${CMAKE_BINARY_DIR}/package/README.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/package/README.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME ZELO)
set(CPACK_PACKAGE_VENDOR "ZELO developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME "ZELO-${PROJECT_VERSION}-win64")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ZELO power controller monitor")
# Unpacked, the zip gives one folder named like the file.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
