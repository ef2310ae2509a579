# `cmake --install` lays out the host library, the module and the public headers for callers, with a
# CMake package (ZemoxGeomConfig.cmake) and a pkg-config file describing them.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(ZEMOX_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ZemoxGeom)
set(ZEMOX_MODULE_DIR ${CMAKE_INSTALL_LIBDIR}/zemox)

set_target_properties(zemox_host PROPERTIES EXPORT_NAME host)
install(TARGETS zemox_host geom_framework private_geom_framework EXPORT ZemoxGeomTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY
  host/include/
  frameworks/geom.framework/include/
  frameworks/private_geom.framework/include/
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT ZemoxGeomTargets NAMESPACE ZemoxGeom:: DESTINATION ${ZEMOX_PACKAGE_DIR})

# The module is loaded, never linked, so it is no imported target. It finds the host library one level
# up even when the loading program did not link it.
set_target_properties(geom_module PROPERTIES INSTALL_RPATH "$ORIGIN/..")
install(TARGETS geom_module LIBRARY DESTINATION ${ZEMOX_MODULE_DIR})

configure_package_config_file(cmake/ZemoxGeomConfig.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/ZemoxGeomConfig.cmake
  INSTALL_DESTINATION ${ZEMOX_PACKAGE_DIR} PATH_VARS ZEMOX_MODULE_DIR)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/ZemoxGeomConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/ZemoxGeomConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/ZemoxGeomConfigVersion.cmake
  DESTINATION ${ZEMOX_PACKAGE_DIR})

# The pkg-config file locates the prefix from its own directory, so an installation can be moved.
file(RELATIVE_PATH ZEMOX_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" ZEMOX_PC_TO_PREFIX ${ZEMOX_PC_TO_PREFIX})
configure_file(cmake/zemoxgeom.pc.in ${CMAKE_CURRENT_BINARY_DIR}/zemoxgeom.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/zemoxgeom.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
