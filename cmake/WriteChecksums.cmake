# Writes SHA256SUMS in DIR, in the format of GNU sha256sum (checked with
# `sha256sum -c SHA256SUMS`), for those of FILES (names, separated by ';')
# that are in DIR or among PATHS (files elsewhere that go into DIR under their
# name, such as CPack's packages before it copies them there), in name
# order. Run as
#   cmake -DDIR=... -DFILES=... -P WriteChecksums.cmake
# or included with DIR, FILES and PATHS set (CPack's post-build scripts).
if(NOT DIR OR NOT FILES)
  message(FATAL_ERROR "WriteChecksums.cmake needs DIR and FILES")
endif()
list(SORT FILES)
set(sums "")
foreach(name IN LISTS FILES)
  set(file ${DIR}/${name})
  foreach(path IN LISTS PATHS)
    get_filename_component(path_name ${path} NAME)
    if(path_name STREQUAL name)
      set(file ${path})
    endif()
  endforeach()
  if(EXISTS ${file})
    file(SHA256 ${file} hash)
    string(APPEND sums "${hash}  ${name}\n")
  endif()
endforeach()
file(MAKE_DIRECTORY ${DIR})
file(WRITE ${DIR}/SHA256SUMS.new "${sums}")
file(RENAME ${DIR}/SHA256SUMS.new ${DIR}/SHA256SUMS)
