# Cross build for 64-bit Windows with mingw-w64 (POSIX thread model).
# Executables and the DLL link libgcc, libstdc++ and winpthread statically,
# so they run under Wine without any further DLL next to them; the test
# executables run through Wine as the emulator.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QORVCFG_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QORVCFG_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QORVCFG_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QORVCFG_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QORVCFG_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

find_program(QORVCFG_WINE NAMES wine wine64)
if(QORVCFG_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QORVCFG_WINE})
endif()
