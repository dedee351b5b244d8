#!/usr/bin/env bash
# Save and load of a checksum file of 1,000,000 entries (under Wine) beside their reference in the
# same run: native `xmllint --stream --noout` parsing the very file that the save wrote. The
# reference runs before and after the saves and loads, so that load from elsewhere hits all; the
# best of each counts. Each load also shows its peak memory beside the loaded document's own; one
# load with the MSXML reader sets its peak beside the built-in parser's.
#
#   bench/xmlbench.sh [entries] [rounds]      (defaults 1000000 and 5)
set -euo pipefail
. "$(dirname "$0")/../scripts/env.sh"
ENTRIES=${1:-1000000}
ROUNDS=${2:-5}
DIR=$(mktemp -d /tmp/jv-xmlbench.XXXXXX)
FILE="$DIR/bench.#ml"
LOG="$DIR/log"

cmake --build "$BUILD" --target xmlbench >/dev/null
jv_wine
trap 'rm -rf "$DIR"; wineserver -k >/dev/null 2>&1 || true' EXIT

xmllint_rounds() {
  for _ in $(seq "$ROUNDS"); do
    local start end
    start=$(date +%s.%N)
    xmllint --stream --noout "$FILE"
    end=$(date +%s.%N)
    awk -v s="$start" -v e="$end" 'BEGIN { printf "xmllint --stream --noout (native) %.3f s\n", e - s }'
  done | tee -a "$LOG"
}

save_rounds() {
  wine "$BUILD/xmlbench.exe" save "Z:$(echo "$FILE" | tr / '\\')" "$ENTRIES" "$ROUNDS" \
    2>/dev/null </dev/null | tee -a "$LOG"
}

# Loads with the built-in parser (or with MSXML, given 1), each in a process of its own (so each
# peak is its own).
load_rounds() {
  for _ in $(seq "${2:-$ROUNDS}"); do
    wine "$BUILD/xmlbench.exe" load "Z:$(echo "$FILE" | tr / '\\')" "${1:-0}" 2>/dev/null </dev/null
  done | tee -a "$LOG"
}

save_rounds >/dev/null  # writes the file the reference reads, and warms the cache
: >"$LOG"
xmllint_rounds
save_rounds
load_rounds
xmllint_rounds
load_rounds
load_rounds 1 1
awk -v entries="$ENTRIES" '
  function best(name, t) { if (!(name in b) || t < b[name]) b[name] = t }
  /^xmllint/ { best("xmllint", $(NF - 1)) }
  /^save / { best("save", $2) }
  # load built-in ok N entries T s peak P MiB document D MiB ...
  /^load built-in ok/ {
    best("load", $6)
    if ($9 - $12 > above) { above = $9 - $12; peak = $9; doc = $12 }
  }
  /^load MSXML/ { msxml = $9; msxmlTime = $6 }
  END {
    printf "best of %d entries: save %.3f s, xmllint --stream --noout %.3f s: save = %.2fx the parse (goal <= 0.80x)\n",
      entries, b["save"], b["xmllint"], b["save"] / b["xmllint"]
    printf "best of %d entries: load %.3f s = %.2fx the parse (goal <= 1.30x); at most %d MiB above the loaded document (peak %d MiB, document %d MiB; goal <= 150 MiB)\n",
      entries, b["load"], b["load"] / b["xmllint"], above, peak, doc
    printf "peak memory of a load of %d entries: built-in %d MiB, MSXML %d MiB (%.3f s)\n",
      entries, peak, msxml, msxmlTime
  }' "$LOG"
