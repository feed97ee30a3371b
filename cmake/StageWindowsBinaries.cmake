# Puts the release copies of the Windows binaries into STAGE: stripped of
# their debugging information, with the PE time stamp of SOURCE_DATE_EPOCH
# (binutils' strip honours it), and signed by scripts/sign-windows when
# VARNIK_SIGN_PKCS12 names a certificate. The zip and the installer take the
# binaries from there. A copy is replaced only when it changes, so packages
# are rebuilt only then; this runs on every build, so signing, or no longer
# signing, takes effect without a new build folder.
#   cmake -DSTRIP=... -DSTAGE=... -DSOURCE_DIR=... -DBINARIES=a.exe;b.dll -P ...
include(${CMAKE_CURRENT_LIST_DIR}/SourceDateEpoch.cmake)
varnik_set_source_date_epoch(${SOURCE_DIR})
file(MAKE_DIRECTORY ${STAGE})
foreach(binary IN LISTS BINARIES)
  get_filename_component(name ${binary} NAME)
  set(copy ${STAGE}/${name}.new)
  if(STRIP)
    execute_process(COMMAND ${STRIP} -o ${copy} ${binary} COMMAND_ERROR_IS_FATAL ANY)
  else()
    # MSVC keeps debugging information apart: its binaries go as they are.
    file(COPY_FILE ${binary} ${copy})
  endif()
  if(NOT "$ENV{VARNIK_SIGN_PKCS12}" STREQUAL "")
    execute_process(COMMAND ${SOURCE_DIR}/scripts/sign-windows ${copy} COMMAND_ERROR_IS_FATAL ANY)
  endif()
  file(COPY_FILE ${copy} ${STAGE}/${name} ONLY_IF_DIFFERENT)
  file(REMOVE ${copy})
endforeach()
