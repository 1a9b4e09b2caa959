# The Debian package: `cpack -G DEB` in the build directory (configure with
# -DCMAKE_INSTALL_PREFIX=/usr). Its dependencies come from the shared libraries it links; its
# maintainer scripts register the plug-ins and the service for every user in the machine layer
# of the registry, and take them out again.
set(CPACK_PACKAGE_NAME pixtera)
set(CPACK_PACKAGE_VENDOR "Pixtera")
set(CPACK_PACKAGE_CONTACT "Pixtera developers <pixtera@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Shows live information on character LCDs")
set(CPACK_PACKAGE_DESCRIPTION "Pixtera drives small character LCDs (HD44780-style modules) with designs of static texts,\n live values, scrolling and bars: the service pixtera2, its plug-ins, the designer and the\n plug-in SDK.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES TRUE)
# The HTTP library is opened only for the statistics ping, so no link pulls it in.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libcurl4, dbus-user-session")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "lcdproc")
configure_file(packaging/debian/postinst.in ${CMAKE_BINARY_DIR}/packaging/postinst @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
configure_file(packaging/debian/prerm.in ${CMAKE_BINARY_DIR}/packaging/prerm @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
configure_file(packaging/debian/postrm.in ${CMAKE_BINARY_DIR}/packaging/postrm @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${CMAKE_BINARY_DIR}/packaging/postinst ${CMAKE_BINARY_DIR}/packaging/prerm ${CMAKE_BINARY_DIR}/packaging/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Tests' modules and the static helper libraries are not part of it.
set(CPACK_COMPONENTS_ALL runtime sdk)
set(CPACK_DEB_COMPONENT_INSTALL OFF)
include(CPack)
