#!/usr/bin/env bash
# check_icon_readers.sh DEFAULT.ico
# The default badge icon as other programs see it: icoutils lists six 32-bit images of the right
# sizes in file order, and ImageMagick converts all six to PNG, alpha kept, without a word.
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "$1" >&2; cat "$work/errors" >&2; exit 1; }

expected=$(i=0; for size in 16 20 24 32 48 64; do
  echo "--icon --index=$((++i)) --width=$size --height=$size --bit-depth=32 --palette-size=0"; done)
[[ $(icotool -l "$1" 2>"$work/errors") == "$expected" && ! -s $work/errors ]] || fail "icotool -l"
convert "$1" "$work/badge.png" 2>"$work/errors" && [[ ! -s $work/errors ]] || fail "convert"
[[ $(identify -format '%w %A' "$work/badge-5.png") =~ ^64\ (Blend|True)$ ]] ||
  fail "the sixth image is not 64 pixels with alpha"
