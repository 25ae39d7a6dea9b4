#!/usr/bin/env bash
# check_icon_readers.sh DEFAULT.ico
# The default badge icon as other programs see it: icoutils lists six 32-bit images of the right
# sizes in file order, and ImageMagick converts all six to PNG, alpha kept, without a word on stderr.
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "$1" >&2; cat "$work/errors" >&2; exit 1; }

expected=$(i=0; for size in 16 20 24 32 48 64; do
  echo "--icon --index=$((++i)) --width=$size --height=$size --bit-depth=32 --palette-size=0"; done)
list=$(icotool -l "$1" 2>"$work/errors")
[[ $list == "$expected" && ! -s $work/errors ]] || fail "icotool -l lists, not six 32-bit icons: $list"

convert "$1" "$work/badge.png" 2>"$work/errors"
[[ ! -s $work/errors ]] || fail "convert complained"
images=("$work"/badge-*.png)
[[ ${#images[@]} -eq 6 ]] || fail "convert made ${#images[@]} PNG files, not 6"
[[ $(identify -format '%w %A' "$work/badge-5.png") =~ ^64\ (Blend|True)$ ]] ||
  fail "the 64-pixel image lost its size or alpha"
