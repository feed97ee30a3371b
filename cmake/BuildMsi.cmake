# Builds the installer MSI from varnik.wxs with the files gathered in STAGE,
# the same bytes from the same sources whenever and wherever it is built: the
# files' times in its cabinet, its creation time and its package code come
# from SOURCE_DATE_EPOCH and its content (scripts/msi-fix-summary), not from
# the clock or chance. Signed by scripts/sign-windows when VARNIK_SIGN_PKCS12
# names a certificate; then SHA256SUMS is written beside it.
#   cmake -DWIXL=... -DMSIBUILD=... -DSOURCE_DIR=... -DSTAGE=... -DWXS=...
#         -DMSI=... -DVERSION=... -DPRODUCT_CODE=... -DCHECKSUMMED=... -P ...
include(${CMAKE_CURRENT_LIST_DIR}/SourceDateEpoch.cmake)
varnik_set_source_date_epoch(${SOURCE_DIR})
# The cabinet holds each file's time, in the time zone of the build.
set(ENV{TZ} UTC)
file(GLOB staged ${STAGE}/*)
execute_process(COMMAND touch --no-dereference --date=@$ENV{SOURCE_DATE_EPOCH} ${staged}
                COMMAND_ERROR_IS_FATAL ANY)
get_filename_component(msi_dir ${MSI} DIRECTORY)
file(MAKE_DIRECTORY ${msi_dir})
file(REMOVE ${MSI})
# wixl takes the files named in varnik.wxs from the folder it runs in.
execute_process(COMMAND ${WIXL} --arch x64 -D Version=${VERSION} -D ProductCode=${PRODUCT_CODE}
                        -o ${MSI}.new ${WXS}
                WORKING_DIRECTORY ${STAGE} COMMAND_ERROR_IS_FATAL ANY)
# wixl writes English (1033) as the package's language; the package is Italian.
execute_process(COMMAND ${MSIBUILD} ${MSI}.new -s "Varnik ${VERSION}" Varnik "x64;1040"
                COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${SOURCE_DIR}/scripts/msi-fix-summary ${MSI}.new ${VERSION}
                COMMAND_ERROR_IS_FATAL ANY)
if(NOT "$ENV{VARNIK_SIGN_PKCS12}" STREQUAL "")
  execute_process(COMMAND ${SOURCE_DIR}/scripts/sign-windows ${MSI}.new
                  COMMAND_ERROR_IS_FATAL ANY)
endif()
file(RENAME ${MSI}.new ${MSI})
set(DIR ${msi_dir})
set(FILES ${CHECKSUMMED})
include(${CMAKE_CURRENT_LIST_DIR}/WriteChecksums.cmake)
