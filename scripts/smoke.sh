#!/usr/bin/env bash
# One run of the Windows build under Wine, in a fresh prefix of its own: both Tarnwick.dll builds
# registered with regsvr32, then asked through COM, as Explorer and a 32-bit program's file dialog
# ask them, about each folder of a sample tree.
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

installed=$WINEPREFIX/drive_c/Program\ Files/Tarnwick
mkdir -p "$installed/x86"
cp dist/Tarnwick.dll "$installed/"
cp dist/x86/Tarnwick.dll "$installed/x86/"
# Each DLL with the regsvr32 of its own bitness, into its own registry view.
register() {
  if ! scripts/wine-run "$state" "$1" /s "$2"; then
    echo "smoke: $1 could not register $2" >&2
    exit 1
  fi
}
register 'C:\windows\system32\regsvr32.exe' 'C:\Program Files\Tarnwick\Tarnwick.dll'
register 'C:\windows\syswow64\regsvr32.exe' 'C:\Program Files\Tarnwick\x86\Tarnwick.dll'

for bits in 64 32; do
  tree=build/windows
  [[ $bits == 32 ]] && tree=build/windows-x86
  echo "Smoke run: IsMemberOf through COM from a $bits-bit program for C:\tarnwick-sample" \
       "(S_OK = badge)"
  scripts/wine-run "$state" $tree/tools/tarnwick-mark.exe --com --tree \
    'C:\tarnwick-sample' 'R:\' 'C:\tarnwick-sample\files-only\a.txt'
done
