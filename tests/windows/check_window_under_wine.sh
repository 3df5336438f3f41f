#!/usr/bin/env bash
# Drives the unzipped 32-bit Windows window program under wine on a virtual X
# display, as a user would, and checks what it shows:
#   check_window_under_wine.sh WINE_RUN ZIP [SCREENSHOT_FOLDER]
# - the dialog lists the stand-in's two controllers; Enter opens the test
#   window, titled as on Linux;
# - the GetState button shows the box "KAVR_GetState Successful", and Ctrl+C
#   in it copies the whole report, the same text kavrctl.exe prints for that
#   controller (wine shares its clipboard with the X server);
# - F2 opens the monitor; closing the test window ends the program;
# - the transcript (--trace) names the calls made.
# With a SCREENSHOT_FOLDER it leaves windows-{dialog,test-window,report,monitor}.png there.
set -euo pipefail
wine_run=$1
zip=$(realpath "$2")
wine_run=$(realpath "$wine_run")
shots=${3:-}

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# A display number nobody uses.
display_number=90
while [ -e "/tmp/.X$display_number-lock" ] || [ -e "/tmp/.X11-unix/X$display_number" ]; do
  display_number=$((display_number + 1))
done
export DISPLAY=":$display_number"
# -noreset: the server would otherwise reset when xdpyinfo, its only client,
# leaves, and refuse whoever connects meanwhile.
Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
pids+=($!)
# Waited for while the server lives (a busy machine only makes it slow), up
# to a minute; the failure says which way it ended.
xvfb_pid=$!
for _ in $(seq 600); do
  xdpyinfo >/dev/null 2>&1 && break
  kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb ended before it answered on $DISPLAY (see $work/xvfb.log)"
  sleep 0.1
done
xdpyinfo >/dev/null 2>&1 || fail "Xvfb kept running but did not answer on $DISPLAY within 60 s"
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
sleep 1

(cd "$work" && cmake -E tar xf "$zip")
program=$(find "$work" -name kavrtest.exe | head -n 1)
console_program=$(find "$work" -name kavrctl.exe | head -n 1)
[ -n "$program" ] || fail "$zip holds no kavrtest.exe"
[ -n "$console_program" ] || fail "$zip holds no kavrctl.exe"

export KAVR_WINE_DISPLAY=$DISPLAY
# Fresh folders: the stand-in's controllers start as just switched on.
export KAVR_SIM_DEVICES=2
unset KAVR_SIM_RESET KAVR_SIM_FAIL
export KAVR_SIM_FLASH_DIR="$work/flash" KAVR_SIM_STATE_DIR="$work/state"
mkdir -p "$KAVR_SIM_FLASH_DIR" "$KAVR_SIM_STATE_DIR"

# wait_for_window TITLE: the id of the visible (mapped) window of that exact
# title. Waited for while the program lives, up to 3 minutes: a busy machine
# only makes wine slow; the failure says whether the program had ended.
wait_for_window() {
  local id
  for _ in $(seq 900); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1 || true)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    if [ -n "${program_pid:-}" ] && ! kill -0 "$program_pid" 2>/dev/null; then
      fail "the program ended before a window titled \"$1\" appeared (see $work/program.log)"
    fi
    sleep 0.2
  done
  fail "no window titled \"$1\" appeared within 3 minutes, though the program kept running"
}

screenshot() {
  [ -n "$shots" ] || return 0
  mkdir -p "$shots"
  sleep 0.5
  import -window root "$shots/windows-$1.png"
}

# A motor at rest drops to half power after a while; without current
# reduction the state read twice below stays the same but for temperature.
"$wine_run" "$console_program" -d 1 set-mode CurrentReduction=0 >/dev/null || fail "kavrctl.exe set-mode failed"

"$wine_run" "$program" --trace "Z:$work/trace.log" >"$work/program.log" 2>&1 &
program_pid=$!
pids+=("$program_pid")

dialog=$(wait_for_window "Select Your Choice")
screenshot dialog
grep -q ' Init count=2 rc=0 ' "$work/trace.log" || fail "the transcript has no Init call that found the two controllers"
xdotool windowactivate --sync "$dialog" key Return

window=$(wait_for_window "VB Test KAVRDLL")
screenshot test-window
# The GetState button, at 233,570 twips (15 a pixel) and 1695x495 in size.
xdotool windowactivate --sync "$window" mousemove --window "$window" 72 54 click 1
box=$(wait_for_window "KAVR_GetState Successful")
screenshot report
xdotool windowactivate --sync "$box" key ctrl+c
sleep 1
xclip -o -selection clipboard | tr -d '\r' >"$work/copied.txt" || fail "nothing was copied to the clipboard"

{
  echo "KAVR_GetState Successful"
  "$wine_run" "$console_program" -d 1 state | tr -d '\r'
} >"$work/expected.txt"
# The simulated temperature drifts between the two reads: its digits are
# compared by form only.
grep -q -E '^- Temperature - [0-9]+\.[0-9]{2}°C$' "$work/copied.txt" || fail "no temperature line of the usual form"
temperature='s/^- Temperature - [0-9.,]*°C$/- Temperature - (drifts)°C/'
if ! diff -u <(sed -E "$temperature" "$work/expected.txt") <(sed -E "$temperature" "$work/copied.txt"); then
  fail "the copied report differs from what kavrctl.exe prints"
fi
xdotool windowactivate --sync "$box" key Return

xdotool windowactivate --sync "$window" key F2
wait_for_window "Monitor - S/N .*" >/dev/null
screenshot monitor

xdotool windowactivate --sync "$window" key alt+F4
for _ in $(seq 100); do
  kill -0 "$program_pid" 2>/dev/null || break
  sleep 0.2
done
kill -0 "$program_pid" 2>/dev/null && fail "closing the test window did not end the program"

grep -q ' GetState device=0 .*rc=0 ' "$work/trace.log" || fail "the transcript has no GetState call on the first controller"
echo "kavrtest.exe under wine: dialog, test window, GetState report ($(wc -l <"$work/copied.txt") lines, same as kavrctl.exe), monitor, close; $(wc -l <"$work/trace.log") calls in the transcript"
