# Writes SHA256SUMS in DIR, in the format of GNU sha256sum (checked with
# `sha256sum -c SHA256SUMS`), for those of FILES (names in DIR, separated by
# ';') that exist there, in name order. Run as
#   cmake -DDIR=... -DFILES=... -P WriteChecksums.cmake
# or included with DIR and FILES set (CPack's post-build scripts).
if(NOT DIR OR NOT FILES)
  message(FATAL_ERROR "WriteChecksums.cmake needs DIR and FILES")
endif()
list(SORT FILES)
set(sums "")
foreach(name IN LISTS FILES)
  if(EXISTS ${DIR}/${name})
    file(SHA256 ${DIR}/${name} hash)
    string(APPEND sums "${hash}  ${name}\n")
  endif()
endforeach()
file(WRITE ${DIR}/SHA256SUMS.new "${sums}")
file(RENAME ${DIR}/SHA256SUMS.new ${DIR}/SHA256SUMS)
