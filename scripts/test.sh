#!/usr/bin/env bash
# The one test command. Installs what is missing (as root, Debian 12), then
# builds and tests three configurations, each in its own directory under
# build-ci/, with warnings as errors:
#   linux     Release (-O3), ctest
#   sanitize  RelWithDebInfo with assertions, AddressSanitizer and UBSan, ctest
#   windows   mingw-w64 cross build, RelWithDebInfo; every test program runs
#             under Wine
# For linux and windows it checks that the shared library exports exactly the
# nineteen Zel_ functions, and scripts/check_package.sh installs the build and
# builds, runs and checks the example host as an outside project. When
# scripts/fuzz.sh exists and clang has libFuzzer, each fuzz target runs briefly.
# First, scripts/check_layers.sh checks that no include in src/ points up a
# layer.
# Every test case counts (GoogleTest's XML reports give the cases of each
# program), every other check counts one. One summary line per configuration,
# then a final "N passed, M failed" line; the exit status is non-zero on any
# failure.

set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
CI_DIR=$ROOT/build-ci
JOBS=2

EXPORTS=(
  Zel_ConfigCreate Zel_ConfigDestroy Zel_ConfigRead Zel_ConfigReadFromData Zel_ConfigWrite
  Zel_ContentListGet Zel_ContentListGetFromData Zel_DataGet Zel_DataGetFromData
  Zel_DataDefaultGet Zel_DataDefaultGetFromData Zel_DataDefaultCreate
  Zel_DataDefaultCreateFromData Zel_DataChange Zel_DataChangeToData Zel_DataAdd
  Zel_DataAddToData Zel_DataDel Zel_DataDelFromData
)

TOTAL_PASSED=0
TOTAL_FAILED=0
SUMMARY=()
TIMINGS=()

section() { printf '\n===== %s =====\n' "$*"; }

# ---- Tools --------------------------------------------------------------------
PACKAGES=(cmake g++ ninja-build libgtest-dev googletest g++-mingw-w64-x86-64-posix wine64 wine
  pkg-config unzip llvm clang libclang-rt-14-dev libpugixml-dev libtinyxml2-dev)

install_missing() {
  local missing=() package tool
  for package in "${PACKAGES[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
  done
  for tool in cmake cpack ninja g++ x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-objdump \
    x86_64-w64-mingw32-windres wine wineserver nm objdump pkg-config unzip llvm-dlltool; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("(command $tool)")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${missing[*]} (run as root to install them)" >&2
    return 1
  fi
  section "installing ${missing[*]}"
  apt-get update &&
    DEBIAN_FRONTEND=noninteractive apt-get install -y "${PACKAGES[@]}" </dev/null
}

# ---- Counting -----------------------------------------------------------------
# record NAME PASSED FAILED SECONDS
record() {
  SUMMARY+=("$1: $2 passed, $3 failed")
  TIMINGS+=("$1 $4 s")
  TOTAL_PASSED=$((TOTAL_PASSED + $2))
  TOTAL_FAILED=$((TOTAL_FAILED + $3))
}

# Runs ctest in a build directory and sets CT_PASSED and CT_FAILED to the
# number of test cases that passed and failed, from the XML report each
# GoogleTest program writes. A program that fails without a report (a crash)
# or after all its cases passed (a leak report at exit) counts one failure; a
# test that is no GoogleTest program counts one. Finding no test fails.
run_ctest() {
  local build=$1 log=$1/ctest.log reports=$1/gtest-reports
  rm -rf "$reports" "$build/Testing/Temporary/LastTestsFailed.log"
  # The programs run in the build directory; a relative path suits Wine too.
  (cd "$build" && GTEST_OUTPUT=xml:gtest-reports/ \
    ctest --output-on-failure -j "$JOBS" --timeout 900) </dev/null 2>&1 | tee "$log"
  CT_PASSED=0
  CT_FAILED=0
  local names name report tests failures disabled skipped failed
  names=$(cd "$build" && ctest -N | sed -n 's/^ *Test *#[0-9]*: *//p')
  if [ -z "$names" ]; then
    CT_FAILED=1
    return
  fi
  while read -r name; do
    failed=0
    grep -qx "[0-9]*:$name" "$build/Testing/Temporary/LastTestsFailed.log" 2>/dev/null && failed=1
    report=$reports/$name.xml
    if [ -f "$report" ]; then
      tests=$(xml_count tests "$report")
      failures=$(xml_count failures "$report")
      disabled=$(xml_count disabled "$report")
      skipped=$(grep -c 'result="skipped"' "$report")
      CT_PASSED=$((CT_PASSED + tests - failures - disabled - skipped))
      [ "$failed" -eq 1 ] && [ "$failures" -eq 0 ] && failures=1
      CT_FAILED=$((CT_FAILED + failures))
    elif [ "$failed" -eq 1 ]; then
      CT_FAILED=$((CT_FAILED + 1))
    else
      CT_PASSED=$((CT_PASSED + 1))
    fi
  done <<<"$names"
}

