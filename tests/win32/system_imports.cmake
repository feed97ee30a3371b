# Checks that a Windows image imports only DLLs that come with every Windows
# system, and none of them delay-loaded, as the image's import tables say
# (read with objdump -p).
#   cmake -DOBJDUMP=<objdump> -DIMAGE=<file> -P system_imports.cmake
cmake_minimum_required(VERSION 3.25)
set(system_dlls advapi32.dll comctl32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll
    oleaut32.dll shell32.dll ucrtbase.dll user32.dll version.dll)

execute_process(COMMAND ${OBJDUMP} -p ${IMAGE} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} cannot read ${IMAGE}")
endif()
if(NOT dump MATCHES "Entry d 0+ 0+ Delay Import Directory")
  message(FATAL_ERROR "${IMAGE} delay-loads DLLs")
endif()
string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
if(NOT imports MATCHES "DLL Name: KERNEL32.dll")
  message(FATAL_ERROR "no import table read from ${IMAGE}:\n${dump}")
endif()
foreach(import IN LISTS imports)
  string(REGEX REPLACE "^DLL Name: " "" dll "${import}")
  string(TOLOWER "${dll}" dll)
  if(NOT dll IN_LIST system_dlls AND NOT dll MATCHES "^api-ms-win-")
    message(FATAL_ERROR "${IMAGE} imports ${dll}, which is not part of Windows")
  endif()
endforeach()
