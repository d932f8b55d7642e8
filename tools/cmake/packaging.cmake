# The release: vuvpack in bin/, both stubs in share/vuvuzu/ (where vuvpack
# looks for them), its manual in share/doc/vuvuzu/; and the Debian package
# that CPack makes from the same rules (cpack -G DEB in this build folder).
# vuvpack.exe's build makes the Windows zip instead.
include(GNUInstallDirs)
# Installing (and cpack) takes what is built and builds nothing: the test
# that makes the package runs beside tests whose programs a build would
# relink under them.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_PACKAGE_NAME vuvuzu)
set(CPACK_PACKAGE_VERSION ${VUV_VERSION})

# For Windows, one zip (cpack -G ZIP in vuvpack.exe's build folder):
# vuvpack.exe with both stubs beside it, where it looks for them, and the
# manual, in one folder named after the release.
if(WIN32)
  install(TARGETS vuvpack RUNTIME DESTINATION .)
  install(FILES ${VUV_STUB_X86} ${VUV_STUB_X64} ${VUV_SOURCE_DIR}/docs/vuvpack.md DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME vuvuzu-${VUV_VERSION}-windows-x64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  include(CPack)
  return()
endif()

install(TARGETS vuvpack RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${VUV_STUB_X86} ${VUV_STUB_X64} DESTINATION ${CMAKE_INSTALL_DATADIR}/vuvuzu)
install(FILES ${VUV_SOURCE_DIR}/docs/vuvpack.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vuvuzu)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "self-extracting cabinet module for Windows, and vuvpack to build its packages")
set(CPACK_PACKAGE_DESCRIPTION
  "vuvpack builds self-extracting packages for Windows on Linux from a folder\n"
  "or a cabinet, and inspects them. The package holds both stubs: vuvuzu.exe\n"
  "for 32-bit and 64-bit Windows, vuvuzu64.exe for 64-bit Windows without\n"
  "32-bit support.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGE_CONTACT "VUV-UZU developers")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The dependencies come from the libraries vuvpack is linked with.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
