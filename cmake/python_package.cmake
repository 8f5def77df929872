# The Python package: python/qorvcfg installed into QORVCFG_PYTHON_DIR, with a
# _location.py that names the shared library of the same install relative to
# the package's folder (so the tree can move), written when installing so
# that it follows --prefix.
if(WIN32)
  set(QORVCFG_PYTHON_DIR python CACHE STRING "Folder of the Python package qorvcfg (relative to the prefix, or absolute)")
  set(QORVCFG_PYTHON_LIBRARY ${CMAKE_INSTALL_BINDIR}/qorvcfg.dll)
else()
  set(QORVCFG_PYTHON_DIR lib/python3/site-packages CACHE STRING "Folder of the Python package qorvcfg (relative to the prefix, or absolute)")
  set(QORVCFG_PYTHON_LIBRARY ${CMAKE_INSTALL_LIBDIR}/libqorvcfg.so.${PROJECT_VERSION_MAJOR})
endif()

install(
  DIRECTORY ${PROJECT_SOURCE_DIR}/python/qorvcfg
  DESTINATION ${QORVCFG_PYTHON_DIR}
  FILES_MATCHING
  PATTERN "*.py"
  PATTERN "__pycache__" EXCLUDE)
install(
  CODE "
  set(package \"${QORVCFG_PYTHON_DIR}/qorvcfg\")
  set(library \"${QORVCFG_PYTHON_LIBRARY}\")
  foreach(path package library)
    if(NOT IS_ABSOLUTE \"\${\${path}}\")
      set(\${path} \"\${CMAKE_INSTALL_PREFIX}/\${\${path}}\")
    endif()
  endforeach()
  file(RELATIVE_PATH relative \"\${package}\" \"\${library}\")
  message(STATUS \"Installing: \$ENV{DESTDIR}\${package}/_location.py\")
  file(WRITE \"\$ENV{DESTDIR}\${package}/_location.py\"
       \"# Written by cmake --install: the library of this install, from this folder.\\nLIBRARY = \\\"\${relative}\\\"\\n\")
")
