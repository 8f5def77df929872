#!/usr/bin/env bash
# The one test command. Installs what is missing (as root, Debian 12), then
# builds and tests three configurations, each in its own directory under
# build-ci/:
#   linux     RelWithDebInfo with assertions, ctest
#   sanitize  the same with AddressSanitizer and UBSan, ctest
#   windows   mingw-w64 cross build; every test executable runs under Wine
# It also checks that the shared library of each system exports exactly the
# nineteen Zel_ functions. One summary line per configuration, then a final
# "N passed, M failed" line; the exit status is non-zero on any failure.

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
install_missing() {
  local packages=(cmake g++ ninja-build libgtest-dev googletest g++-mingw-w64-x86-64-posix
    wine64 wine)
  local missing=() package tool
  for package in "${packages[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
  done
  for tool in cmake ninja g++ x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-objdump wine \
    wineserver nm; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("(command $tool)")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${missing[*]} (run as root to install them)" >&2
    return 1
  fi
  section "installing ${missing[*]}"
  apt-get update &&
    DEBIAN_FRONTEND=noninteractive apt-get install -y cmake g++ ninja-build libgtest-dev \
      googletest g++-mingw-w64-x86-64-posix wine64 wine </dev/null
}

# ---- Counting -----------------------------------------------------------------
# record NAME PASSED FAILED SECONDS
record() {
  SUMMARY+=("$1: $2 passed, $3 failed")
  TIMINGS+=("$1 $4 s")
  TOTAL_PASSED=$((TOTAL_PASSED + $2))
  TOTAL_FAILED=$((TOTAL_FAILED + $3))
}

# Runs ctest in a build directory and sets CT_PASSED and CT_FAILED from its
# summary. Finding no test at all counts as a failure.
run_ctest() {
  local build=$1 log=$1/ctest.log
  shift
  (cd "$build" && ctest --output-on-failure -j "$JOBS" --timeout 900 "$@") </dev/null 2>&1 |
    tee "$log"
  local line
  line=$(grep -E '[0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  if [[ $line =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
    CT_FAILED=${BASH_REMATCH[1]}
    CT_PASSED=$((BASH_REMATCH[2] - CT_FAILED))
    [ "${BASH_REMATCH[2]}" -eq 0 ] && CT_FAILED=1
  else
    CT_PASSED=0
    CT_FAILED=1
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
linux_configuration() {
  local name=$1 build=$2 start=$SECONDS
  shift 2
  section "$name"
  local passed=0 failed=0
  # The packaged GoogleTest library saves compiling it once more per build;
  # the sanitizers need no instrumented copy of it.
  if build "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQORVCFG_GTEST_SOURCE_DIR= "$@"; then
    run_ctest "$build"
    passed=$CT_PASSED
    failed=$CT_FAILED
    if nm -D --defined-only "$build/lib/libqorvcfg.so" | awk '{print $NF}' |
      check_exports libqorvcfg.so; then
      passed=$((passed + 1))
    else
      failed=$((failed + 1))
    fi
  else
    failed=1
  fi
  record "$name" "$passed" "$failed" $((SECONDS - start))
}

windows_configuration() {
  local name=windows build=$CI_DIR/mingw start=$SECONDS
  section "$name"
  local passed=0 failed=0
  export WINEPREFIX=$CI_DIR/wineprefix WINEARCH=win64 WINEDEBUG=-all
  # No .NET or browser engine prompts in a fresh prefix.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  if build "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
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
    wineserver -k </dev/null >/dev/null 2>&1
    local dll=$build/bin/qorvcfg.dll
    if [ -f "$dll" ] &&
      x86_64-w64-mingw32-objdump -p "$dll" |
      sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
        sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*\([^[:space:]]*\).*/\1/p' |
        check_exports qorvcfg.dll &&
      grep -E '^[[:space:]]+Zel_' "$ROOT/src/api/qorvcfg.def" | awk '{print $1}' |
      check_exports qorvcfg.def; then
      passed=$((passed + 1))
    else
      failed=$((failed + 1))
    fi
  else
    failed=1
  fi
  record "$name" "$passed" "$failed" $((SECONDS - start))
}

# ---- Main ---------------------------------------------------------------------
if ! install_missing; then
  echo "0 passed, 1 failed"
  exit 1
fi
mkdir -p "$CI_DIR"

linux_configuration linux "$CI_DIR/linux"
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
linux_configuration sanitize "$CI_DIR/linux-sanitize" -DQORVCFG_SANITIZE=ON
unset ASAN_OPTIONS UBSAN_OPTIONS
windows_configuration

section summary
echo "times: $(IFS=,; echo "${TIMINGS[*]}"), total $SECONDS s"
printf '%s\n' "${SUMMARY[@]}"
echo "$TOTAL_PASSED passed, $TOTAL_FAILED failed"
[ "$TOTAL_FAILED" -eq 0 ]
