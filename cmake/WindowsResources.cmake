# The version resource of every Windows binary of the project: the product's
# version from project(), its maker and its copyright, all tagged Italian like
# the program's own texts.
include_guard(GLOBAL)

# Writes <binary dir>/<target>_version.rc, the version resource of the target's
# file (file_name, such as varnik.exe; file_type VFT_APP or VFT_DLL), for a
# resource script to include or to build on its own.
function(varnik_version_resource target file_name file_type description)
  set(VARNIK_COMPANY_NAME "Varnik")
  set(VARNIK_LEGAL_COPYRIGHT "Copyright © 2026 gli autori di Varnik. Tutti i diritti riservati.")
  set(VARNIK_FILE_NAME ${file_name})
  set(VARNIK_FILE_TYPE ${file_type})
  set(VARNIK_FILE_DESCRIPTION ${description})
  get_filename_component(VARNIK_INTERNAL_NAME ${file_name} NAME_WE)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in
                 ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc @ONLY)
endfunction()
