# VUV_VERSION: the programs' FILEVERSION in res/vuvuzu.rc, written once
# there, as major.minor with build and revision only when they are not
# zero (the form vuvpack --version shows for a stub).
file(STRINGS ${VUV_SOURCE_DIR}/res/vuvuzu.rc VUV_FILEVERSION_LINE REGEX "^FILEVERSION ")
if(NOT VUV_FILEVERSION_LINE MATCHES "^FILEVERSION +([0-9]+), *([0-9]+), *([0-9]+), *([0-9]+)")
  message(FATAL_ERROR "res/vuvuzu.rc: no FILEVERSION line of four numbers")
endif()
set(VUV_VERSION ${CMAKE_MATCH_1}.${CMAKE_MATCH_2})
if(NOT CMAKE_MATCH_3 EQUAL 0 OR NOT CMAKE_MATCH_4 EQUAL 0)
  string(APPEND VUV_VERSION .${CMAKE_MATCH_3})
endif()
if(NOT CMAKE_MATCH_4 EQUAL 0)
  string(APPEND VUV_VERSION .${CMAKE_MATCH_4})
endif()
