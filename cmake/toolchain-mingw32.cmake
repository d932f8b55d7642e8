# Cross build for 32-bit Windows: the product.
set(VUV_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-cross.cmake)
