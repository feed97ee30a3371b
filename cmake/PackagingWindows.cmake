# The Windows packages, both into <build>/packages:
# - the zip: varnik.exe, the stand-in object's DLL and two Italian notes, in
#   one folder that a user unpacks anywhere and runs from;
#     cmake --build build/mingw && (cd build/mingw && cpack)
# - the installer, Varnik-<version>-win64.msi: varnik.exe, the launcher its
#   Start menu entry starts (app/win32/launcher.cpp) and LEGGIMI.txt,
#   compiled with wixl from packaging/windows/varnik.wxs where wixl is found.
#     cmake --build build/mingw --target msi
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

# The installer. Its upgrade code (in varnik.wxs) stays the same for ever; its
# product code is derived from the version, so each version has its own and a
# newer package replaces an older one.
find_program(VARNIK_WIXL wixl)
find_program(VARNIK_MSIBUILD msibuild)
if(VARNIK_WIXL AND VARNIK_MSIBUILD)
  string(UUID product_code NAMESPACE 62DD9288-3BC9-47AE-BBAE-D20702310917
         NAME "Varnik ${PROJECT_VERSION}" TYPE SHA1 UPPER)
  set(stage ${PROJECT_BINARY_DIR}/packaging/msi)
  set(msi_name "Varnik-${PROJECT_VERSION}-win64.msi")
  set(msi ${CPACK_PACKAGE_DIRECTORY}/${msi_name})
  set(wxs ${PROJECT_SOURCE_DIR}/packaging/windows/varnik.wxs)
  file(MAKE_DIRECTORY ${stage})
  add_custom_command(
    OUTPUT ${msi}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CPACK_PACKAGE_DIRECTORY}
    COMMAND ${CMAKE_STRIP} -o ${stage}/varnik.exe $<TARGET_FILE:varnik>
    COMMAND ${CMAKE_STRIP} -o ${stage}/varnik-launcher.exe $<TARGET_FILE:varnik_launcher>
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_BINARY_DIR}/packaging/LEGGIMI.txt
            ${PROJECT_SOURCE_DIR}/app/win32/varnik.ico ${stage}
    # wixl takes the files named in varnik.wxs from the folder it runs in.
    COMMAND ${VARNIK_WIXL} --arch x64 -D Version=${PROJECT_VERSION} -D ProductCode=${product_code}
            -o ${msi} ${wxs}
    # wixl writes English (1033) as the package's language; the package is Italian.
    COMMAND ${VARNIK_MSIBUILD} ${msi} -s "Varnik ${PROJECT_VERSION}" Varnik "x64$<SEMICOLON>1040"
    WORKING_DIRECTORY ${stage}
    DEPENDS varnik varnik_launcher ${wxs} ${PROJECT_BINARY_DIR}/packaging/LEGGIMI.txt
            ${PROJECT_SOURCE_DIR}/app/win32/varnik.ico
    COMMENT "Building ${msi_name}"
    VERBATIM)
  add_custom_target(msi DEPENDS ${msi})
else()
  message(STATUS "wixl or msibuild not found (Debian packages wixl and msitools): no msi target")
endif()
