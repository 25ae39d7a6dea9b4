#!/usr/bin/env bash
# One run of the Windows build under Wine, in a fresh prefix of its own: Tarnwick.dll registered
# with regsvr32, then asked through COM, as Explorer asks it, about each folder of a sample tree.
source "$(dirname "$0")/common.sh"

state=$ROOT/build/windows/wine-smoke
scripts/wine-prefix.sh reset "$state"
scripts/wine-prefix.sh ensure "$state"
trap 'scripts/wine-prefix.sh stop "$state"' EXIT
source "$state/env"

sample=$WINEPREFIX/drive_c/tarnwick-sample
rm -rf "$sample"
mkdir -p "$sample/empty" "$sample/files-only" "$sample/tree/leaf" "$sample/tree/branch/leaf" \
         "$sample/.hidden-parent/x"
touch "$sample/files-only/a.txt" "$sample/files-only/b.txt" "$sample/tree/readme.txt"

mkdir -p "$WINEPREFIX/drive_c/Program Files/Tarnwick"
cp dist/Tarnwick.dll "$WINEPREFIX/drive_c/Program Files/Tarnwick/"
if ! scripts/wine-run "$state" regsvr32 /s 'C:\Program Files\Tarnwick\Tarnwick.dll'; then
  echo "smoke: regsvr32 could not register Tarnwick.dll" >&2
  exit 1
fi

echo "Smoke run: Tarnwick.dll registered; IsMemberOf through COM for C:\\tarnwick-sample (S_OK = badge)"
scripts/wine-run "$state" build/windows/tools/tarnwick-mark.exe --com --tree \
  'C:\tarnwick-sample' 'R:\' 'C:\tarnwick-sample\files-only\a.txt'
