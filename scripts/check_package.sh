#!/usr/bin/env bash
# Checks what a build ships, as a user would meet it:
#   scripts/check_package.sh linux|windows BUILD_DIR WORK_DIR
# installs BUILD_DIR to a staging prefix and moves the tree (the package must
# work wherever it lands), checks its layout and versions, builds the example
# host as an outside project against it (CMake package, pkg-config, and on
# Windows a plain link against qorvcfg.lib), runs each build on the installed
# examples (under Wine for Windows) and checks its output with the installed
# tool. The same host in C, C++ and (on Linux) Python, all of the installed
# tree, must print the same lines and write the same bytes. On Windows it also
# makes the zip and looks into it; on Linux it builds a FetchContent consumer
# with the default options.
# Prints one line per check, "check NAME: ok" or "check NAME: FAILED" (with the
# end of its log); the exit status is non-zero when any check failed.

set -uo pipefail

SYSTEM=$1
BUILD=$(cd "$2" && pwd)
WORK=$3
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
PREFIX=$WORK/prefix
FAILURES=0

header_macro() {
  sed -n "s/^#define QORVCFG_VERSION_$1 \"*\([0-9.]*\)\"*\$/\1/p" "$ROOT/include/qorvcfg.h"
}
MAJOR=$(header_macro MAJOR)
MINOR=$(header_macro MINOR)
PATCH=$(header_macro PATCH)
VERSION=$(header_macro STRING)

