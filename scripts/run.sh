#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it under Wine.
set -euo pipefail
. "$(dirname "$0")/env.sh"
"$ROOT/scripts/setup.sh"
jv_configure_and_build --target jurnvalt
jv_display
trap jv_cleanup EXIT
jv_wine
wine "$BUILD/jurnvalt.exe" "$@"
