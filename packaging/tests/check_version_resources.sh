#!/usr/bin/env bash
# Each binary carries a version resource: product "Tarnwick", a description, the version and the
# copyright line, as Explorer's Details tab shows them.
#   check_version_resources.sh VERSION BINARY...
set -euo pipefail
version=$1
shift
for binary in "$@"; do
  strings=$(wrestool -x --raw --type=16 "$binary" | iconv -c -f UTF-16LE -t UTF-8 2>/dev/null | tr '\0' '\n')
  for expected in ProductName Tarnwick FileDescription LegalCopyright "$version"; do
    if ! grep -qF -- "$expected" <<<"$strings"; then
      echo "FAIL: $(basename "$binary"): no \"$expected\" in its version resource" >&2
      exit 1
    fi
  done
done
echo "version resources: $# binaries carry Tarnwick $version"
