#!/usr/bin/env bash
# A private Wine prefix for one build tree, with its own virtual display.
#   wine-prefix.sh ensure STATE   make (once) and start the prefix and the display; print nothing
#   wine-prefix.sh reset STATE    stop and delete them, so the next ensure boots a fresh prefix
#   wine-prefix.sh stop STATE     stop the Wine server and the display
# STATE/env is then a file to source: WINEPREFIX, DISPLAY and the drive letters the tests may use.
#
# Wine's background processes inherit the descriptors of the call that starts them and keep pipes
# open (ctest would wait on them), so everything started here writes to /dev/null and never sees
# the lock's descriptor.
set -euo pipefail
trap 'echo "wine-prefix.sh: \"$BASH_COMMAND\" failed (line $LINENO)" >&2' ERR
command=$1
state=$(realpath -m "$2")
mkdir -p "$state"
prefix=$state/prefix

export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
# With wine32 installed, plain `wine` starts Wine's builtin programs (regedit, reg, wineboot) as
# 32-bit ones, which read and write the registry's 32-bit view: drive types written there are
# silently ignored. The 64-bit loader runs them in the 64-bit view, with or without wine32.
wine64=/usr/lib/wine/wine64

stop() {
  if [[ -d $prefix ]]; then wineserver -k >/dev/null 2>&1 9>&- || true; fi
  if [[ -f $state/xvfb.pid ]]; then kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true; fi
  rm -f "$state/xvfb.pid" "$state/display"
}

display_alive() {
  [[ -f $state/xvfb.pid && -s $state/display ]] && kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null
}

start_display() {
  display_alive && return 0
  rm -f "$state/display"
  setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$state/display" \
    >/dev/null 2>&1 9>&- </dev/null &
  echo $! >"$state/xvfb.pid"
  for _ in $(seq 100); do
    [[ -s $state/display ]] && return 0
    sleep 0.1
  done
  echo "wine-prefix: Xvfb did not start" >&2
  return 1
}

make_prefix() {
  rm -rf "$prefix"
  "$wine64" wineboot -i >/dev/null 2>&1 9>&- </dev/null
  wineserver -w 9>&-

  # Drives the tests rely on: F: a second fixed drive, R: removable, N: network. C: and F: are
  # declared hard disks, whatever file system the build tree lies on (Wine would call tmpfs a RAM
  # disk).
  mkdir -p "$state/drives/fixed" "$state/drives/removable" "$state/drives/network"
  ln -sfn "$state/drives/fixed" "$prefix/dosdevices/f:"
  ln -sfn "$state/drives/removable" "$prefix/dosdevices/r:"
  ln -sfn "$state/drives/network" "$prefix/dosdevices/n:"

  # Japanese text legible in screenshots: this prefix only, never the product.
  mkdir -p "$prefix/drive_c/windows/Fonts"
  cp /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
  local ipa=/usr/share/fonts/opentype/ipafont-gothic
  cp "$ipa"/*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true

  cat >"$state/prefix.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Wine\Drives]
"c:"="hd"
"f:"="hd"
"r:"="floppy"
"n:"="network"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"MS UI Gothic"="IPAGothic"
"Yu Gothic UI"="IPAPGothic"
"Meiryo"="IPAPGothic"
"MS Shell Dlg"="Tahoma"
REG
  "$wine64" regedit /S "$("$wine64" winepath -w "$state/prefix.reg" 2>/dev/null 9>&-)" >/dev/null 2>&1 9>&- </dev/null
  # Buttons without a font of their own draw in "System", captions in bold Tahoma; neither has
  # Japanese glyphs here. Linked to the IPA face, as Windows links its UI fonts, they show it.
  local face
  for face in System "Tahoma Bold"; do
    "$wine64" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
      /v "$face" /t REG_MULTI_SZ /d 'ipag.ttf,IPAGothic' /f >/dev/null 2>&1 9>&- </dev/null
  done
  # The server reads the drive types only when it starts.
  wineserver -k >/dev/null 2>&1 9>&- || true
  wineserver -w 9>&- || true
  check_drive_types
  touch "$prefix/.tarnwick-ready"
}

# The tests' answers hang on these types; a prefix where Wine did not apply them would make a
# removable or network drive look fixed, and tests would fail far from the cause.
check_drive_types() {
  local program=$state/drive-type.exe expectation letter actual
  x86_64-w64-mingw32-gcc-posix -O2 -Wall -Werror -s -o "$program" \
    "$(dirname "${BASH_SOURCE[0]}")/drive-type.c"
  for expectation in c=3 f=3 r=2 n=4; do  # DRIVE_FIXED, DRIVE_REMOVABLE, DRIVE_REMOTE
    letter=${expectation%=*}
    # Through a file: a Wine started here may keep a pipe open for as long as it runs.
    "$wine64" "$program" "$letter" >"$state/drive-type.out" 2>/dev/null 9>&- </dev/null || true
    actual=$(tr -d '\r' <"$state/drive-type.out")
    if [[ $actual != "${expectation#*=}" ]]; then
      echo "wine-prefix: drive ${letter^^}: has type '$actual', the tests need ${expectation#*=}" >&2
      return 1
    fi
  done
}

write_env() {
  cat >"$state/env" <<ENV
export WINEPREFIX='$prefix' WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' WINEARCH=win64
export DISPLAY=':$(cat "$state/display")'
export TARNWICK_TEST_FIXED_DRIVE=F TARNWICK_TEST_REMOVABLE_DRIVE=R TARNWICK_TEST_NETWORK_DRIVE=N
export TARNWICK_TEST_ROOT='$state/scratch'
ENV
}

case $command in
  ensure)
    exec 9>"$state/lock"
    flock 9
    start_display
    export DISPLAY=":$(cat "$state/display")"
    [[ -f $prefix/.tarnwick-ready ]] || make_prefix
    mkdir -p "$state/scratch"
    write_env
    # A persistent server, started here with its output on /dev/null, so no test run owns it.
    wineserver -p >/dev/null 2>&1 9>&- </dev/null || true
    ;;
  reset)
    exec 9>"$state/lock"
    flock 9
    stop
    rm -rf "$prefix" "$state/scratch" "$state/env"
    ;;
  stop)
    stop
    ;;
  *)
    echo "usage: wine-prefix.sh ensure|reset|stop STATE" >&2
    exit 2
    ;;
esac
