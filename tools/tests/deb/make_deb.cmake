# Makes the Debian package of a build folder with CPack and unpacks it with
# dpkg -x into OUT/root, where installing it would put its files.
# Usage: cmake -DCPACK=<cpack> -DCONFIG=<CPackConfig.cmake> -DOUT=<folder> -P make_deb.cmake
file(REMOVE_RECURSE ${OUT})
execute_process(COMMAND ${CPACK} -G DEB --config ${CONFIG} -B ${OUT} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cpack: ${result}")
endif()
file(GLOB debs ${OUT}/*.deb)
list(LENGTH debs count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "cpack made ${count} .deb files in ${OUT}, not one")
endif()
execute_process(COMMAND dpkg -x ${debs} ${OUT}/root RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "dpkg -x ${debs}: ${result}")
endif()
