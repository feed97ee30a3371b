# Read by cpack before it makes each package: the packages carry the time of
# the last commit (SOURCE_DATE_EPOCH, honoured by CPack and the tools it
# runs), not the time they are made.
include(${CPACK_VARNIK_SOURCE_DIR}/cmake/SourceDateEpoch.cmake)
varnik_set_source_date_epoch(${CPACK_VARNIK_SOURCE_DIR})
