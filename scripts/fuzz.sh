#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang in build-fuzz/ and runs each
# one, starting from its committed corpus in fuzz/corpus/<target>/.
#
#   scripts/fuzz.sh [--brief | --seconds N] [target...]
#
# --brief runs each target about 60 seconds, --seconds N runs it N seconds
# (default 600). Targets: fuzz_definition fuzz_data fuzz_api fuzz_edit (default:
# all); fuzz_edit also starts from the data texts of fuzz_data's corpus.
# New corpus entries and crash artifacts go to a scratch directory (printed at
# the end); the committed corpus is never rewritten. Prints one line per
# target, "fuzz <target>: ok" or "fuzz <target>: FAILED (<artifact>)", and
# exits 1 when any target failed.
set -u

root=$(cd "$(dirname "$0")/.." && pwd)
build=${QORVCFG_FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=600
targets=()
while [ $# -gt 0 ]; do
  case $1 in
    --brief) seconds=60 ;;
    --seconds) shift; seconds=${1:?--seconds needs a number} ;;
    -h|--help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "fuzz.sh: unknown option $1" >&2; exit 2 ;;
    *) targets+=("$1") ;;
  esac
  shift
done
[ ${#targets[@]} -eq 0 ] && targets=(fuzz_definition fuzz_data fuzz_api fuzz_edit)

if [ ! -f "$build/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$root/fuzz" -B "$build" -G Ninja >/dev/null || {
    echo "fuzz: configuring $build failed"; exit 1; }
fi
ninja -C "$build" -j2 "${targets[@]}" >/dev/null || { echo "fuzz: build failed"; exit 1; }

scratch=$(mktemp -d "${TMPDIR:-/tmp}/qorvcfg-fuzz.XXXXXX")
status=0
for target in "${targets[@]}"; do
  work=$scratch/$target
  mkdir -p "$work/corpus" "$work/artifacts"
  options=(-max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -max_len=65536
           -artifact_prefix="$work/artifacts/" -print_final_stats=1)
  [ -f "$root/fuzz/$target.dict" ] && options+=(-dict="$root/fuzz/$target.dict")
  # Inputs that once failed run first, once each.
  regressions=()
  if [ -d "$root/fuzz/regressions/$target" ]; then
    while IFS= read -r -d '' file; do regressions+=("$file"); done < <(
      find "$root/fuzz/regressions/$target" -type f ! -name '*.md' -print0)
  fi
  if [ ${#regressions[@]} -gt 0 ] &&
    ! "$build/$target" -runs=1 "${regressions[@]}" >"$work/regressions.log" 2>&1; then
    echo "fuzz $target: FAILED (a regression input, see $work/regressions.log)"
    status=1
    continue
  fi
  # The first corpus directory receives the new entries; the committed one is
  # only read.
  corpora=("$root/fuzz/corpus/$target")
  [ "$target" == fuzz_edit ] && corpora+=("$root/fuzz/corpus/fuzz_data")
  nice -n 19 "$build/$target" "${options[@]}" "$work/corpus" "${corpora[@]}" >"$work/log" 2>&1
  code=$?
  artifact=$(find "$work/artifacts" -type f | head -n 1)
  if [ $code -eq 0 ] && [ -z "$artifact" ]; then
    echo "fuzz $target: ok"
  else
    echo "fuzz $target: FAILED (${artifact:-exit $code, see $work/log})"
    status=1
  fi
done
echo "fuzz: logs, new corpus entries and artifacts in $scratch"
exit $status
