# Sourced by the other scripts: build folder, Wine prefix and a display for the windows.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${JV_BUILD:-$ROOT/build}"
export WINEPREFIX="${JV_WINEPREFIX:-$BUILD/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

jv_configure_and_build() {
  if [ ! -f "$BUILD/build.ninja" ]; then
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DJV_WINEPREFIX="$WINEPREFIX" >/dev/null
  fi
  cmake --build "$BUILD" "$@"
}

STARTED_XVFB=""
# Starts Xvfb on a free display when there is no display.
jv_display() {
  if [ -z "${DISPLAY:-}" ]; then
    local n=90
    while [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    STARTED_XVFB=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${n}" ] && break; sleep 0.1; done
  fi
}

# Creates the Wine prefix once and keeps a wineserver running for fast test starts.
# Wine links the prefix's Desktop, Documents and the like to $HOME; the tests create links and
# files there, so Wine gets a home folder of its own inside the build folder.
jv_wine() {
  export HOME="$BUILD/home"
  mkdir -p "$HOME"
  local desk="$WINEPREFIX/drive_c/users/$(id -un)/Desktop"
  if [ -L "$desk" ] && [ "$(readlink -f "$desk")" != "$(readlink -f "$HOME")" ]; then
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"  # made before Wine had a home of its own
  fi
  mkdir -p "$WINEPREFIX"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 </dev/null || true
  fi
  wineserver -p >/dev/null 2>&1 </dev/null || true
  # Start the prefix's services now, with their output detached: a Wine daemon started by the
  # first test would inherit ctest's output pipe and keep ctest waiting for it forever.
  wineboot >/dev/null 2>&1 </dev/null || true
}

jv_cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$STARTED_XVFB" ]; then kill "$STARTED_XVFB" 2>/dev/null || true; fi
}
