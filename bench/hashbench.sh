#!/usr/bin/env bash
# hashbench.exe (under Wine, which adds nothing to computation) beside the references on the
# same machine in the same run: `openssl speed -evp md5|sha1` and the system zlib's crc32
# (bench/zlibcrc.c, built here natively). Each side is measured twice, taking turns, and the
# better figure of each counts.
#
#   bench/hashbench.sh [MiB per run, default 256] [runs, default 7]
set -euo pipefail
. "$(dirname "$0")/../scripts/env.sh"
MIB=${1:-256}
RUNS=${2:-7}

jv_configure_and_build --target hashbench >/dev/null
jv_wine
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

ZLIBCRC=""
if [ -f /usr/include/zlib.h ] && command -v cc >/dev/null; then
  ZLIBCRC="$BUILD/zlibcrc"
  cc -O2 -o "$ZLIBCRC" "$ROOT/bench/zlibcrc.c" -lz
fi
SECONDS_PER_REF=$((MIB * RUNS / 600 + 1))  # about as long as hashbench spends on one hasher

OUT=$(mktemp)
trap 'rm -f "$OUT"; wineserver -k >/dev/null 2>&1 || true' EXIT
for round in 1 2; do
  for alg in md5 sha1; do
    if command -v openssl >/dev/null; then
      # "sha1  1642643.18k": thousands of bytes per second for 64 KiB blocks.
      openssl speed -evp "$alg" -bytes 65536 -seconds "$SECONDS_PER_REF" 2>/dev/null |
        awk -v a="$alg" '$1 == a { v = $2; sub(/k$/, "", v); print "ref", a, v / 1000 }' >>"$OUT"
    fi
  done
  if [ -n "$ZLIBCRC" ]; then
    "$ZLIBCRC" "$MIB" "$RUNS" | awk '{ print "ref crc32", $2, $4 }' >>"$OUT"
  fi
  # "SHA1   SHA-NI     *    1660.1 MB/s": the start-up choice carries the *.
  (cd "$BUILD" && wine ./hashbench.exe "$MIB" "$RUNS") | tr -d '\r' |
    awk 'NF >= 4 && $NF == "MB/s" { chosen = ($3 == "*"); print "jv", $1, $2, chosen, $(NF - 1) }' >>"$OUT"
done

cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')
echo "$MIB MiB per run in 64 KiB blocks, median of $RUNS runs, best of 2 rounds; MB/s = 10^6 bytes/s"
echo "CPU: $cpu"
awk '
  $1 == "ref" && $2 != "crc32" { if ($3 > ref[toupper($2)]) ref[toupper($2)] = $3
                                 name[toupper($2)] = "openssl speed -evp " $2 }
  $1 == "ref" && $2 == "crc32" { if ($4 > ref["CRC32"]) ref["CRC32"] = $4
                                 name["CRC32"] = "zlib " $3 " crc32" }
  $1 == "jv" { key = $2 " " $3; if (!(key in rate)) order[++n] = key
               if ($5 > rate[key]) rate[key] = $5; chosen[key] = $4 }
  END {
    goal["MD5"] = "(unchanged)"; goal["SHA1"] = ">= 0.90"; goal["CRC32"] = ">= 1.00"
    printf "%-6s %-13s %10s   %-26s %10s %7s  %s\n", "hasher", "path", "Jurnvalt", "reference", "MB/s", "ratio", "goal"
    for (i = 1; i <= n; i++) {
      split(order[i], k, " "); alg = k[1]
      path = k[2] (chosen[order[i]] ? " *" : "")
      r = (alg in ref) ? sprintf("%10.1f %7.2f", ref[alg], rate[order[i]] / ref[alg]) : sprintf("%10s %7s", "-", "-")
      printf "%-6s %-13s %10.1f   %-26s %s  %s\n", alg, path, rate[order[i]],
             (alg in name) ? name[alg] : "(not on this machine)", r, chosen[order[i]] ? goal[alg] : ""
    }
    print "* = the path chosen at start-up on this processor; goals apply to it."
  }' "$OUT"
