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
  if(ARG_LIBRARIES MATCHES "Qt6::")
    target_precompile_headers(${name} REUSE_FROM pixtera-qt-test-headers)
  else()
    target_precompile_headers(${name} REUSE_FROM pixtera-test-headers)
  endif()
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

# Test code (tests/, testing/, fuzz/) is compiled unoptimised with line tables only, whatever the
# build type: the code under test keeps the build's optimisation, and the tests build in about a
# third of the time. Called once, after every directory is added.
function(pixtera_build_test_code_quickly directory)
  get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
  foreach(subdirectory IN LISTS subdirectories)
    pixtera_build_test_code_quickly(${subdirectory})
  endforeach()
  if(NOT directory MATCHES "/(tests|testing|fuzz)(/|$)")
    return()
  endif()
  get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(NOT type STREQUAL "INTERFACE_LIBRARY" AND NOT type STREQUAL "UTILITY")
      target_compile_options(${target} PRIVATE $<$<NOT:$<CONFIG:Debug>>:-O0 -g1>)
    endif()
  endforeach()
endfunction()
