#!/usr/bin/env bash
# The main window under a real X server and window manager: started, closed
# and started again, it opens with the same outer X, Y and height each time,
# and the profile holds exactly that frame; a saved place off the screen is
# pulled back onto it. Then the picture window's focus test runs there too.
#
# usage: geometry_under_wm.sh OCTILE [PICTURE_TEST]
set -uo pipefail

octile=${1:?usage: geometry_under_wm.sh OCTILE [PICTURE_TEST]}
picture_test=${2:-}
wait_s=20

fail() {
  echo "geometry_under_wm: FAIL: $*" >&2
  exit 1
}
for tool in Xvfb openbox xdotool xwininfo xprop; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/install-deps.sh)"
done

work=$(mktemp -d)
xvfb_pid="" wm_pid="" app_pid=""
cleanup() {
  for pid in $app_pid $wm_pid $xvfb_pid; do
    kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 2' INT TERM

# A display of its own: Xvfb picks a free number and writes it to fd 3.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb gave no display number"
export DISPLAY=":$(head -n1 "$work/display")"

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" XDG_DATA_HOME="$work/home/data"
export XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=xcb
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
profile="$XDG_CONFIG_HOME/Zenkobo/ﾊﾞｲﾅﾘｴﾃﾞｨﾀ.ini"

openbox >"$work/openbox.log" 2>&1 &
wm_pid=$!
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id' || fail "openbox did not start"

# The outer frame of a client window: "X Y W H".
frame_of() {
  local id=$1 x y w h ext
  x=$(xwininfo -id "$id" | awk '/Absolute upper-left X/ {print $4}')
  y=$(xwininfo -id "$id" | awk '/Absolute upper-left Y/ {print $4}')
  w=$(xwininfo -id "$id" | awk '/Width:/ {print $2}')
  h=$(xwininfo -id "$id" | awk '/Height:/ {print $2}')
  ext=$(xprop -id "$id" _NET_FRAME_EXTENTS | sed -n 's/.*= *//p' | tr -d ' ')
  [ -n "$ext" ] || ext=0,0,0,0
  IFS=, read -r l r t b <<<"$ext"
  echo "$((x - l)) $((y - t)) $((w + l + r)) $((h + t + b))"
}

# The saved "X Y W H" of the profile's [Position] section.
saved_position() {
  awk -F= '/^\[/ {s = $0} s == "[Position]" && $1 ~ /^[XYWH]$/ {v[$1] = $2}
           END {print v["X"], v["Y"], v["W"], v["H"]}' "$profile"
}

# Starts the program, waits for its main window to settle, prints its frame
# and closes it through the window manager, as the user would.
run_once() {
  local id frame last="" same=0
  "$octile" >"$work/octile.log" 2>&1 &
  app_pid=$!
  id=$(timeout "$wait_s" xdotool search --sync --onlyvisible --name 'Octile' | head -n1)
  [ -n "$id" ] || fail "no main window within ${wait_s}s: $(cat "$work/octile.log")"
  # Settled: the same frame seen five times in a row, 0.1 s apart.
  for _ in $(seq $((wait_s * 10))); do
    frame=$(frame_of "$id")
    if [ "$frame" = "$last" ]; then same=$((same + 1)); else same=0; last=$frame; fi
    [ "$same" -ge 5 ] && break
    sleep 0.1
  done
  [ "$same" -ge 5 ] || fail "the main window did not settle within ${wait_s}s"
  timeout "$wait_s" xdotool windowactivate --sync "$id" >/dev/null 2>&1 ||
    fail "the main window could not be activated"
  xdotool key --clearmodifiers alt+F4  # openbox's close: WM_DELETE_WINDOW
  timeout "$wait_s" tail --pid="$app_pid" -f /dev/null ||
    fail "the program did not end within ${wait_s}s of being closed"
  wait "$app_pid"
  local rc=$?
  app_pid=""
  [ "$rc" -eq 0 ] || fail "the program exited with $rc: $(cat "$work/octile.log")"
  echo "$frame"
}

declare -a frames
for start in 1 2 3; do
  frame=$(run_once) || exit 1
  frames[$start]=$frame
  saved=$(saved_position)
  echo "start $start: frame $frame, saved $saved"
  [ "$saved" = "$frame" ] || fail "start $start: profile holds '$saved', the frame was '$frame'"
done
read -r x1 y1 _ h1 <<<"${frames[1]}"
for start in 2 3; do
  read -r x y _ h <<<"${frames[$start]}"
  [ "$x $y $h" = "$x1 $y1 $h1" ] ||
    fail "start $start opened at X Y H '$x $y $h', not where start 1 was: '$x1 $y1 $h1'"
done

# A place saved on a monitor that is gone, taller than this screen.
sed -i -e 's/^X=.*/X=3000/' -e 's/^Y=.*/Y=-400/' -e 's/^H=.*/H=1500/' "$profile"
frame=$(run_once) || exit 1
read -r x y w h <<<"$frame"
echo "off-screen place: frame $frame"
[ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + w)) -le 1280 ] && [ $((y + h)) -le 1024 ] ||
  fail "a place saved off the screen opened at '$frame', not on the 1280x1024 screen"

if [ -n "$picture_test" ]; then
  timeout 120 "$picture_test" searchHitLeavesTheKeysWithTheMainWindow >"$work/picture.log" 2>&1 ||
    fail "picture window focus test: $(cat "$work/picture.log")"
  grep -q '^PASS   : .*searchHitLeavesTheKeysWithTheMainWindow' "$work/picture.log" ||
    fail "picture window focus test did not pass: $(cat "$work/picture.log")"
  echo "picture window leaves the focus in the main window"
fi
echo "geometry_under_wm: ok"
