# SPDX-License-Identifier: MIT
# What `cmake --install` and the Debian package put where (GNUInstallDirs under the prefix):
# programs in bin, libpixtera-platform in the library directory, plug-ins and their catalogs in
# <libdir>/pixtera/plugins, the plug-in SDK (headers, pkg-config file, CMake package), examples,
# the bus activation file, the systemd user unit, the udev rule for USB-to-I2C adapters, the
# designer's desktop entry and man pages.
include(CMakePackageConfigHelpers)

set(PIXTERA_INSTALL_FULL_BINDIR ${CMAKE_INSTALL_FULL_BINDIR})
set(programs pixtera2 pixtera-reg pixtera-render pixtera-detect pixtera-mqtt)
if(TARGET pixtera-designer)
  list(APPEND programs pixtera-designer)
endif()
set_target_properties(${programs} PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
install(TARGETS ${programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)

install(TARGETS pixtera-platform pixtera-sdk EXPORT PixteraSDKTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT sdk)
install(DIRECTORY platform/include/pixtera/platform common/sdk/pixtera/sdk
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/pixtera COMPONENT sdk)

set(cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/PixteraSDK)
install(EXPORT PixteraSDKTargets NAMESPACE Pixtera:: DESTINATION ${cmake_dir} COMPONENT sdk)
configure_package_config_file(cmake/PixteraSDKConfig.cmake.in ${CMAKE_BINARY_DIR}/PixteraSDKConfig.cmake
  INSTALL_DESTINATION ${cmake_dir} PATH_VARS PIXTERA_INSTALL_PLUGINDIR)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/PixteraSDKConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/PixteraSDKConfig.cmake ${CMAKE_BINARY_DIR}/PixteraSDKConfigVersion.cmake
  cmake/pixtera-plugin.map DESTINATION ${cmake_dir} COMPONENT sdk)

file(RELATIVE_PATH PIXTERA_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(cmake/pixtera-sdk.pc.in ${CMAKE_BINARY_DIR}/pixtera-sdk.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/pixtera-sdk.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT sdk)

set(EXAMPLES ${CMAKE_INSTALL_FULL_DATADIR}/pixtera/examples)
set(TTY /dev/tty)
configure_file(examples/pixtera2-demo.xml ${CMAKE_BINARY_DIR}/data/pixtera2-demo.xml @ONLY)
install(FILES examples/clock.pxd examples/cpu-memory.pxd examples/hello.pxd examples/network.pxd
  ${CMAKE_BINARY_DIR}/data/pixtera2-demo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/pixtera/examples COMPONENT runtime)
install(DIRECTORY examples/plugin DESTINATION ${CMAKE_INSTALL_DATADIR}/pixtera/examples COMPONENT sdk)

# The bus activation file and the systemd user unit name the program by its absolute path, so they
# are written at install time, for the prefix installed to (also `cmake --install --prefix`).
# The unit goes to systemd's user unit directory under the prefix: /usr/lib/systemd/user for /usr.
install(CODE "
  set(PIXTERA_INSTALL_FULL_BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  configure_file(${PROJECT_SOURCE_DIR}/data/org.pixtera.Pixtera2.service.in
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/dbus-1/services/org.pixtera.Pixtera2.service\" @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/data/pixtera2.service.in
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/systemd/user/pixtera2.service\" @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/data/pixtera-mqtt.service.in
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/systemd/user/pixtera-mqtt.service\" @ONLY)
  message(STATUS \"Installing: bus activation file and systemd user unit\")" COMPONENT runtime)
# Access to the USB-to-I2C adapters driven directly, under the prefix: /usr/lib/udev/rules.d for /usr.
install(FILES data/60-pixtera-usb-i2c.rules DESTINATION lib/udev/rules.d COMPONENT runtime)
# And to the USB character modules driven directly (picoLCD 20x2, LCD2USB).
install(FILES data/60-pixtera-usb-lcd.rules DESTINATION lib/udev/rules.d COMPONENT runtime)

if(TARGET pixtera-designer)
  configure_file(data/org.pixtera.Designer.desktop.in ${CMAKE_BINARY_DIR}/data/org.pixtera.Designer.desktop @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/data/org.pixtera.Designer.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT runtime)
  install(FILES data/pixtera-designer.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT runtime)
  install(FILES data/io.github.pixtera.Designer.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT runtime)
  # File managers know a .pxd as a design, and open it in the designer.
  install(FILES data/pixtera-design.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages COMPONENT runtime)
endif()

# The user documentation; the designer's Help opens the installed copy.
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/pixtera COMPONENT runtime)
install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/pixtera COMPONENT runtime)

# Man pages from their scdoc sources.
find_program(SCDOC scdoc)
if(SCDOC)
  set(pages pixtera2.1 pixtera-reg.1 pixtera-render.1 pixtera-detect.1 pixtera-mqtt.1 pixtera-plugin-host.1 pixtera-command-runner.1 pixtera-fps-run.1 pixtera-designer.1 pixtera2.xml.5 pixtera-design.5)
  foreach(page ${pages})
    string(REGEX MATCH "[0-9]$" section ${page})
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      COMMAND sh -c "'${SCDOC}' < '${PROJECT_SOURCE_DIR}/man/${page}.scd' > '${CMAKE_BINARY_DIR}/man/${page}'"
      DEPENDS ${PROJECT_SOURCE_DIR}/man/${page}.scd VERBATIM)
    list(APPEND man_outputs ${CMAKE_BINARY_DIR}/man/${page})
    install(FILES ${CMAKE_BINARY_DIR}/man/${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section} COMPONENT runtime)
  endforeach()
  add_custom_target(man-pages ALL DEPENDS ${man_outputs})
else()
  message(WARNING "scdoc not found: no man pages are built or installed")
endif()


# Sanitizer builds leave it out: a plug-in built outside them cannot load their platform library.
if(PIXTERA_BUILD_TESTS AND NOT PIXTERA_ASAN AND NOT PIXTERA_TSAN)
  find_program(APPSTREAMCLI appstreamcli)
  if(APPSTREAMCLI)
    add_test(NAME DesignerMetainfoIsValid
      COMMAND ${APPSTREAMCLI} validate --no-net --pedantic ${PROJECT_SOURCE_DIR}/data/io.github.pixtera.Designer.metainfo.xml)
  endif()
  add_test(NAME InstallLayoutAndSdk
    COMMAND ${PROJECT_SOURCE_DIR}/packaging/tests/install_test.sh ${CMAKE_BINARY_DIR} ${CMAKE_INSTALL_PREFIX}
            ${CMAKE_INSTALL_LIBDIR})
endif()