if [ "$SYSTEM" == windows ]; then
  TOOLCHAIN=(-DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake")
  CC=x86_64-w64-mingw32-gcc-posix
  EXE=.exe
  DOCS=$PREFIX
  PYTHON_DIR=$PREFIX/python
  PYTHON_LIBRARY=../../bin/qorvcfg.dll
else
  TOOLCHAIN=()
  CC=${CC:-cc}
  EXE=
  DOCS=$PREFIX/share/doc/qorvcfg
  PYTHON_DIR=$PREFIX/lib/python3/site-packages
  PYTHON_LIBRARY=../../../libqorvcfg.so.$MAJOR
fi

# check NAME COMMAND...: runs the command with its output in WORK/NAME.log.
check() {
  local name=$1
  shift
  if "$@" >"$WORK/$name.log" 2>&1 </dev/null; then
    echo "check $name: ok"
  else
    echo "check $name: FAILED"
    tail -n 30 "$WORK/$name.log" | sed 's/^/  /'
    FAILURES=$((FAILURES + 1))
  fi
}

fail() {
  echo "$*"
  return 1
}

# Runs a program of the package: through Wine on Windows, with the DLL beside it.
run_program() {
  local program=$1
  shift
  if [ "$SYSTEM" == windows ]; then
    local dir
    dir=$(dirname "$program")
    if ! [ "$dir" -ef "$PREFIX/bin" ]; then
      cp -f "$PREFIX/bin/qorvcfg.dll" "$dir/" || return 1
    fi
    wine "$program" "$@"
  else
    LD_LIBRARY_PATH=$PREFIX/lib "$program" "$@"
  fi
}

# ---- Checks -----------------------------------------------------------------------
install_and_move() {
  cmake --install "$BUILD" --prefix "$WORK/stage" && mv "$WORK/stage" "$PREFIX"
}

layout() {
  local expected=(include/qorvcfg.h include/qorvcfg.hpp include/qorvcfg_diagnostics.h
    lib/libqorvcfg_core.a "${PYTHON_DIR#"$PREFIX/"}/qorvcfg/__init__.py"
    "$DOCS/examples/host.cpp" "$DOCS/examples/host.py" "$DOCS/docs/data-format.md"
    lib/cmake/qorvcfg/qorvcfgConfig.cmake lib/cmake/qorvcfg/qorvcfgConfigVersion.cmake
    lib/cmake/qorvcfg/qorvcfgTargets.cmake lib/pkgconfig/qorvcfg.pc)
  if [ "$SYSTEM" == windows ]; then
    expected+=(bin/qorvcfg.dll bin/qorvcfg.exe lib/libqorvcfg.dll.a lib/qorvcfg.lib LICENSE
      README.md CHANGELOG.md examples/host.c examples/service.def examples/service.conf
      examples/CMakeLists.txt)
  else
    expected+=(bin/qorvcfg "lib/libqorvcfg.so.$VERSION" "lib/libqorvcfg.so.$MAJOR"
      lib/libqorvcfg.so share/doc/qorvcfg/LICENSE share/doc/qorvcfg/README.md
      share/doc/qorvcfg/examples/host.c share/doc/qorvcfg/examples/CMakeLists.txt)
  fi
  local file ok=0
  for file in "${expected[@]}"; do
    file=${file#"$PREFIX/"}
    [ -e "$PREFIX/$file" ] || { echo "missing: $file"; ok=1; }
  done
  grep -qx "LIBRARY = \"$PYTHON_LIBRARY\"" "$PYTHON_DIR/qorvcfg/_location.py" ||
    { echo "the Python package does not name $PYTHON_LIBRARY"; ok=1; }
  # Only the public headers; no path of the build machine in the package.
  [ "$(find "$PREFIX/include" -type f | wc -l)" -eq 3 ] ||
    { echo "more than the public headers:"; find "$PREFIX/include" -type f; ok=1; }
  if grep -rl -e "$ROOT" -e "$BUILD" -e "$WORK/stage" "$PREFIX/lib/cmake" "$PREFIX/lib/pkgconfig"; then
    echo "the files above name a build path"
    ok=1
  fi
  (cd "$PREFIX" && find . -type f -o -type l | sort)
  return $ok
}

versions() {
  [ -n "$MAJOR" ] && [ "$VERSION" == "$MAJOR.$MINOR.$PATCH" ] ||
    fail "header version macros: $MAJOR $MINOR $PATCH '$VERSION'" || return 1
  grep -q "^Version: $VERSION\$" "$PREFIX/lib/pkgconfig/qorvcfg.pc" ||
    fail "qorvcfg.pc has another version" || return 1
  grep -q "set(PACKAGE_VERSION \"$VERSION\")" \
    "$PREFIX/lib/cmake/qorvcfg/qorvcfgConfigVersion.cmake" ||
    fail "qorvcfgConfigVersion.cmake has another version" || return 1
  if [ "$SYSTEM" == windows ]; then
    local resource
    resource=$(x86_64-w64-mingw32-windres -i "$PREFIX/bin/qorvcfg.dll" -O rc) || return 1
    echo "$resource"
    if ! grep -q "FILEVERSION $MAJOR, $MINOR, $PATCH, 0" <<<"$resource" ||
      ! grep -q "\"FileVersion\", \"$VERSION\"" <<<"$resource" ||
      ! grep -q "\"ProductVersion\", \"$VERSION\"" <<<"$resource"; then
      fail "the DLL's version resource differs from $VERSION"
    fi
  else
    local soname
    soname=$(objdump -p "$PREFIX/lib/libqorvcfg.so" | awk '$1 == "SONAME" {print $2}')
    [ "$soname" == "libqorvcfg.so.$MAJOR" ] || fail "SONAME $soname, header major $MAJOR"
  fi
}

# run_host NAME PROGRAM: the example host on the installed examples, then the
# installed tool reads what it wrote.
run_host() {
  local name=$1 program=$2 out=$WORK/$1.conf output
  output=$(run_program "$program" "$DOCS/examples/service.def" "$DOCS/examples/service.conf" \
    "$out" | tr -d '\r') || fail "the host failed" || return 1
  echo "$output"
  grep -q "^upstream alpha port 8080\$" <<<"$output" && grep -q "^written to " <<<"$output" ||
    fail "unexpected output" || return 1
  local port
  port=$(run_program "$PREFIX/bin/qorvcfg$EXE" get "$DOCS/examples/service.def" "$out" port |
    tr -d '\r')
  [ "$port" == 8443 ] || fail "the tool reads port '$port' from what the host wrote"
}

with_find_package() {
  cmake -S "$DOCS/examples" -B "$WORK/find-package" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    "${TOOLCHAIN[@]}" -Dqorvcfg_DIR="$PREFIX/lib/cmake/qorvcfg" &&
    cmake --build "$WORK/find-package" &&
    run_host find-package "$WORK/find-package/qorvcfg_host$EXE" &&
    run_host find-package-static "$WORK/find-package/qorvcfg_host_static$EXE"
}

# The host in C, C++ and Python on the installed examples: the same lines and
# the same file. Python (Linux only) finds the library through its package.
same_hosts() {
  local dir=$WORK/same-hosts name out
  mkdir -p "$dir"
  local names=(c cpp) programs=("$WORK/find-package/qorvcfg_host$EXE"
    "$WORK/find-package/qorvcfg_host_cpp$EXE")
  for name in "${!names[@]}"; do
    out=$dir/${names[$name]}
    run_program "${programs[$name]}" "$DOCS/examples/service.def" "$DOCS/examples/service.conf" \
      "$dir/out.conf" | tr -d '\r' >"$out.out" && mv "$dir/out.conf" "$out.conf" ||
      fail "the ${names[$name]} host failed" || return 1
  done
  if [ "$SYSTEM" == linux ]; then
    names+=(py)
    env -u LD_LIBRARY_PATH -u QORVCFG_LIBRARY PYTHONPATH="$PYTHON_DIR" PYTHONDONTWRITEBYTECODE=1 \
      python3 "$DOCS/examples/host.py" "$DOCS/examples/service.def" \
      "$DOCS/examples/service.conf" "$dir/out.conf" >"$dir/py.out" &&
      mv "$dir/out.conf" "$dir/py.conf" || fail "the Python host failed" || return 1
  fi
  cat "$dir/c.out"
  for name in "${names[@]:1}"; do
    diff "$dir/c.out" "$dir/$name.out" && cmp "$dir/c.conf" "$dir/$name.conf" ||
      fail "the $name host differs from the C host" || return 1
  done
}

with_pkg_config() {
  local flags
  flags=$(PKG_CONFIG_LIBDIR=$PREFIX/lib/pkgconfig pkg-config --cflags --libs qorvcfg) || return 1
  [ "$(PKG_CONFIG_LIBDIR=$PREFIX/lib/pkgconfig pkg-config --modversion qorvcfg)" == "$VERSION" ] ||
    fail "pkg-config --modversion differs" || return 1
  mkdir -p "$WORK/pkg-config"
  echo "$CC $DOCS/examples/host.c $flags"
  # shellcheck disable=SC2086 # the flags are words
  "$CC" -Wall -Wextra -Werror "$DOCS/examples/host.c" $flags \
    -o "$WORK/pkg-config/qorvcfg_host$EXE" &&
    run_host pkg-config "$WORK/pkg-config/qorvcfg_host$EXE"
}

with_import_library() {
  mkdir -p "$WORK/plain"
  "$CC" -Wall -Wextra -Werror -I"$PREFIX/include" "$DOCS/examples/host.c" \
    "$PREFIX/lib/qorvcfg.lib" -o "$WORK/plain/qorvcfg_host.exe" &&
    run_host plain "$WORK/plain/qorvcfg_host.exe"
}

zip_package() {
  (cd "$BUILD" && cpack -G ZIP -B "$WORK/cpack") || return 1
  local zip listing entry
  zip=$(ls "$WORK"/cpack/qorvcfg-"$VERSION"-*.zip) || return 1
  listing=$(unzip -Z1 "$zip") || return 1
  echo "$listing"
  for entry in include/qorvcfg.h include/qorvcfg_diagnostics.h bin/qorvcfg.dll bin/qorvcfg.exe \
    lib/libqorvcfg.dll.a lib/qorvcfg.lib lib/cmake/qorvcfg/qorvcfgConfig.cmake \
    lib/pkgconfig/qorvcfg.pc examples/host.c examples/service.def README.md LICENSE \
    include/qorvcfg.hpp python/qorvcfg/__init__.py python/qorvcfg/_location.py; do
    grep -q "^[^/]*/$entry\$" <<<"$listing" || fail "not in the zip: $entry" || return 1
  done
  cp -f "$zip" "$BUILD/"
}

fetch_content() {
  cmake -S "$ROOT/tests/consumer/fetch" -B "$WORK/fetch" -G Ninja -DQORVCFG_SOURCE="$ROOT" &&
    cmake --build "$WORK/fetch" -j 2 &&
    LD_LIBRARY_PATH=$WORK/fetch/_deps/qorvcfg-build "$WORK/fetch/fetch_host" \
      "$ROOT/examples/service.def" "$ROOT/examples/service.conf" "$WORK/fetch/out.conf" |
    grep -q "^written to "
}

# ---- Main ---------------------------------------------------------------------------
rm -rf "$WORK"
mkdir -p "$WORK"
check install install_and_move
if [ -d "$PREFIX" ]; then
  check layout layout
  check versions versions
  check find-package with_find_package
  check same-hosts same_hosts
  check pkg-config with_pkg_config
  if [ "$SYSTEM" == windows ]; then
    check import-library with_import_library
    check zip zip_package
  fi
fi
[ "$SYSTEM" == linux ] && check fetch-content fetch_content
[ "$FAILURES" -eq 0 ]
