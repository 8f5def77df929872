# Install rules: the headers, the shared library (on Windows the DLL in bin/,
# the import libraries in lib/), the static core library, a relocatable CMake
# package with the targets qorvcfg::qorvcfg and qorvcfg::core, a pkg-config
# file, and the documents and examples. The tool installs itself from tools/.
include(CMakePackageConfigHelpers)

set(QORVCFG_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/qorvcfg)
if(WIN32)
  set(QORVCFG_DOC_DIR .)
else()
  set(QORVCFG_DOC_DIR ${CMAKE_INSTALL_DOCDIR})
endif()

install(FILES ${PROJECT_SOURCE_DIR}/include/qorvcfg.h ${PROJECT_SOURCE_DIR}/include/qorvcfg.hpp
              ${PROJECT_SOURCE_DIR}/include/qorvcfg_diagnostics.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(
  TARGETS qorvcfg qorvcfg_core
  EXPORT qorvcfgTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
if(QORVCFG_MSVC_IMPLIB)
  install(FILES ${QORVCFG_MSVC_IMPLIB} DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()

install(
  EXPORT qorvcfgTargets
  NAMESPACE qorvcfg::
  DESTINATION ${QORVCFG_CMAKE_DIR})
configure_package_config_file(
  ${PROJECT_SOURCE_DIR}/cmake/qorvcfgConfig.cmake.in ${PROJECT_BINARY_DIR}/qorvcfgConfig.cmake
  INSTALL_DESTINATION ${QORVCFG_CMAKE_DIR})
# Within a major version the interface stays; 0.x releases match their minor.
if(PROJECT_VERSION_MAJOR EQUAL 0)
  set(QORVCFG_COMPATIBILITY SameMinorVersion)
else()
  set(QORVCFG_COMPATIBILITY SameMajorVersion)
endif()
write_basic_package_version_file(${PROJECT_BINARY_DIR}/qorvcfgConfigVersion.cmake
                                 COMPATIBILITY ${QORVCFG_COMPATIBILITY})
install(FILES ${PROJECT_BINARY_DIR}/qorvcfgConfig.cmake
              ${PROJECT_BINARY_DIR}/qorvcfgConfigVersion.cmake DESTINATION ${QORVCFG_CMAKE_DIR})

# pkg-config: paths relative to the .pc file's place, so the tree can move.
set(QORVCFG_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(IS_ABSOLUTE ${QORVCFG_PC_DIR})
  set(QORVCFG_PC_PREFIX ${CMAKE_INSTALL_PREFIX})
else()
  file(RELATIVE_PATH QORVCFG_PC_PREFIX /root/${QORVCFG_PC_DIR} /root)
  set(QORVCFG_PC_PREFIX "\${pcfiledir}/${QORVCFG_PC_PREFIX}")
  string(REGEX REPLACE "/$" "" QORVCFG_PC_PREFIX ${QORVCFG_PC_PREFIX})
endif()
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE ${CMAKE_INSTALL_${dir}})
    set(QORVCFG_PC_${dir} ${CMAKE_INSTALL_${dir}})
  else()
    set(QORVCFG_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/cmake/qorvcfg.pc.in ${PROJECT_BINARY_DIR}/qorvcfg.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/qorvcfg.pc DESTINATION ${QORVCFG_PC_DIR})

install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
              ${PROJECT_SOURCE_DIR}/CHANGELOG.md DESTINATION ${QORVCFG_DOC_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/examples/host.c ${PROJECT_SOURCE_DIR}/examples/host.cpp
              ${PROJECT_SOURCE_DIR}/examples/host.py ${PROJECT_SOURCE_DIR}/examples/service.def
              ${PROJECT_SOURCE_DIR}/examples/service.conf
              ${PROJECT_SOURCE_DIR}/examples/CMakeLists.txt
        DESTINATION ${QORVCFG_DOC_DIR}/examples)

install(FILES ${PROJECT_SOURCE_DIR}/docs/definition-format.md
              ${PROJECT_SOURCE_DIR}/docs/data-format.md DESTINATION ${QORVCFG_DOC_DIR}/docs)
include(${CMAKE_CURRENT_LIST_DIR}/python_package.cmake)

# cpack: a zip on Windows, a tar.gz elsewhere, of the installed tree.
set(CPACK_PACKAGE_NAME qorvcfg)
set(CPACK_PACKAGE_VENDOR "the qorvcfg developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${PROJECT_DESCRIPTION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME windows-${CMAKE_SYSTEM_PROCESSOR})
else()
  set(CPACK_GENERATOR TGZ)
  string(TOLOWER ${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR} CPACK_SYSTEM_NAME)
endif()
include(CPack)
