#!/usr/bin/env bash
# Takes docs/diag-report.png: TarnwickDiag.exe's box for an example of 17 handlers, the badge
# handler 16th. Runs the Windows build (build it first: cmake --preset windows && cmake --build
# --preset windows) in a fresh Wine prefix of its own, with a virtual display and the Japanese
# font replacements of scripts/wine-prefix.sh, and crops the screen to the box.
#   scripts/screenshot-diag.sh [OUT.png]
source "$(dirname "$0")/common.sh"

out=$(realpath -m "${1:-docs/diag-report.png}")
program=$ROOT/build/windows/diag/TarnwickDiag.exe
if [[ ! -f $program ]]; then
  echo "screenshot-diag: $program is missing; build the windows preset first" >&2
  exit 1
fi

state=$ROOT/build/windows/wine-screenshot
log=$ROOT/build/logs/screenshot-diag.log
: >"$log"
scripts/wine-prefix.sh reset "$state"
scripts/wine-prefix.sh ensure "$state"
pid=
cleanup() {
  if [[ -n $pid ]]; then kill "$pid" 2>/dev/null || true; fi
  scripts/wine-prefix.sh stop "$state"
}
trap cleanup EXIT
# shellcheck source=/dev/null
source "$state/env"

# Wine's own output goes to the log, never to a pipe (its background processes would hold it).
wine_logged() { wine "$@" >>"$log" 2>&1 </dev/null; }

# With no window manager an X window is only the client area; undecorated, Wine draws the frame
# and the title bar itself. Its default caption font is bold, and the bold face has no Japanese
# fallback here, so the title is drawn in the regular weight (LOGFONT of "MS Shell Dlg", 400).
face=$(printf 'MS Shell Dlg' | iconv -t UTF-16LE | od -An -tx1 -v | tr -d ' \n')
face+=$(printf '0%.0s' $(seq $((128 - ${#face}))))
# height -11, width, escapement, orientation, weight 400, flags, pitch and family 0x22, face.
caption_font=F5FFFFFF000000000000000000000000900100000000000000000022$face
wine_logged reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f
wine_logged reg add 'HKCU\Control Panel\Desktop\WindowMetrics' /v CaptionFont /t REG_BINARY \
  /d "$caption_font" /f

key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\ShellIconOverlayIdentifiers'
names=(
  '   CloudA Error' '   CloudA Pending' '   CloudA ReadOnly' '   CloudA Shared' '   CloudA Synced'
  '  CloudB Conflict' '  CloudB Error' '  CloudB Ignored' '  CloudB Locked' '  CloudB Partial'
  '  CloudB Synced' '  CloudB Syncing' '  DriveC Offline' '  DriveC Online' '  DriveC Pinned'
  '  Tarnwick' 'EncryptedMark'
)
wine_logged reg delete "$key" /f || true
for name in "${names[@]}"; do
  wine_logged reg add "$key\\$name" /ve /d '{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}' /f
done

wine "$program" >>"$log" 2>&1 </dev/null &
pid=$!

# Found by process, not by title alone; the process's other window is its 1x1 input method window.
window=
for _ in $(seq 150); do
  window=$(timeout 5 xdotool search --all --pid "$pid" --name '^Tarnwick' 2>/dev/null | head -n 1) ||
    true
  [[ -n $window ]] && break
  sleep 0.2
done
if [[ -z $window ]]; then
  echo "screenshot-diag: the box did not appear (log: $log)" >&2
  exit 1
fi
sleep 1  # let it paint

eval "$(timeout 5 xdotool getwindowgeometry --shell "$window")"
screen=$(mktemp --suffix=.png)
timeout 30 import -window root "$screen"
mkdir -p "$(dirname "$out")"
convert "$screen" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage -strip "$out"
rm -f "$screen"
echo "$out (${WIDTH}x${HEIGHT})"
