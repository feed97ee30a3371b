# Cross-builds the Windows program with Debian's mingw-w64 (64-bit, POSIX
# threads) and runs what it builds under Wine, in a prefix of the build's own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triplet}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every program and DLL is one self-contained file: the C++ runtime, libgcc and
# winpthread are linked in, so only Windows' own DLLs are imported. The link
# time is left out of the PE header (the packages' copies get the time of the
# last commit when they are stripped), so a link gives the same bytes each time.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--gc-sections -Wl,--no-insert-timestamp")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -Wl,--gc-sections -Wl,--no-insert-timestamp")
# Each function and datum in a section of its own, so the linker leaves out
# whatever of the runtime and the program nothing calls.
set(CMAKE_CXX_FLAGS_INIT "-ffunction-sections -fdata-sections")

# Test programs run under Wine, through a wrapper that keeps Wine's state in
# the build tree rather than in the user's own prefix.
get_filename_component(varnik_source_dir "${CMAKE_CURRENT_LIST_DIR}/../.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${varnik_source_dir}/scripts/wine-run;--prefix;${CMAKE_BINARY_DIR}/wine-prefix")
