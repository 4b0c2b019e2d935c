# Builds the package with CPack into WORK_DIR/build (a fresh folder each
# run), unpacks it into WORK_DIR/unpacked and checks what an operator gets:
# exactly the two programs and the README in one folder named like the zip,
# the README in Windows line ends naming the version, and programs that
# import nothing but system DLLs.
#   cmake -D CPACK=... -D CPACK_CONFIG=... -D WORK_DIR=... -D PACKAGE_NAME=...
#         -D VERSION=... -D OBJDUMP=... -P unpack_package.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")

execute_process(COMMAND "${CPACK}" --config "${CPACK_CONFIG}" -B "${WORK_DIR}/build"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cpack failed (${rc}):\n${out}")
endif()
set(zip "${WORK_DIR}/build/${PACKAGE_NAME}.zip")
if(NOT EXISTS "${zip}")
  message(FATAL_ERROR "no ${PACKAGE_NAME}.zip; cpack said:\n${out}")
endif()

file(ARCHIVE_EXTRACT INPUT "${zip}" DESTINATION "${WORK_DIR}/unpacked")
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${WORK_DIR}/unpacked"
     "${WORK_DIR}/unpacked/*")
list(SORT files)
set(expected "${PACKAGE_NAME}/README.txt;${PACKAGE_NAME}/ZELO.exe;${PACKAGE_NAME}/zeloctl.exe")
if(NOT files STREQUAL expected)
  message(FATAL_ERROR "the package holds:\n  ${files}\nexpected:\n  ${expected}")
endif()
set(folder "${WORK_DIR}/unpacked/${PACKAGE_NAME}")

file(READ "${folder}/README.txt" readme)
string(FIND "${readme}" "ZELO ${VERSION} " at)
if(at EQUAL -1)
  message(FATAL_ERROR "README.txt does not name version ${VERSION}")
endif()
# Byte by byte (file(READ) as text drops the CRs): every LF follows a CR.
file(READ "${folder}/README.txt" hex HEX)
string(REGEX REPLACE "(..)" "\\1 " bytes "${hex}")
string(REGEX MATCHALL "(^| )0a" lf "${bytes}")
string(REGEX MATCHALL "0d 0a" crlf "${bytes}")
list(LENGTH lf lines)
list(LENGTH crlf windows_lines)
if(lines EQUAL 0 OR NOT lines EQUAL windows_lines)
  message(FATAL_ERROR "README.txt: ${lines} line ends, ${windows_lines} of them CR LF")
endif()

# What Windows itself brings; anything else would have to travel along.
set(system_dlls advapi32.dll comctl32.dll comdlg32.dll gdi32.dll imm32.dll kernel32.dll
    msvcrt.dll ole32.dll oleaut32.dll shell32.dll user32.dll version.dll ws2_32.dll
    wsock32.dll)
foreach(exe ZELO.exe zeloctl.exe)
  execute_process(COMMAND "${OBJDUMP}" -p "${folder}/${exe}"
                  RESULT_VARIABLE rc OUTPUT_VARIABLE dump ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${exe} failed: ${err}")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${dump}")
  if(NOT lines)
    message(FATAL_ERROR "${exe}: no imports found in the objdump output")
  endif()
  set(imports)
  foreach(line IN LISTS lines)
    string(REPLACE "DLL Name: " "" dll "${line}")
    string(TOLOWER "${dll}" dll)
    list(APPEND imports ${dll})
    if(NOT dll IN_LIST system_dlls)
      message(FATAL_ERROR "${exe} imports ${dll}, which is not part of Windows")
    endif()
  endforeach()
  message(STATUS "${exe} imports: ${imports}")
endforeach()
message(STATUS "unpacked ${PACKAGE_NAME}.zip into ${folder}")
