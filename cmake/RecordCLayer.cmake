# Run by cmake --install: tells the installed Python package where the C
# layer of this install is (LY_PYTHON_DIR and LY_C_LAYER are set before).
set(record "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${LY_PYTHON_DIR}/lyparser/_install.py")
message(STATUS "Installing: ${record}")
file(WRITE "${record}"
  "# Written by cmake --install: the C layer of the install this package came with.\n"
  "LIBRARY = \"${CMAKE_INSTALL_PREFIX}/${LY_C_LAYER}\"\n")
