# The Windows zip: varnik.exe, the stand-in object's DLL and two Italian
# notes, in one folder that a user unpacks anywhere and runs from.
#   cmake --build build/mingw && (cd build/mingw && cpack)
# The notes are written with CR LF line ends, as Windows editors expect.
foreach(note LEGGIMI.txt LEGGIMI-oggetto-di-prova.txt)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/${note}
                 ${PROJECT_BINARY_DIR}/packaging/${note} @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/packaging/${note} DESTINATION .)
endforeach()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Varnik)
set(CPACK_PACKAGE_VENDOR Varnik)
set(CPACK_PACKAGE_FILE_NAME "Varnik-${PROJECT_VERSION}-win64")
# Everything sits in one top folder named like the zip, so unpacking never
# scatters files into the folder the user picked.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
# The build carries debug information; the zip does not.
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
include(CPack)
