# The test programs: one per tests/<subsystem>/ folder, each a CTest test.
# GoogleTest is built from source where the sources are installed, so that
# the Windows build and the sanitizer build get a GoogleTest compiled like
# the code it tests; set QORVCFG_GTEST_SOURCE_DIR empty to use an installed
# GoogleTest package instead. Without either the tests are left out.

set(QORVCFG_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
if(QORVCFG_GTEST_SOURCE_DIR AND EXISTS ${QORVCFG_GTEST_SOURCE_DIR}/CMakeLists.txt)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${QORVCFG_GTEST_SOURCE_DIR} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest QUIET)
  if(NOT GTest_FOUND)
    message(STATUS "qorvcfg: GoogleTest not found; the tests are left out")
    return()
  endif()
  add_library(gtest ALIAS GTest::gtest)
  add_library(gtest_main ALIAS GTest::gtest_main)
endif()

enable_testing()

set(QORVCFG_TEST_TMP_DIR ${PROJECT_BINARY_DIR}/tmp)
file(MAKE_DIRECTORY ${QORVCFG_TEST_TMP_DIR})

# Helpers shared by every test program.
file(GLOB QORVCFG_TEST_SUPPORT_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/support/*.cpp)
add_library(qorvcfg_test_support STATIC ${QORVCFG_TEST_SUPPORT_SOURCES})
target_compile_options(qorvcfg_test_support PRIVATE ${QORVCFG_WARNINGS})
target_compile_definitions(
  qorvcfg_test_support PUBLIC QORVCFG_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
                              QORVCFG_TEST_TMP_DIR="${QORVCFG_TEST_TMP_DIR}")
target_include_directories(qorvcfg_test_support PUBLIC ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(qorvcfg_test_support PUBLIC qorvcfg_testing gtest)

file(GLOB QORVCFG_TEST_DIRS LIST_DIRECTORIES true ${PROJECT_SOURCE_DIR}/tests/*)
foreach(dir ${QORVCFG_TEST_DIRS})
  get_filename_component(subsystem ${dir} NAME)
  if(NOT IS_DIRECTORY ${dir} OR subsystem MATCHES "^(support|data|consumer|shipped)$")
    continue()
  endif()
  file(GLOB test_sources CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.c)
  if(NOT test_sources)
    continue()
  endif()
  set(target test_${subsystem})
  add_executable(${target} ${test_sources})
  target_compile_options(${target} PRIVATE ${QORVCFG_WARNINGS})
  target_link_libraries(${target} PRIVATE qorvcfg_test_support qorvcfg_testing gtest_main)
  # Under a cross build CMake runs the program through the emulator.
  add_test(NAME ${target} COMMAND ${target})
  set_tests_properties(${target} PROPERTIES TIMEOUT 600)
endforeach()

# The C++ interface promises C++17: its tests are compiled as such.
if(TARGET test_cxx)
  set_target_properties(test_cxx PROPERTIES CXX_STANDARD 17)
endif()

# The shipped shared library seen from outside: a host that replaces malloc
# for its process fails each allocation of a read in turn, over a file of
# wide and deep structures, one of keyed structures and the examples. Linux
# only (glibc's allocator does the work underneath), and not under the
# sanitizers, whose own malloc the host's would replace.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND NOT QORVCFG_SANITIZE)
  add_executable(test_shipped_reads ${PROJECT_SOURCE_DIR}/tests/shipped/failing_malloc_host.cpp)
  target_compile_options(test_shipped_reads PRIVATE ${QORVCFG_WARNINGS})
  target_include_directories(test_shipped_reads PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(test_shipped_reads PRIVATE qorvcfg)
  set(data ${PROJECT_SOURCE_DIR}/tests/data)
  set(examples ${PROJECT_SOURCE_DIR}/examples)
  file(MAKE_DIRECTORY ${QORVCFG_TEST_TMP_DIR}/shipped)
  add_test(NAME test_shipped_reads
           COMMAND test_shipped_reads ${QORVCFG_TEST_TMP_DIR}/shipped
                   ${data}/structures.def.xml ${data}/wide.data.xml -
                   ${data}/structures.def.xml ${data}/keyed.data.xml "<d><x>1</x></d>"
                   ${examples}/service.def ${examples}/service.conf -)
  set_tests_properties(test_shipped_reads PROPERTIES TIMEOUT 600)
endif()
