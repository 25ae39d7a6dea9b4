#!/usr/bin/env bash
# The Windows test kit, Tarnwick-<version>-windows-tests.zip: the release as it lies in RELEASE
# (every file but SHA256SUMS and the kit itself), every test program of both Windows trees with
# the timing program of each and the drive-type helper, run-tests.cmd at the top, its read-me, a
# Windows Sandbox file, and kit-manifest.txt. The manifest names every file with its kind;
# run-tests.cmd checks it before anything else and runs what it lists, so whatever joins the release
# or the trees' lists joins the kit with no change here.
#   test-kit.sh ZIP VERSION RELEASE PROGRAMS_X64 PROGRAMS_X86
# PROGRAMS_*: the kit-programs.txt of the 64-bit and of the 32-bit tree, one program a line.
# Reproducible like the rest of the release (SOURCE_DATE_EPOCH is set by package.sh): programs
# stripped, text files with CRLF, entries sorted, stamped with the commit's time.
set -euo pipefail
if [[ $# -ne 5 ]]; then
  echo "usage: test-kit.sh ZIP VERSION RELEASE PROGRAMS_X64 PROGRAMS_X86" >&2
  exit 2
fi
zip=$(realpath -m "$1")
version=$2 release=$3 programs_x64=$4 programs_x86=$5
here=$(cd "$(dirname "$0")" && pwd)
: "${SOURCE_DATE_EPOCH:?test-kit.sh: SOURCE_DATE_EPOCH is not set}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
kit=$work/kit
mkdir -p "$kit/release" "$kit/tests/x64" "$kit/tests/x86"

(cd "$release" && find . -type f ! -name SHA256SUMS ! -name '*-windows-tests.zip' |
  xargs -r cp --parents -t "$kit/release")

# The MSI's upgrade case installs an older Tarnwick first: this release's files as version 0.9.0,
# made as the build tree's older_msi target makes its own.
if [[ -f $release/Tarnwick-$version-x64.msi ]]; then
  mkdir -p "$kit/tests/data" "$work/older-payload"
  unzip -q "$release/Tarnwick-$version-win64.zip" -d "$work/older-payload"
  "$here/msi.sh" "$kit/tests/data/Tarnwick-0.9.0-x64.msi" 0.9.0 "$work/older-payload"
fi

# Stripped: the programs carry no symbols naming the build machine's folders, and weigh half.
add_programs() {  # LIST ARCH STRIP
  local program
  if [[ ! -f $1 ]]; then
    echo "test-kit.sh: no $1: build the windows-x86 preset before the windows one" >&2
    exit 1
  fi
  while read -r program; do
    [[ -n $program ]] || continue
    "$3" -o "$kit/tests/$2/$(basename "$program")" "$program"
  done <"$1"
}
add_programs "$programs_x64" x64 x86_64-w64-mingw32-strip
add_programs "$programs_x86" x86 i686-w64-mingw32-strip

# Windows reads these; cmd.exe wants CRLF line ends in a script.
crlf() { sed 's/\r$//; s/$/\r/' "$1" >"$2"; }
crlf "$here/test-kit/run-tests.cmd" "$kit/run-tests.cmd"
crlf "$here/test-kit/Tarnwick-tests.wsb" "$kit/Tarnwick-tests.wsb"
sed "s/@VERSION@/$version/g" "$here/test-kit/README.txt" >"$work/README.txt"
crlf "$work/README.txt" "$kit/README.txt"

# The installers have kinds of their own: run-tests.cmd hands them to the tests in TARNWICK_SETUP,
# TARNWICK_MSI and TARNWICK_OLDER_MSI.
kind_of() {
  case $1 in
    release/*-setup.exe) echo setup ;;
    release/*.msi) echo msi ;;
    release/*) echo release ;;
    tests/data/*.msi) echo older-msi ;;
    tests/x64/*_test.exe) echo test64 ;;
    tests/x86/*_test.exe) echo test32 ;;
    tests/x64/folder_marking_timing.exe) echo timing64 ;;
    tests/x86/folder_marking_timing.exe) echo timing32 ;;
    tests/*) echo helper ;;
    *) echo kit ;;
  esac
}
{
  echo "# Tarnwick $version Windows test kit: every file run-tests.cmd needs, with its kind."
  (cd "$kit" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) | while read -r file; do
    echo "$(kind_of "$file") ${file//\//\\}"
  done
} >"$work/manifest"
crlf "$work/manifest" "$kit/kit-manifest.txt"

find "$kit" -type f -exec chmod 644 {} + -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
rm -f "$zip"
(cd "$kit" && find . -type f | LC_ALL=C sort | sed 's|^\./||' |
  TZ=UTC zip -X -D -q -@ "$zip")
