#!/usr/bin/env bash
# check_icon_readers.sh icotool|imagemagick DEFAULT.ico
# The default badge icon as other programs see it: icoutils lists six 32-bit images of the right
# sizes in file order, and ImageMagick converts it to PNG without a word on stderr.
set -euo pipefail
reader=$1
icon=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

case $reader in
icotool)
  icotool -l "$icon" >"$work/list" 2>"$work/errors"
  cat "$work/list"
  expected=""
  index=1
  for size in 16 20 24 32 48 64; do
    expected+="--icon --index=$index --width=$size --height=$size --bit-depth=32 --palette-size=0"$'\n'
    index=$((index + 1))
  done
  if [[ $(cat "$work/list")$'\n' != "$expected" ]]; then
    echo "icotool -l lists, instead of six 32-bit icons:" >&2
    printf '%s' "$expected" | diff - "$work/list" >&2 || true
    exit 1
  fi
  [[ ! -s $work/errors ]] || { cat "$work/errors" >&2; exit 1; }
  ;;
imagemagick)
  convert "$icon" "$work/badge.png" 2>"$work/errors"
  [[ ! -s $work/errors ]] || { echo "convert complained:" >&2; cat "$work/errors" >&2; exit 1; }
  count=$(find "$work" -name 'badge*.png' | wc -l)
  [[ $count -eq 6 ]] || { echo "convert made $count PNG files, not 6" >&2; exit 1; }
  identify -format '%w %A\n' "$work/badge-5.png" | tee "$work/identify"
  [[ $(cat "$work/identify") == "64 Blend" || $(cat "$work/identify") == "64 True" ]] ||
    { echo "the 64-pixel image lost its size or alpha" >&2; exit 1; }
  ;;
*)
  echo "usage: check_icon_readers.sh icotool|imagemagick FILE" >&2
  exit 2
  ;;
esac
