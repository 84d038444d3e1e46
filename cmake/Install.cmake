# cmake --install: the two libraries with their SONAME, the C layer, the
# public headers, lytag and its man page, the test CDDB server, the
# documentation under share/doc/lyparser, pkg-config files, a CMake package,
# and the Python package's sources under share/lyparser/python.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS lyParser lyCenter lyparser_c EXPORT lyParserTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS lytag cddb_test_server RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES include/lyParser.h include/lyCenter.h include/lyparser_c.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES docs/lytag.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The headers name this folder: every page of docs/.
install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/lyparser
        FILES_MATCHING PATTERN "*.md")

# The pkg-config file finds the prefix from its own folder, however deep the
# library folder is (lib, or lib/x86_64-linux-gnu under /usr).
file(RELATIVE_PATH LY_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(cmake/lyparser.pc.in ${CMAKE_BINARY_DIR}/lyparser.pc @ONLY)
configure_file(cmake/lyparser-c.pc.in ${CMAKE_BINARY_DIR}/lyparser-c.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/lyparser.pc ${CMAKE_BINARY_DIR}/lyparser-c.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The Python package, ready for pip, told where this install's C layer is.
set(LY_PYTHON_DIR ${CMAKE_INSTALL_DATAROOTDIR}/lyparser/python)
install(DIRECTORY bindings/python/ DESTINATION ${LY_PYTHON_DIR}
        PATTERN __pycache__ EXCLUDE PATTERN "*.egg-info" EXCLUDE PATTERN _install.py EXCLUDE)
install(CODE "set(LY_PYTHON_DIR \"${LY_PYTHON_DIR}\")
  set(LY_C_LAYER \"${CMAKE_INSTALL_LIBDIR}/liblyparser_c.so.${PROJECT_VERSION_MAJOR}\")")
install(SCRIPT cmake/RecordCLayer.cmake)

set(LY_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/lyParser)
install(EXPORT lyParserTargets NAMESPACE lyParser:: DESTINATION ${LY_CMAKE_DIR})
configure_package_config_file(cmake/lyParserConfig.cmake.in
  ${CMAKE_BINARY_DIR}/lyParserConfig.cmake INSTALL_DESTINATION ${LY_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/lyParserConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/lyParserConfig.cmake ${CMAKE_BINARY_DIR}/lyParserConfigVersion.cmake
        DESTINATION ${LY_CMAKE_DIR})