# xml_count ATTRIBUTE REPORT: the attribute of the report's <testsuites> element.
xml_count() {
  local value
  value=$(grep -m 1 -o "<testsuites [^>]*" "$2" | grep -o " $1=\"[0-9]*\"" | tr -dc '0-9')
  echo "${value:-0}"
}

# count_checks LOG: adds the "check NAME: ok|FAILED" lines of a log (as
# scripts/check_package.sh and scripts/fuzz.sh print them) to passed/failed.
count_checks() {
  passed=$((passed + $(grep -cE '^[a-z]+ [^ ]+: ok$' "$1")))
  failed=$((failed + $(grep -cE '^[a-z]+ [^ ]+: FAILED$' "$1")))
}

# package_checks SYSTEM BUILD: installs the build and uses it from outside.
package_checks() {
  local log=$2/package-check.log
  bash "$ROOT/scripts/check_package.sh" "$1" "$2" "$2/package-check" </dev/null 2>&1 | tee "$log"
  count_checks "$log"
  if ! grep -qE '^check [^ ]+: (ok|FAILED)$' "$log"; then
    failed=$((failed + 1))
  fi
}

# Configures and builds; shows the end of the log when it fails.
build() {
  local build=$1
  shift
  mkdir -p "$build"
  if cmake -S "$ROOT" -B "$build" -G Ninja "$@" >"$build/configure.log" 2>&1 &&
    cmake --build "$build" -j "$JOBS" >"$build/build.log" 2>&1; then
    echo "built $build"
    return 0
  fi
  echo "BUILD FAILED in $build; last lines:"
  tail -n 60 "$build/configure.log" "$build/build.log" 2>/dev/null
  return 1
}

# Compares the exported names (one a line on stdin) with the nineteen.
check_exports() {
  local what=$1 actual expected
  actual=$(sort -u)
  expected=$(printf '%s\n' "${EXPORTS[@]}" | sort)
  if [ "$actual" == "$expected" ]; then
    echo "exports of $what: the nineteen Zel_ functions"
    return 0
  fi
  echo "EXPORTS OF $what DIFFER (< missing, > unexpected):"
  diff <(echo "$expected") <(echo "$actual") | grep '^[<>]'
  return 1
}

# ---- Configurations -------------------------------------------------------------
# linux_configuration NAME BUILD PACKAGE_CHECKS CMAKE_ARGS...
linux_configuration() {
  local name=$1 build=$2 package=$3 start=$SECONDS
  shift 3
  section "$name"
  local passed=0 failed=0
  # The packaged GoogleTest library saves compiling it once more per build;
  # the sanitizers need no instrumented copy of it.
  if build "$build" -DQORVCFG_WERROR=ON -DQORVCFG_GTEST_SOURCE_DIR= "$@"; then
    run_ctest "$build"
    passed=$CT_PASSED
    failed=$CT_FAILED
    if nm -D --defined-only "$build/lib/libqorvcfg.so" | awk '{print $NF}' |
      check_exports libqorvcfg.so; then
      passed=$((passed + 1))
    else
      failed=$((failed + 1))
    fi
    [ "$package" == yes ] && package_checks linux "$build"
  else
    failed=1
  fi
  record "$name" "$passed" "$failed" $((SECONDS - start))
}

# The names in the export table of a PE file, one a line.
pe_exports() {
  x86_64-w64-mingw32-objdump -p "$1" |
    sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*\([^[:space:]]*\).*/\1/p'
}

