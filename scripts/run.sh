#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it under Wine.
set -euo pipefail
. "$(dirname "$0")/env.sh"
"$ROOT/scripts/setup.sh"
jv_configure_and_build --target jurnvalt
jv_display
trap jv_cleanup EXIT
if [ -n "$STARTED_XVFB" ]; then
  echo "run.sh: no display, so Jurnvalt runs on a private virtual display ($DISPLAY) where nobody sees it; run it from a desktop session or set DISPLAY to see the window" >&2
fi
jv_wine
wine "$BUILD/jurnvalt.exe" "$@"
