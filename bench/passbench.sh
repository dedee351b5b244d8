#!/usr/bin/env bash
# Update and verify passes over a tree of many small files and over a few large files, beside
# two references on the same trees: md5sum -c (native) and readwalk.exe (open, read, close only,
# under Wine). Trees are generated once under $JV_BENCH_TREES (default /tmp/jv-passbench).
#
#   bench/passbench.sh [small-file count] [large-file count] [large-file MiB]
#   (JV_BENCH_ROUNDS rounds each, default 3)
set -euo pipefail
. "$(dirname "$0")/../scripts/env.sh"
SMALL=${1:-100000}
LARGE=${2:-4}
LARGE_MIB=${3:-256}
ROUNDS=${JV_BENCH_ROUNDS:-3}
TREES=${JV_BENCH_TREES:-/tmp/jv-passbench}

cmake --build "$BUILD" --target bench >/dev/null
jv_wine
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

gen_small() {  # $1 folder: 100 sub-folders, files of 0 to 4 KiB
  [ -f "$1.done-$SMALL" ] && return
  rm -rf "$1" "$1".done-* && mkdir -p "$1"
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
  rm -rf "$1" "$1".done-* && mkdir -p "$1"
  for i in $(seq "$LARGE"); do
    head -c $((LARGE_MIB * 1048576)) /dev/urandom >"$1/large$i.bin"
  done
  touch "$1.done-$LARGE-$LARGE_MIB"
}

# Rounds alternate the reference and the passes, so that load from elsewhere hits both; the
# summary compares the best time of each.
run() {  # $1 label, $2 folder
  local dir=$1 win log="$TREES/$1.log"
  win="Z:$(echo "$2" | tr / '\\')"
  echo "== $dir: $2"
  wine "$BUILD/readwalk.exe" "$win" >/dev/null 2>&1 </dev/null  # warm the cache
  : >"$log"
  for _ in $(seq "$ROUNDS"); do
    wine "$BUILD/readwalk.exe" "$win" 2>/dev/null </dev/null | tee -a "$log"
    wine "$BUILD/passbench.exe" "$win" "$win\\..\\$dir.md5" 2>/dev/null </dev/null | tee -a "$log"
    local start end
    start=$(date +%s.%N)
    (cd "$2" && md5sum -c --quiet "../$dir.md5")
    end=$(date +%s.%N)
    awk -v s="$start" -v e="$end" 'BEGIN { printf "md5sum -c (native): in %.3f s\n", e - s }' | tee -a "$log"
  done
  awk '
    function best(name, t) { if (!(name in b) || t < b[name]) b[name] = t }
    { for (i = 1; i < NF; i++) if ($i == "in" && $(i + 2) ~ /^s,?$/) t = $(i + 1) }
    /^readwalk:/ { best("readwalk", t) }
    /^update  / { best("update", t) }
    /^verify  / { best("verify", t) }
    /^md5sum/ { best("md5sum", t) }
    /^MD5 in memory/ { if ($4 > mem) mem = $4 }
    /^update  / { mb = $4 }
    END {
      printf "best: readwalk %.3f s, update %.3f s (%.2fx), verify %.3f s (%.2fx), md5sum -c %.3f s (%.1f MB/s)\n",
        b["readwalk"], b["update"], b["update"] / b["readwalk"], b["verify"],
        b["verify"] / b["readwalk"], b["md5sum"], mb / b["md5sum"]
      printf "best: update %.1f MB/s, verify %.1f MB/s = %.3fx and %.3fx of MD5 in memory (%.1f MB/s)\n",
        mb / b["update"], mb / b["verify"], mb / b["update"] / mem, mb / b["verify"] / mem, mem
    }' "$log"
}

gen_small "$TREES/small"
gen_large "$TREES/large"
run small "$TREES/small"
run large "$TREES/large"
