# cmake --install: the two libraries with their SONAME, the public headers,
# lytag and its man page, a pkg-config file and a CMake package.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set_target_properties(lytag PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
install(TARGETS lyParser lyCenter EXPORT lyParserTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS lytag RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES include/lyParser.h include/lyCenter.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES docs/lytag.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

configure_file(cmake/lyparser.pc.in ${CMAKE_BINARY_DIR}/lyparser.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/lyparser.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

set(LY_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/lyParser)
install(EXPORT lyParserTargets NAMESPACE lyParser:: DESTINATION ${LY_CMAKE_DIR})
configure_package_config_file(cmake/lyParserConfig.cmake.in
  ${CMAKE_BINARY_DIR}/lyParserConfig.cmake INSTALL_DESTINATION ${LY_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/lyParserConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/lyParserConfig.cmake ${CMAKE_BINARY_DIR}/lyParserConfigVersion.cmake
        DESTINATION ${LY_CMAKE_DIR})
