# SPDX-License-Identifier: MIT
include(GoogleTest)

# A plug-in module: a shared object loaded with dlopen, exporting only the four COM entry points.
function(pixtera_add_plugin name)
  cmake_parse_arguments(ARG "" "OUTPUT_DIRECTORY" "SOURCES;LIBRARIES" ${ARGN})
  add_library(${name} MODULE ${ARG_SOURCES})
  set(shipped FALSE) # test modules name their own directory and stay in the build tree
  if(NOT ARG_OUTPUT_DIRECTORY)
    set(ARG_OUTPUT_DIRECTORY ${PIXTERA_PLUGIN_DIR})
    set(shipped TRUE)
  endif()
  set_target_properties(${name} PROPERTIES
    PREFIX ""
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LIBRARY_OUTPUT_DIRECTORY ${ARG_OUTPUT_DIRECTORY}
    BUILD_RPATH "$ORIGIN/../../lib;$ORIGIN/../lib")
  target_link_libraries(${name} PRIVATE pixtera::sdk ${ARG_LIBRARIES})
  target_link_options(${name} PRIVATE ${PIXTERA_NO_UNDEFINED}
    -Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/pixtera-plugin.map)
  set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/pixtera-plugin.map)
  if(shipped)
    set_target_properties(${name} PROPERTIES INSTALL_RPATH "$ORIGIN/../..")
    install(TARGETS ${name} LIBRARY DESTINATION ${PIXTERA_INSTALL_PLUGINDIR} COMPONENT runtime)
  endif()
endfunction()

# A plug-in catalog file (.pxp), copied beside the modules for the designer.
function(pixtera_add_catalog file)
  configure_file(${CMAKE_CURRENT_SOURCE_DIR}/${file} ${PIXTERA_PLUGIN_DIR}/${file} COPYONLY)
  install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/${file} DESTINATION ${PIXTERA_INSTALL_PLUGINDIR} COMPONENT runtime)
endfunction()

# One test executable per unit; each test case runs in its own process (and so its own
# temporary registry, runtime and XDG directories, see the testing support library).
function(pixtera_add_test name)
  cmake_parse_arguments(ARG "" "RESOURCE_LOCK" "SOURCES;LIBRARIES;DEPENDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE pixtera::testing ${ARG_LIBRARIES})
  if(ARG_DEPENDS)
    add_dependencies(${name} ${ARG_DEPENDS})
  endif()
  if(ARG_RESOURCE_LOCK)
    # Tests that share something of the machine's never run at the same time.
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES RESOURCE_LOCK ${ARG_RESOURCE_LOCK})
  else()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST)
  endif()
endfunction()
