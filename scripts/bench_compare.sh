#!/usr/bin/env bash
# Runs the benchmark twice in one go, on the shared library natively and on
# the DLL under Wine (both optimized builds, each built in build-bench/), and
# prints every row side by side with the DLL's figure over the shared
# library's:
#   - rows that are ratios against a yardstick in the same process: the DLL's
#     ratio over the shared library's (the yardstick runs the same code on
#     both, so only the library's cost differs);
#   - the "system" rows: each operation's ratio to a plain computation timed
#     in the same rounds, DLL over shared library, which cancels the machine's
#     load; the milliseconds are shown too. The read and the destroy of
#     90,004 values must stay within 2x. The heap round trip shows what each
#     system charges for memory that went back to it and is taken again
#     (Wine's heap gives freed blocks back; glibc, as the bench sets it,
#     keeps them); each read less it estimates the library's own cost.
# The DLL's bench builds pugixml from its source (fetched once from Debian's
# archive into build-bench/), so that its rows against pugixml run too.
# Usage: scripts/bench_compare.sh [--quick] [--rounds N]
# Wine: the prefix lives in build-bench/wineprefix.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
OUT=$ROOT/build-bench
JOBS=2
SYSTEM_TARGET=2

build() {
  local dir=$1
  shift
  mkdir -p "$dir"
  if ! { cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQORVCFG_WERROR=ON \
    -DQORVCFG_BUILD_TESTS=OFF -DQORVCFG_BUILD_TOOLS=OFF -DQORVCFG_BUILD_EXAMPLES=OFF \
    -DQORVCFG_INSTALL=OFF "$@" && cmake --build "$dir" --target qorvcfg_bench -j "$JOBS"; } \
    >"$dir.log" 2>&1; then
    echo "building $dir failed; last lines:" >&2
    tail -n 30 "$dir.log" >&2
    exit 1
  fi
}

# pugixml for the DLL's bench: the source of the version Debian ships, which
# the shared library's bench links. Without it the DLL's rows against
# pugixml say "skipped".
PUGIXML_VERSION=1.13
PUGIXML_SHA256=5c5ad5d7caeb791420408042a7d88c2c6180781bf218feca259fd9d840a888e1
PUGIXML_URL=http://deb.debian.org/debian/pool/main/p/pugixml/pugixml_$PUGIXML_VERSION.orig.tar.gz
PUGIXML_DIR=$OUT/pugixml-$PUGIXML_VERSION
fetch_pugixml() {
  [ -f "$PUGIXML_DIR/src/pugixml.cpp" ] && return 0
  local archive=$OUT/pugixml-$PUGIXML_VERSION.tar.gz
  mkdir -p "$OUT"
  if ! curl -fsSL --max-time 120 -o "$archive" "$PUGIXML_URL" ||
    ! echo "$PUGIXML_SHA256  $archive" | sha256sum -c --quiet - ||
    ! tar -xzf "$archive" -C "$OUT"; then
    echo "pugixml's source could not be fetched; the DLL's pugixml rows are skipped" >&2
    return 1
  fi
}

build "$OUT/linux"
pugixml_source=
fetch_pugixml && pugixml_source=$PUGIXML_DIR
build "$OUT/mingw" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" \
  -DQORVCFG_BENCH_PUGIXML_SOURCE="$pugixml_source"

export WINEPREFIX=$OUT/wineprefix WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  timeout 600 wineboot -i </dev/null >"$OUT/wineboot.log" 2>&1
fi

echo "load before: $(uptime)"
"$OUT/linux/bin/qorvcfg_bench" "$@" </dev/null >"$OUT/so.txt" 2>&1
echo "load between: $(uptime)"
wine "$OUT/mingw/bin/qorvcfg_bench.exe" "$@" </dev/null 2>&1 | tr -d '\r' >"$OUT/dll.txt"
echo "load after: $(uptime)"

# Both outputs into one table; the rows keep the order of the shared library's.
awk -v target="$SYSTEM_TARGET" '
  # name, then the first number after ": " (a ratio, or milliseconds)
  function split_row(line, parts,   at) {
    at = index(line, ": ")
    if (at == 0) return 0
    parts["name"] = substr(line, 1, at - 1)
    parts["rest"] = substr(line, at + 2)
    return 1
  }
  FNR == NR {
    if (split_row($0, p)) dll[p["name"]] = p["rest"]
    next
  }
  {
    if (!split_row($0, p)) next
    name = p["name"]; so = p["rest"]; other = (name in dll) ? dll[name] : "missing"
    if (name == "bench data") { print name ": " so; next }
    if (name ~ /^system /) {
      split(so, s, " "); split(other, d, " ")
      if (d[2] != "ms,") { printf "%s: .so %s ms; DLL %s\n", name, s[1], other; next }
      relative = d[3] / s[3]
      so_ratio[name] = s[3]; dll_ratio[name] = d[3]
      if (name ~ /^system read of /) reads[++read_rows] = name
      if (name ~ /^system heap round trip /) trip = name
      line = sprintf("%s: .so %.2f ms, DLL %.2f ms (%.2fx); DLL/.so %.2f", name, s[1], d[1],
                     d[1] / s[1], relative)
      if (name ~ /^system (read|destroy) of /) {
        line = line sprintf(" target <= %g: %s", target, relative <= target ? "met" : "NOT MET")
        if (relative > target) missed = 1
      } else {
        line = line " informative"
      }
      print line
      next
    }
    printf "%s:\n    .so %s\n    DLL %s", name, so, other
    split(so, s, " "); split(other, d, " ")
    if (s[1] ~ /^[0-9.]+$/ && d[1] ~ /^[0-9.]+$/ && s[1] > 0) printf "\n    DLL/.so %.2f", d[1] / s[1]
    printf "\n"
    if (so ~ /NOT MET/ || other ~ /NOT MET/) missed = 1
  }
  END {
    # Each read less what the heap charged for its memory: an estimate of
    # what the library itself costs on each system.
    if (trip != "") {
      for (i = 1; i <= read_rows; ++i) {
        own_so = so_ratio[reads[i]] - so_ratio[trip]; own_dll = dll_ratio[reads[i]] - dll_ratio[trip]
        if (own_so > 0) {
          printf "%s less the heap round trip: DLL/.so %.2f informative\n", reads[i], own_dll / own_so
        }
      }
    }
    print (missed ? "some targets NOT MET on one system or both" : "every target met on both systems")
  }
' "$OUT/dll.txt" "$OUT/so.txt"
