#!/usr/bin/env bash
# One run of the Windows build under Wine, in a fresh prefix of its own: the folder decisions for
# a small sample tree, as the overlay will answer Explorer.
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

echo "Smoke run: tarnwick-mark.exe --tree C:\\tarnwick-sample (S_OK = badge)"
scripts/wine-run "$state" build/windows/tools/tarnwick-mark.exe --tree 'C:\tarnwick-sample' \
  'R:\' 'C:\tarnwick-sample\files-only\a.txt'
