# The Windows packages, both into <build>/packages with SHA256SUMS beside them:
# - the zip: varnik.exe, the stand-in object's DLL and two Italian notes, in
#   one folder that a user unpacks anywhere and runs from;
#     cmake --build build/mingw && (cd build/mingw && cpack)
# - the installer, Varnik-<version>-win64.msi: varnik.exe, the launcher its
#   Start menu entry starts (app/win32/launcher.cpp) and LEGGIMI.txt,
#   compiled with wixl from packaging/windows/varnik.wxs where wixl is found.
#     cmake --build build/mingw --target msi
# Both are the same bytes whenever and wherever they are built from one commit
# (SOURCE_DATE_EPOCH, cmake/SourceDateEpoch.cmake), unless they are signed.
# The notes are written with CR LF line ends, as Windows editors expect.
foreach(note LEGGIMI.txt LEGGIMI-oggetto-di-prova.txt)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/${note}
                 ${PROJECT_BINARY_DIR}/packaging/${note} @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/packaging/${note} DESTINATION .)
endforeach()

# The binaries that go into the packages: stripped, time-stamped with
# SOURCE_DATE_EPOCH and, when a certificate is given, signed, before either
# package takes them (cmake/StageWindowsBinaries.cmake).
set(release_stage ${PROJECT_BINARY_DIR}/packaging/release)
set(release_binaries varnik.exe varnik-launcher.exe varnik_standin.dll)
list(TRANSFORM release_binaries PREPEND ${release_stage}/ OUTPUT_VARIABLE staged_binaries)
add_custom_target(release_binaries ALL
  COMMAND ${CMAKE_COMMAND} -DSTRIP=${CMAKE_STRIP} -DSTAGE=${release_stage}
          -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
          "-DBINARIES=$<TARGET_FILE:varnik>$<SEMICOLON>$<TARGET_FILE:varnik_launcher>$<SEMICOLON>$<TARGET_FILE:varnik_standin>"
          -P ${PROJECT_SOURCE_DIR}/cmake/StageWindowsBinaries.cmake
  BYPRODUCTS ${staged_binaries}
  DEPENDS varnik varnik_launcher varnik_standin
  COMMENT "Stripping (and signing, where a certificate is given) the release binaries"
  VERBATIM)
install(FILES ${release_stage}/varnik.exe ${release_stage}/varnik_standin.dll DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Varnik)
set(CPACK_PACKAGE_VENDOR Varnik)
set(CPACK_PACKAGE_FILE_NAME "Varnik-${PROJECT_VERSION}-win64")
# Everything sits in one top folder named like the zip, so unpacking never
# scatters files into the folder the user picked.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
# The time of the last commit for every package, fixed member times and order
# in the zip, and the checksums of both packages beside them.
set(CPACK_VARNIK_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_VARNIK_CHECKSUMMED "${CPACK_PACKAGE_FILE_NAME}.zip;${CPACK_PACKAGE_FILE_NAME}.msi")
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/CPackProjectConfig.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/CPackPostBuild.cmake)
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
  # Built anew whenever asked for (a second or two): it carries the time of
  # the last commit, which no file the build knows of tells.
  add_custom_target(msi
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}
    COMMAND ${CMAKE_COMMAND} -E copy ${release_stage}/varnik.exe
            ${release_stage}/varnik-launcher.exe ${PROJECT_BINARY_DIR}/packaging/LEGGIMI.txt
            ${PROJECT_SOURCE_DIR}/app/win32/varnik.ico ${stage}
    COMMAND ${CMAKE_COMMAND} -DWIXL=${VARNIK_WIXL} -DMSIBUILD=${VARNIK_MSIBUILD}
            -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DSTAGE=${stage} -DWXS=${wxs} -DMSI=${msi}
            -DVERSION=${PROJECT_VERSION} -DPRODUCT_CODE=${product_code}
            "-DCHECKSUMMED=${CPACK_VARNIK_CHECKSUMMED}"
            -P ${PROJECT_SOURCE_DIR}/cmake/BuildMsi.cmake
    BYPRODUCTS ${msi}
    DEPENDS release_binaries ${PROJECT_BINARY_DIR}/packaging/LEGGIMI.txt
    COMMENT "Building ${msi_name}"
    VERBATIM)
else()
  message(STATUS "wixl or msibuild not found (Debian packages wixl and msitools): no msi target")
endif()
