#!/usr/bin/env bash
# filebench.exe (under Wine): HashFile on a large page-cached file beside the plain read of the
# same file and beside the in-memory hash, all in the same run, with the ratios the file goals
# are read from. The machine's load is shown before and after, since a busy moment shows here.
#
#   bench/filebench.sh [MiB, default 1024] [runs, default 7] [folder, default Wine's temp folder]
set -euo pipefail
. "$(dirname "$0")/../scripts/env.sh"
MIB=${1:-1024}
RUNS=${2:-7}
FOLDER=${3:-}

jv_configure_and_build --target filebench >/dev/null
jv_wine
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
if [ -n "$FOLDER" ]; then
  (cd "$BUILD" && wine ./filebench.exe "$MIB" "Z:$(echo "$FOLDER" | tr / '\\')" "$RUNS") | tr -d '\r'
else
  (cd "$BUILD" && wine ./filebench.exe "$MIB" "" "$RUNS") | tr -d '\r'
fi
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
