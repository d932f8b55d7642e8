# Cross build for 64-bit Windows: a build of the tests only, for machines
# whose kernel runs no 32-bit programs (so no 32-bit Wine). The product is
# the 32-bit build; scripts/env.sh says which of the two the tests use.
set(VUV_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-cross.cmake)
