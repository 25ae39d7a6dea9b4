#!/usr/bin/env bash
# The MSI for administrators, from the release's payload folder (tarnwick.wxs says what goes in):
#   msi.sh OUT.msi VERSION PAYLOAD
# Reproducible: the product and package codes are derived from what the package is made of, and
# the times in its summary are SOURCE_DATE_EPOCH (from git when not set).
set -euo pipefail
if [[ $# -ne 3 ]]; then
  echo "usage: msi.sh OUT.msi VERSION PAYLOAD" >&2
  exit 2
fi
out=$(realpath -m "$1")
version=$2
payload=$(realpath "$3")
here=$(cd "$(dirname "$0")" && pwd)
wxs=$here/tarnwick.wxs
upgrade_code=$(sed -nE 's/.*UpgradeCode="\{([0-9A-F-]+)\}".*/\1/p' "$wxs" | head -n 1)

if [[ -z ${SOURCE_DATE_EPOCH:-} ]]; then
  SOURCE_DATE_EPOCH=$(git -C "$here" log -1 --format=%ct 2>/dev/null) || {
    echo "msi.sh: not a git checkout; set SOURCE_DATE_EPOCH" >&2
    exit 1
  }
fi

# Any change to the files, the sources, the tools or the version gives new codes; a rebuild of the
# same gives the same codes. Windows Installer then sees each different build as another product
# (a major upgrade of the one installed), never as the same product with other contents. The
# commit's time is left out: packages that differ only in their summary's time are one package.
digest=$({
  echo "$version"
  wixl --version
  cat "$wxs" "$0" | sha256sum
  (cd "$payload" && find . -type f | LC_ALL=C sort | xargs sha256sum)
} | sha256sum | cut -d' ' -f1)
code() { uuidgen --sha1 --namespace "$upgrade_code" --name "$1 $digest" | tr a-f A-F; }
product_code={$(code product)}
package_code={$(code package)}

# What wixl 0.101 gets wrong, put right here: it stamps the wall-clock time into the summary
# (libfaketime holds the clock at the commit's time, for msibuild too, which saves the summary
# again); it converts strings into the codepage of WINDOWS_LANGUAGE, without which the Japanese
# ones crash it, yet declares no codepage in the database; it ignores the package code and the
# template's language; and it drops IncludeMaximum.
export TZ=UTC WINDOWS_LANGUAGE=ja
export LD_PRELOAD=/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1
FAKETIME=$(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S')
export FAKETIME

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Sources are looked up from the current folder.
(cd "$payload" && wixl -a x64 -D Version="$version" -D ProductCode="$product_code" \
  -D PackageCode="$package_code" -o "$work/package.msi" "$wxs")

# The database's codepage: Shift_JIS (932), the one wixl wrote the strings in, so that Windows
# Installer reads them right on a machine of any language.
printf '\r\n\r\n932\t_ForceCodepage\r\n' >"$work/_ForceCodepage.idt"
(cd "$work" && msibuild package.msi -i _ForceCodepage.idt)

# The same-version row of tarnwick.wxs, which without IncludeMaximum (0x200) is an empty range.
# Attributes is part of the Upgrade table's key, so the row is replaced rather than updated.
msibuild "$work/package.msi" \
  -q "DELETE FROM Upgrade WHERE ActionProperty = 'TARNWICK_SAME_VERSION'" \
  -q "INSERT INTO Upgrade (UpgradeCode, VersionMin, VersionMax, Attributes, ActionProperty) \
      VALUES ('{$upgrade_code}', '$version', '$version', 769, 'TARNWICK_SAME_VERSION')"

# The summary: the package code, and a template of x64 and Japanese.
msibuild "$work/package.msi" -s "Tarnwick $version" "Tarnwick Project" "x64;1041" "$package_code"
mv "$work/package.msi" "$out"
