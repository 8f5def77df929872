# The version macros of include/qorvcfg.h must match project(VERSION): the
# header is installed as it is, so configuring stops when they disagree.
file(READ ${PROJECT_SOURCE_DIR}/include/qorvcfg.h _qorvcfg_header)
foreach(part MAJOR MINOR PATCH)
  if(NOT _qorvcfg_header MATCHES "#define QORVCFG_VERSION_${part} ([0-9]+)")
    message(FATAL_ERROR "include/qorvcfg.h has no QORVCFG_VERSION_${part}")
  endif()
  if(NOT CMAKE_MATCH_1 EQUAL PROJECT_VERSION_${part})
    message(FATAL_ERROR "include/qorvcfg.h: QORVCFG_VERSION_${part} is ${CMAKE_MATCH_1}, "
                        "the project's version is ${PROJECT_VERSION}")
  endif()
endforeach()
if(NOT _qorvcfg_header MATCHES "#define QORVCFG_VERSION_STRING \"${PROJECT_VERSION}\"")
  message(FATAL_ERROR "include/qorvcfg.h: QORVCFG_VERSION_STRING is not \"${PROJECT_VERSION}\"")
endif()
unset(_qorvcfg_header)
