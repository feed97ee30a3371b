# Run by cpack once its packages are made (CPACK_POST_BUILD_SCRIPTS): a zip's
# members get fixed times and order (strip-nondeterminism, as Debian's own
# builds use it), then SHA256SUMS is written beside the release files of the
# version that are there: those named in CPACK_VARNIK_CHECKSUMMED, else those
# cpack has just made.
set(ENV{TZ} UTC)
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(package MATCHES "\\.zip$")
    find_program(STRIP_NONDETERMINISM strip-nondeterminism)
    if(STRIP_NONDETERMINISM)
      execute_process(COMMAND ${STRIP_NONDETERMINISM} --type zip
                              --timestamp $ENV{SOURCE_DATE_EPOCH} ${package}
                      COMMAND_ERROR_IS_FATAL ANY)
    else()
      message(WARNING "strip-nondeterminism is missing (scripts/install-deps): "
                      "${package} carries the times of the build's files")
    endif()
  endif()
endforeach()
# The packages are still in CPack's own folder; they go into
# CPACK_PACKAGE_DIRECTORY next.
set(DIR ${CPACK_PACKAGE_DIRECTORY})
set(PATHS ${CPACK_PACKAGE_FILES})
set(FILES ${CPACK_VARNIK_CHECKSUMMED})
if(NOT FILES)
  foreach(package IN LISTS CPACK_PACKAGE_FILES)
    get_filename_component(name ${package} NAME)
    list(APPEND FILES ${name})
  endforeach()
endif()
include(${CMAKE_CURRENT_LIST_DIR}/WriteChecksums.cmake)
