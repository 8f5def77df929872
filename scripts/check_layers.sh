#!/usr/bin/env bash
# Lists every include in src/ that points up a layer, and every file or
# include whose folder has no place in the order. The layers, lowest first:
#   platform base markup schema definition store writer api
# A file may include headers of its own layer and of the layers below it.
# Prints "check layers: ok" or the offending includes and "check layers:
# FAILED"; the exit status is non-zero on any.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
LAYERS=(platform base markup schema definition store writer api)

rank() {
  local i
  for i in "${!LAYERS[@]}"; do
    [ "${LAYERS[$i]}" == "$1" ] && echo "$i" && return
  done
  echo -1
}

bad=0
while IFS= read -r file; do
  from=${file#src/}
  from=${from%%/*}
  from_rank=$(rank "$from")
  if [ "$from_rank" -lt 0 ]; then
    echo "$file: the folder $from has no place in the layer order"
    bad=$((bad + 1))
    continue
  fi
  while IFS=: read -r line header; do
    [ -n "$header" ] || continue
    to=${header%%/*}
    to_rank=$(rank "$to")
    if [ "$to_rank" -lt 0 ]; then
      echo "$file:$line: includes $header, whose folder has no place in the layer order"
      bad=$((bad + 1))
    elif [ "$to_rank" -gt "$from_rank" ]; then
      echo "$file:$line: includes $header, from $to above $from"
      bad=$((bad + 1))
    fi
  done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"/]+/[^"]+"' "$ROOT/$file" |
    sed 's|^\([0-9]*\):[^"]*"\([^"]*\)".*|\1:\2|')
done < <(cd "$ROOT" && find src -mindepth 2 -type f \( -name '*.h' -o -name '*.cpp' \) | sort)

if [ "$bad" -eq 0 ]; then
  echo "check layers: ok"
  exit 0
fi
echo "$bad includes point up a layer or out of the order"
echo "check layers: FAILED"
exit 1
