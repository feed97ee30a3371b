# The warnings every target of the project is built with. Whether they stop
# the build is CMake's COMPILE_WARNING_AS_ERROR: the presets and CI turn it on
# (CMAKE_COMPILE_WARNING_AS_ERROR), a packager's plain build leaves it off, and
# `cmake --compile-no-warning-as-error` turns it off for any build.
function(varnik_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /permissive- /utf-8)
  else()
    target_compile_options(${target} PRIVATE
      -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
      -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual)
  endif()
endfunction()
