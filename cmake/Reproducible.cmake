# The same sources give the same binaries in any folder: the source and build
# folders' paths are mapped out of debugging information, __FILE__ and the
# like, so only paths relative to them remain. (The PE time stamp and the
# packages' times come from SOURCE_DATE_EPOCH: cmake/SourceDateEpoch.cmake.)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  add_compile_options("-ffile-prefix-map=${PROJECT_SOURCE_DIR}=."
                      "-ffile-prefix-map=${PROJECT_BINARY_DIR}=build")
endif()
