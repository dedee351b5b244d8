#!/usr/bin/env bash
# Installs what is missing, builds the program and the tests and runs every test under Wine.
set -euo pipefail
. "$(dirname "$0")/env.sh"
"$ROOT/scripts/setup.sh"
jv_configure_and_build
jv_display
trap jv_cleanup EXIT
jv_wine
cd "$BUILD"
ctest --output-on-failure "$@"