windows_configuration() {
  local name=windows build=$CI_DIR/mingw start=$SECONDS
  section "$name"
  local passed=0 failed=0
  export WINEPREFIX=$CI_DIR/wineprefix WINEARCH=win64 WINEDEBUG=-all
  # No .NET or browser engine prompts in a fresh prefix.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  if build "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQORVCFG_WERROR=ON \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake"; then
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      echo "initialising the Wine prefix $WINEPREFIX"
      timeout 600 wineboot -i </dev/null >"$CI_DIR/wineboot.log" 2>&1 ||
        { echo "wineboot failed:"; tail -n 20 "$CI_DIR/wineboot.log"; }
    fi
    # One server for the whole run instead of one per test executable. The
    # prefix's background services start here, away from ctest: started by a
    # test they would inherit its output pipe and ctest would wait for them.
    wineserver -p </dev/null >/dev/null 2>&1
    timeout 300 wineboot </dev/null >>"$CI_DIR/wineboot.log" 2>&1
    # ctest runs every test executable in a wine process of its own (the
    # toolchain file names wine as the emulator).
    run_ctest "$build"
    passed=$CT_PASSED
    failed=$CT_FAILED
    local dll=$build/bin/qorvcfg.dll
    if [ -f "$dll" ] && pe_exports "$dll" | check_exports qorvcfg.dll &&
      grep -E '^[[:space:]]+Zel_' "$ROOT/src/api/qorvcfg.def" | awk '{print $1}' |
      check_exports qorvcfg.def; then
      passed=$((passed + 1))
    else
      failed=$((failed + 1))
    fi
    # The programs that link the static library export nothing.
    local program exporting=()
    for program in "$build"/bin/*.exe; do
      [ -n "$(pe_exports "$program")" ] && exporting+=("$(basename "$program")")
    done
    if [ ${#exporting[@]} -eq 0 ]; then
      echo "exports of the programs: none"
      passed=$((passed + 1))
    else
      echo "PROGRAMS THAT EXPORT: ${exporting[*]}"
      failed=$((failed + 1))
    fi
    package_checks windows "$build"
    wineserver -k </dev/null >/dev/null 2>&1
  else
    failed=1
  fi
  record "$name" "$passed" "$failed" $((SECONDS - start))
}

# Includes in src/ point one way only, down the layers.
layers_section() {
  local start=$SECONDS passed=0 failed=0 log=$CI_DIR/layers.log
  section layers
  bash "$ROOT/scripts/check_layers.sh" </dev/null 2>&1 | tee "$log"
  count_checks "$log"
  [ $((passed + failed)) -eq 0 ] && failed=1
  record layers "$passed" "$failed" $((SECONDS - start))
}

# The fuzz targets, briefly, when their script is there and clang has libFuzzer.
fuzz_section() {
  local start=$SECONDS passed=0 failed=0 log=$CI_DIR/fuzz.log
  [ -f "$ROOT/scripts/fuzz.sh" ] || return 0
  if ! echo 'extern "C" int LLVMFuzzerTestOneInput(const char *, unsigned long) { return 0; }' |
    clang++ -fsanitize=fuzzer -x c++ - -o "$CI_DIR/libfuzzer-probe" >/dev/null 2>&1; then
    echo "fuzz: clang++ with libFuzzer not available; left out"
    return 0
  fi
  section fuzz
  nice -n 10 bash "$ROOT/scripts/fuzz.sh" --brief </dev/null 2>&1 | tee "$log"
  local status=${PIPESTATUS[0]}
  count_checks "$log"
  [ "$status" -ne 0 ] && [ "$failed" -eq 0 ] && failed=1
  [ $((passed + failed)) -eq 0 ] && failed=1
  record fuzz "$passed" "$failed" $((SECONDS - start))
}

# ---- Main ---------------------------------------------------------------------
if ! install_missing; then
  echo "0 passed, 1 failed"
  exit 1
fi
mkdir -p "$CI_DIR"

layers_section
linux_configuration linux "$CI_DIR/linux" yes -DCMAKE_BUILD_TYPE=Release
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
linux_configuration sanitize "$CI_DIR/linux-sanitize" no -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQORVCFG_SANITIZE=ON
unset ASAN_OPTIONS UBSAN_OPTIONS
windows_configuration
fuzz_section

section summary
echo "times: $(IFS=,; echo "${TIMINGS[*]}"), total $SECONDS s"
printf '%s\n' "${SUMMARY[@]}"
echo "$TOTAL_PASSED passed, $TOTAL_FAILED failed"
[ "$TOTAL_FAILED" -eq 0 ]
