#!/usr/bin/env bash
# Save of a checksum file of 1,000,000 entries (under Wine) beside its reference in the same run:
# native `xmllint --stream --noout` parsing the very file that the save wrote. The reference runs
# before and after the saves, so that load from elsewhere hits both; the best of each counts.
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

save_rounds >/dev/null  # writes the file the reference reads, and warms the cache
: >"$LOG"
xmllint_rounds
save_rounds
xmllint_rounds
awk -v entries="$ENTRIES" '
  function best(name, t) { if (!(name in b) || t < b[name]) b[name] = t }
  /^xmllint/ { best("xmllint", $(NF - 1)) }
  /^save / { best("save", $2) }
  END {
    printf "best of %d entries: save %.3f s, xmllint --stream --noout %.3f s: save = %.2fx the parse (goal <= 0.80x)\n",
      entries, b["save"], b["xmllint"], b["save"] / b["xmllint"]
  }' "$LOG"
