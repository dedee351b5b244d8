#!/usr/bin/env bash
# Update and verify passes over a tree of many small files and over a few large files, beside
# two references on the same trees: md5sum -c (native) and readwalk.exe (open, read, close only,
# under Wine). Trees are generated once under $JV_BENCH_TREES (default /tmp/jv-passbench).
#
#   bench/passbench.sh [small-file count] [large-file count] [large-file MiB]
set -euo pipefail
. "$(dirname "$0")/../scripts/env.sh"
SMALL=${1:-100000}
LARGE=${2:-4}
LARGE_MIB=${3:-256}
TREES=${JV_BENCH_TREES:-/tmp/jv-passbench}

cmake --build "$BUILD" --target bench >/dev/null
jv_wine
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

gen_small() {  # $1 folder: 100 sub-folders, files of 0 to 4 KiB
  [ -f "$1.done-$SMALL" ] && return
  rm -rf "$1" && mkdir -p "$1"
  python3 - "$1" "$SMALL" <<'PY'
import os, random, sys
root, n = sys.argv[1], int(sys.argv[2])
rnd = random.Random(1)
data = rnd.randbytes(8192)
for i in range(n):
    d = os.path.join(root, "d%03d" % (i % 100))
    os.makedirs(d, exist_ok=True)
    size = rnd.randrange(4096)
    off = rnd.randrange(4096)
    with open(os.path.join(d, "f%06d.bin" % i), "wb") as f:
        f.write(data[off:off + size])
PY
  touch "$1.done-$SMALL"
}

gen_large() {  # $1 folder
  [ -f "$1.done-$LARGE-$LARGE_MIB" ] && return
  rm -rf "$1" && mkdir -p "$1"
  for i in $(seq "$LARGE"); do
    head -c $((LARGE_MIB * 1048576)) /dev/urandom >"$1/large$i.bin"
  done
  touch "$1.done-$LARGE-$LARGE_MIB"
}

run() {  # $1 label, $2 folder
  local dir=$1 win
  win="Z:$(echo "$2" | tr / '\\')"
  echo "== $dir: $2"
  wine "$BUILD/readwalk.exe" "$win" >/dev/null 2>&1 </dev/null  # warm the cache
  wine "$BUILD/readwalk.exe" "$win" 2>/dev/null </dev/null
  wine "$BUILD/passbench.exe" "$win" "$win\\..\\$dir.md5" 2>/dev/null </dev/null
  local start end files bytes
  start=$(date +%s.%N)
  (cd "$2" && md5sum -c --quiet "../$dir.md5")
  end=$(date +%s.%N)
  files=$(wc -l <"$2/../$dir.md5")
  bytes=$(find "$2" -type f -printf '%s\n' | awk '{s+=$1} END {print s}')
  awk -v s="$start" -v e="$end" -v f="$files" -v b="$bytes" 'BEGIN {
    t = e - s; printf "md5sum -c (native): %d files, %.1f MB in %.3f s, %.1f MB/s, %.1f us/file\n",
    f, b / 1e6, t, b / 1e6 / t, t * 1e6 / f }'
}

gen_small "$TREES/small"
gen_large "$TREES/large"
run small "$TREES/small"
run large "$TREES/large"
