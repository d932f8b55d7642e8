# Test programs run under Wine through the cross-compiling emulator. The
# wrapper knows the build's own Wine prefix and the display that the test
# command started.
set(VUV_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
# A 64-bit build runs under the 64-bit loader itself: the wine script would
# pick the 32-bit one whenever it is installed, runnable or not.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(VUV_WINE_LOADER /usr/lib/wine/wine64)
  set(VUV_WINE_LOADER_EXPORT "export WINELOADER=/usr/lib/wine/wine64")
else()
  set(VUV_WINE_LOADER wine)
  set(VUV_WINE_LOADER_EXPORT "")
endif()
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
