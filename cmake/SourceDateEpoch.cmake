# The time every release file carries: SOURCE_DATE_EPOCH when it is set
# (the reproducible-builds convention, honoured by the compilers, binutils,
# dpkg and CPack), otherwise the time of the checkout's last commit. Usable
# in a project and in script mode (cmake -P, CPack's project configuration).
include_guard(GLOBAL)

# Sets the environment variable SOURCE_DATE_EPOCH for the running CMake and
# every process it starts, from the last commit of source_dir when it is not
# set. Without git or a checkout it is the time of the build, with a warning.
function(varnik_set_source_date_epoch source_dir)
  if(DEFINED ENV{SOURCE_DATE_EPOCH} AND NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
    return()
  endif()
  find_program(VARNIK_GIT git)
  if(VARNIK_GIT)
    execute_process(COMMAND ${VARNIK_GIT} -C ${source_dir} log -1 --format=%ct
                    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE status ERROR_QUIET)
  endif()
  if(VARNIK_GIT AND status EQUAL 0 AND epoch MATCHES "^[0-9]+$")
    set(ENV{SOURCE_DATE_EPOCH} ${epoch})
  else()
    message(WARNING "No git checkout in ${source_dir} and no SOURCE_DATE_EPOCH: "
                    "the release files carry the time of the build")
    string(TIMESTAMP now "%s" UTC)
    set(ENV{SOURCE_DATE_EPOCH} ${now})
  endif()
endfunction()
