#!/bin/sh
# Runs screen_reader_test.py against the programs in BIN_DIR on a virtual
# display of its own, with a session bus of its own (the accessibility bus
# is started from it), on controllers in a scratch folder.
# Usage: screen_reader_test.sh BIN_DIR
set -eu
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
xvfb=
trap '[ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null; rm -rf "$scratch"' EXIT
# The server names a free display itself. It is used only once it answers:
# a server that has named its display may still fail to come up (another
# one took the display meanwhile, say), and then another is started.
# -noreset: by default the server resets when its last client leaves, and a
# client connecting meanwhile (the program, right after xdpyinfo) is refused.
for attempt in 1 2 3; do
  rm -f "$scratch/display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$scratch/display" 2>/dev/null &
  xvfb=$!
  # Waited for while the server lives (a busy machine only makes it slow),
  # up to a minute.
  tries=0
  while [ ! -s "$scratch/display" ] && kill -0 "$xvfb" 2>/dev/null && [ $tries -lt 600 ]; do
    sleep 0.1
    tries=$((tries + 1))
  done
  DISPLAY=:$(head -n 1 "$scratch/display" 2>/dev/null || true)
  export DISPLAY
  tries=0
  while ! xdpyinfo >/dev/null 2>&1 && kill -0 "$xvfb" 2>/dev/null && [ $tries -lt 600 ]; do
    sleep 0.1
    tries=$((tries + 1))
  done
  xdpyinfo >/dev/null 2>&1 && break
  if kill -0 "$xvfb" 2>/dev/null; then
    echo "Xvfb on $DISPLAY did not answer in 60 s though it kept running (attempt $attempt)" >&2
  else
    echo "Xvfb for $DISPLAY ended before it answered (attempt $attempt)" >&2
  fi
  kill "$xvfb" 2>/dev/null || true
  xvfb=
done
export KAVR_SIM_FLASH_DIR="$scratch/flash" KAVR_SIM_STATE_DIR="$scratch/state"
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
export XDG_CONFIG_HOME="$scratch/config"
dbus-run-session -- /usr/bin/python3 "$here/screen_reader_test.py" "$1"
