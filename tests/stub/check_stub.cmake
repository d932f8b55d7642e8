# cmake -DCHECK=<name> -DSTUB=<vuvuzu.exe> -DMAP=<link map> -DOBJDUMP=<objdump>
#       -DFORMAT=<pei-i386|pei-x86-64> -DMAGIC=<010b|020b> -P check_stub.cmake
#
# no_guard_or_winpthread: the link map lists no C++ guard code (the
#   program is built without thread-safe statics) and no member of
#   winpthread (the posix toolchain would otherwise drag it in).
# system_imports_only: the import table names only kernel32, user32, gdi32,
#   advapi32, shell32, ole32, comctl32 and msvcrt: known system libraries,
#   which the loader takes from the system folder whatever lies beside a
#   downloaded package. Everything else (cabinet, mpr, uxtheme) is loaded
#   at run time by full path.
# gui_image: the stub is an image of the build's kind (PE32 for i386, PE32+
#   for x86-64) for the GUI subsystem.
# no_cabinet_signature: the stub never holds "MSCF" and four zero bytes,
#   which the cabinet search would take for the package's cabinet.
cmake_minimum_required(VERSION 3.25)

if(CHECK STREQUAL "no_guard_or_winpthread")
  file(READ "${MAP}" map)
  if(NOT map MATCHES "libvuvcore\\.a\\(entry\\.cpp\\.obj\\)")
    message(FATAL_ERROR "${MAP} is not the stub's link map")
  endif()
  if(map MATCHES "__cxa_guard[a-z_]*")
    message(FATAL_ERROR "C++ guard code linked into the stub: ${CMAKE_MATCH_0}")
  endif()
  if(map MATCHES "lib(win)?pthread[^ \n]*\\.a\\([^)]+\\)")
    message(FATAL_ERROR "winpthread linked into the stub: ${CMAKE_MATCH_0}")
  endif()
  if(map MATCHES "libgcc_s|libstdc\\+\\+-6|libwinpthread-1")
    message(FATAL_ERROR "stub linked against a runtime DLL: ${CMAKE_MATCH_0}")
  endif()

elseif(CHECK STREQUAL "system_imports_only")
  execute_process(COMMAND "${OBJDUMP}" -p "${STUB}" OUTPUT_VARIABLE dump RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p failed")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\n]+" names "${dump}")
  if(NOT names)
    message(FATAL_ERROR "no import table in ${STUB}")
  endif()
  set(system_dlls kernel32 user32 gdi32 advapi32 shell32 ole32 comctl32 msvcrt)
  foreach(entry ${names})
    string(REGEX REPLACE "DLL Name: ([^ \r]+).*" "\\1" dll "${entry}")
    string(TOLOWER "${dll}" dll)
    string(REGEX REPLACE "\\.dll$" "" base "${dll}")
    if(NOT base IN_LIST system_dlls)
      message(FATAL_ERROR "the stub imports ${dll}, which is not on the list: ${system_dlls}")
    endif()
  endforeach()
  if(NOT "${names}" MATCHES "[Kk][Ee][Rr][Nn][Ee][Ll]32")
    message(FATAL_ERROR "kernel32 missing from the import table: not the stub?")
  endif()

elseif(CHECK STREQUAL "gui_image")
  execute_process(COMMAND "${OBJDUMP}" -p "${STUB}" OUTPUT_VARIABLE dump RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p failed")
  endif()
  if(NOT dump MATCHES "file format ${FORMAT}\n" OR NOT dump MATCHES "Magic[ \t]+${MAGIC}")
    message(FATAL_ERROR "${STUB} is not a ${FORMAT} image (optional header magic ${MAGIC})")
  endif()
  if(NOT dump MATCHES "Subsystem[ \t]+00000002")
    message(FATAL_ERROR "${STUB} is not built for the GUI subsystem")
  endif()

elseif(CHECK STREQUAL "no_cabinet_signature")
  file(READ "${STUB}" hex HEX)
  string(LENGTH "${hex}" length)
  if(length LESS 8192)
    message(FATAL_ERROR "${STUB} is too small to be the stub")
  endif()
  # Two hex digits per byte: a match counts only at an even position.
  set(rest "${hex}")
  set(offset 0)
  while(TRUE)
    string(FIND "${rest}" "4d53434600000000" at)
    if(at EQUAL -1)
      break()
    endif()
    math(EXPR position "${offset} + ${at}")
    math(EXPR odd "${position} % 2")
    if(NOT odd)
      math(EXPR byte "${position} / 2")
      message(FATAL_ERROR "the cabinet signature is in the stub at byte ${byte}")
    endif()
    math(EXPR next "${at} + 1")
    string(SUBSTRING "${rest}" ${next} -1 rest)
    math(EXPR offset "${position} + 1")
  endwhile()

else()
  message(FATAL_ERROR "unknown check '${CHECK}'")
endif()
