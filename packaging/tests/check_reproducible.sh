#!/usr/bin/env bash
# The release is reproducible: a clean clone of HEAD, in another folder and built later, gives
# bit-identical files to this checkout's build/windows/packaging/dist. With uncommitted changes
# here, two clean clones are built and compared instead.
#   check_reproducible.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$root/build/reproducible
rm -rf "$work"
mkdir -p "$work"

build() {  # LOG ARGS...: runs ARGS with its output in LOG, shown when it fails
  "${@:2}" >"$1" 2>&1 || { tail -n 40 "$1" >&2; exit 1; }
}

build_clone() {  # folder -> its dist
  git clone -q --no-local "$root" "$1"
  # Only what the release is made of: the 32-bit tree whole (its DLL, and its test programs for
  # the test kit), then the 64-bit tree's dist target with what it packs.
  for step in "windows-x86 all" "windows dist"; do
    read -r preset target <<<"$step"
    (cd "$1" && cmake --preset "$preset" >/dev/null)
    build "$1-$preset.log" cmake --build "$1/build/$preset" --target "$target"
  done
  (cd "$1" && scripts/wine-prefix.sh stop build/windows/wine >/dev/null 2>&1) || true
}

if [[ -n $(git -C "$root" status --porcelain) ]]; then
  echo "Uncommitted changes here: comparing two clean clones of HEAD instead."
  build_clone "$work/first"
  reference=$work/first/build/windows/packaging/dist
else
  # Packed again for HEAD: the release carries the commit's time.
  build "$work/here.log" cmake --build "$root/build/windows" --target dist
  reference=$root/build/windows/packaging/dist
fi
# A longer, different path: a build that recorded where it ran would differ.
build_clone "$work/second-clone-elsewhere"
candidate=$work/second-clone-elsewhere/build/windows/packaging/dist

if ! diff -r "$reference" "$candidate" >"$work/diff.txt"; then
  echo "NOT reproducible: $reference and $candidate differ:" >&2
  cat "$work/diff.txt" >&2
  exit 1
fi
echo "Reproducible: $(find "$candidate" -type f | wc -l) files identical in two builds of $(git -C "$root" rev-parse --short HEAD)."
rm -rf "$work"
