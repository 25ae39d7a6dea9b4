#!/usr/bin/env bash
# Makes docs/badge.png from the build's own default icon: its 64-pixel image enlarged 4x
# (nearest neighbour, so every pixel shows) on a light and on a dark background, side by side.
#   scripts/make-badge-png.sh [ICON] [PNG]
# ICON defaults to the native build's build/native/badge/default_badge.ico.
set -euo pipefail
cd "$(dirname "$0")/.."
icon=${1:-build/native/badge/default_badge.ico}
png=${2:-docs/badge.png}
if [[ ! -f $icon ]]; then
  echo "make-badge-png: no $icon; build first: cmake --preset native && cmake --build --preset native" >&2
  exit 1
fi

# The 64-pixel image is the sixth in the file (16, 20, 24, 32, 48, 64).
frame="$icon[5]"
[[ $(identify -format '%w' "$frame") == 64 ]] || { echo "make-badge-png: image 6 is not 64 px" >&2; exit 1; }

args=()
for background in '#F3F3F3' '#202020'; do
  args+=('(' -size 320x320 "xc:$background" '(' "$frame" -sample 400% ')' -gravity center
         -composite ')')
done
convert "${args[@]}" +append -depth 8 -strip -define png:exclude-chunks=date,time "$png"
echo "wrote $png"
