#!/usr/bin/env bash
# Makes docs/settings-window.png and docs/settings-question.png from the Windows build: the
# settings window after a click on the red swatch (index 8), and the question that "この色にする"
# asks. Runs TarnwickSettings.exe in a fresh prefix of its own (nothing stored) on a virtual
# display, clicks as a user would with xdotool, and crops the screen with ImageMagick.
#   scripts/screenshot-settings.sh
# Needs the Windows build: cmake --preset windows && cmake --build --preset windows
source "$(dirname "$0")/common.sh"

exe=$ROOT/build/windows/settings/TarnwickSettings.exe
if [[ ! -f $exe ]]; then
  echo "screenshot-settings: no $exe; build the windows preset first" >&2
  exit 1
fi

state=$ROOT/build/windows/wine-shots
scripts/wine-prefix.sh reset "$state"
scripts/wine-prefix.sh ensure "$state"
trap 'scripts/wine-prefix.sh stop "$state" >/dev/null 2>&1 || true' EXIT
# shellcheck source=/dev/null
source "$state/env"
# There is no window manager on the virtual display: Wine draws the frames itself, so the title
# "Tarnwick 設定" shows. (Wine's own texts, such as the message box's buttons, stay English.)
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1

logs=$ROOT/build/logs
wine "$exe" >"$logs/screenshot-settings.out" 2>&1 </dev/null &

# The only windows of this fresh prefix are the program's: the main window, then the question.
find_window() {
  timeout 20 bash -c "until xdotool search --name '$1' 2>/dev/null; do sleep 0.2; done" | tail -n 1
}
window=$(find_window 'Tarnwick')
[[ -n $window ]] || { echo "screenshot-settings: the window did not open" >&2; exit 1; }
sleep 1

# Wine's frame: 3 pixels of border and a 19-pixel caption above the client area.
client_x=3 client_y=22
click() {
  xdotool mousemove --window "$window" $((client_x + $1)) $((client_y + $2)) mousedown 1
  sleep 0.2
  xdotool mouseup 1
  sleep 0.5
}

# Swatch 8 (red) in the second row; the mouse then moves off the window.
click 37 117
xdotool mousemove 1000 900
sleep 1

shot() {
  local target=$1 id=$2
  eval "$(xdotool getwindowgeometry --shell "$id")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage -strip \
    -define png:exclude-chunks=date,time "$target"
  echo "wrote $target"
}
shot docs/settings-window.png "$window"

# "この色にする": the question comes up over the window.
click 385 315
question=$(timeout 20 bash -c "until [[ \$(xdotool search --name 'Tarnwick' | wc -l) -ge 2 ]]; do sleep 0.2; done; xdotool search --name 'Tarnwick' | grep -v '^$window\$' | tail -n 1")
[[ -n $question ]] || { echo "screenshot-settings: no question was asked" >&2; exit 1; }
sleep 1
shot docs/settings-question.png "$question"
