#!/usr/bin/env bash
# The release, from the built binaries: OUT receives the four binaries (x86/ for the 32-bit DLL),
# the NSIS installer, the MSI, the zip, the Windows test kit and SHA256SUMS, all signed first when
# sign.sh is given material.
#   package.sh OUT VERSION DLL DLL_X86 SETTINGS DIAG KIT_PROGRAMS KIT_PROGRAMS_X86
# Each binary's link map lies beside it as <target>.map (see tarnwick_shipped_binary). KIT_PROGRAMS*
# list the test programs of the 64-bit and the 32-bit tree for the kit (test-kit.sh).
#
# Reproducible: the same commit gives the same bytes, wherever and whenever it is built. Where a
# format stores a time (zip entries, the installer's files, the MSI's summary), it is the commit's
# (SOURCE_DATE_EPOCH, from git when not set); entries go in sorted order with fixed permissions.
# OUT appears only when everything succeeded: a failed signature leaves no half-signed release.
set -euo pipefail
if [[ $# -ne 8 ]]; then
  echo "usage: package.sh OUT VERSION DLL DLL_X86 SETTINGS DIAG KIT_PROGRAMS KIT_PROGRAMS_X86" >&2
  exit 2
fi
out=$(realpath -m "$1")
version=$2
dll=$3 dll_x86=$4 settings=$5 diag=$6 kit_programs=$7 kit_programs_x86=$8
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")

"$here/sign.sh" check

if [[ -z ${SOURCE_DATE_EPOCH:-} ]]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null) || {
    echo "package.sh: not a git checkout; set SOURCE_DATE_EPOCH" >&2
    exit 1
  }
fi
export SOURCE_DATE_EPOCH

work=$out.partial
rm -rf "$work" "$out"
trap 'rm -rf "$work"' EXIT
payload=$work/payload
dist=$work/dist
mkdir -p "$payload/x86" "$dist/x86"

# What a user gets, in the installer and in the zip alike.
cp "$dll" "$settings" "$diag" "$payload/"
cp "$dll_x86" "$payload/x86/"
cp "$here/README.txt" "$payload/"
sed 's/$/\r/' "$root/LICENSE" >"$payload/LICENSE.txt"
map() { echo "$(dirname "$1")/$2.map"; }
"$here/notices.sh" "$payload/THIRD-PARTY-NOTICES.txt" "$here/tarnwick.nsi" \
  "Tarnwick.dll=$(map "$dll" TarnwickDll)" "x86/Tarnwick.dll=$(map "$dll_x86" TarnwickDll)" \
  "TarnwickSettings.exe=$(map "$settings" TarnwickSettings)" \
  "TarnwickDiag.exe=$(map "$diag" TarnwickDiag)"
sed -i 's/$/\r/' "$payload/THIRD-PARTY-NOTICES.txt"
binaries=(Tarnwick.dll x86/Tarnwick.dll TarnwickSettings.exe TarnwickDiag.exe)
(cd "$payload" && "$here/sign.sh" "${binaries[@]}")
find "$payload" -type f -exec chmod 644 {} + -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

# The installer signs its uninstaller before packing it, and itself when done (!uninstfinalize,
# !finalize in the script). It refuses to install over the MSI, which it knows by its UpgradeCode.
msi_upgrade_code=$(sed -nE 's/.*UpgradeCode="(\{[0-9A-F-]+\})".*/\1/p' "$here/tarnwick.wxs" | head -n 1)
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DBINARIES="$payload" \
  -DOUTFILE="$dist/Tarnwick-$version-setup.exe" -DSIGN="$here/sign.sh" \
  -DMSI_UPGRADE_CODE="$msi_upgrade_code" "$here/tarnwick.nsi"

# The same payload for administrators, as an MSI.
"$here/msi.sh" "$dist/Tarnwick-$version-x64.msi" "$version" "$payload"
"$here/sign.sh" "$dist/Tarnwick-$version-x64.msi"

# Sorted entries, no extra fields (uid, gid, access times), times in UTC from the files.
(cd "$payload" && find . -type f | LC_ALL=C sort | sed 's|^\./||' |
  TZ=UTC zip -X -D -q -@ "$dist/Tarnwick-$version-win64.zip")

for binary in "${binaries[@]}"; do cp "$payload/$binary" "$dist/$binary"; done

# Whatever the release holds by now, with every Windows test program.
"$here/test-kit.sh" "$dist/Tarnwick-$version-windows-tests.zip" "$version" "$dist" \
  "$kit_programs" "$kit_programs_x86"

# Last, over the final (signed) files.
(cd "$dist" && find . -type f ! -name SHA256SUMS | LC_ALL=C sort | sed 's|^\./||' | xargs sha256sum >SHA256SUMS)

mv "$dist" "$out"
