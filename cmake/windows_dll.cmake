# The Windows parts of the shared library: the DLL entry point, the .def file
# that names exactly the exported functions, the version resource, and a
# second import library, qorvcfg.lib, for Microsoft's linker.

enable_language(RC)
configure_file(${PROJECT_SOURCE_DIR}/cmake/qorvcfg.rc.in ${PROJECT_BINARY_DIR}/qorvcfg.rc @ONLY)

set(QORVCFG_DEF_FILE ${PROJECT_SOURCE_DIR}/src/api/qorvcfg.def)
target_sources(qorvcfg PRIVATE ${PROJECT_SOURCE_DIR}/src/platform/win32_dllmain.cpp
                               ${QORVCFG_DEF_FILE} ${PROJECT_BINARY_DIR}/qorvcfg.rc)
target_compile_options(qorvcfg PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${QORVCFG_WARNINGS}>)
target_compile_definitions(qorvcfg PRIVATE QORVCFG_BUILDING)
target_include_directories(qorvcfg PRIVATE ${PROJECT_SOURCE_DIR}/src)
# qorvcfg.dll, not libqorvcfg.dll; the GNU import library stays libqorvcfg.dll.a.
set_target_properties(qorvcfg PROPERTIES PREFIX "" IMPORT_PREFIX "lib")

# llvm-dlltool writes the short import format Microsoft's tools write;
# binutils' dlltool does as well as a fallback.
find_program(QORVCFG_DLLTOOL NAMES llvm-dlltool llvm-dlltool-16 llvm-dlltool-15
                                   llvm-dlltool-14 x86_64-w64-mingw32-dlltool)
if(QORVCFG_DLLTOOL)
  set(QORVCFG_MSVC_IMPLIB $<TARGET_LINKER_FILE_DIR:qorvcfg>/qorvcfg.lib)
  add_custom_command(
    TARGET qorvcfg
    POST_BUILD
    COMMAND ${QORVCFG_DLLTOOL} -m i386:x86-64 -d ${QORVCFG_DEF_FILE} -D qorvcfg.dll -l
            ${QORVCFG_MSVC_IMPLIB}
    COMMENT "Import library qorvcfg.lib for Microsoft's linker"
    VERBATIM)
else()
  message(STATUS "qorvcfg: no dlltool found; qorvcfg.lib is left out")
endif()
