#!/usr/bin/env bash
# Tarnwick.dll as a file, read by independent tools (no Wine), as the loader and the shell see it;
# its six icon images are those of the default badge file, and of the other build's DLL if given.
# (overlay_dll_test reads the 32-bit DLL's SafeSEH table, finding the guard's handler in it.)
#   check_dll_image.sh DLL DEFAULT_BADGE_ICO [OTHER_DLL]
set -euo pipefail
dll=$1
ico=$2
other=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

objdump=x86_64-w64-mingw32-objdump
"$objdump" -p "$dll" >"$work/headers"
grep -q '^Name .*Tarnwick\.dll' "$work/headers" || fail "export name is not Tarnwick.dll"
sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' "$work/headers" | grep -E '^\s+\[' \
  | sed -E 's/^\s+\[\s*([0-9]+)\]\s+//' >"$work/exports"
printf '%s\n' DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer \
  | diff - "$work/exports" || fail "exports differ"
sed -n '/Export Address Table/,/Ordinal\/Name Pointer/p' "$work/headers" \
  | grep -cE '\+base\[\s*[1-4]\]' | grep -qx 4 || fail "ordinals are not 1 to 4"

system_dlls='^(ADVAPI32|KERNEL32|msvcrt|ole32|OLEAUT32|USER32|GDI32|SHELL32|api-ms-win-[a-z0-9-]+)\.dll$'
grep 'DLL Name:' "$work/headers" | awk '{print $3}' >"$work/imports"
if grep -viE "$system_dlls" "$work/imports"; then fail "imports a DLL that is not a system DLL"; fi

# IMAGE_DLLCHARACTERISTICS: DYNAMIC_BASE 0x40 and NX_COMPAT 0x100; HIGH_ENTROPY_VA 0x20 for 64-bit.
characteristics=$((16#$(awk '/^DllCharacteristics/ {print $2}' "$work/headers")))
if grep -q '^Magic.*020b' "$work/headers"; then wanted=$((0x160)); else wanted=$((0x140)); fi
(((characteristics & wanted) == wanted)) || fail "ASLR or DEP is off ($(printf 0x%x "$characteristics"))"

wrestool -l "$dll" >"$work/resources"
[[ $(grep -c -- '--type=3 ' "$work/resources") -eq 6 ]] || fail "not six icon images"
# Icon index 0 names the first icon group: it must be group 1.
[[ $(grep -m1 -- '--type=14 ' "$work/resources") == *"--type=14 --name=1 --language=1033"* ]] ||
  fail "the first icon group is not group 1/1033"

# The images in the file (tarnwick_badge_tool pins its bytes): 16-byte entries after a 6-byte
# header, each with its image's size at 8 and offset at 12.
for i in $(seq 1 6); do
  entry=$((6 + 16 * (i - 1)))
  size=$(od -An -tu4 -j$((entry + 8)) -N4 "$ico" | tr -d ' ')
  offset=$(od -An -tu4 -j$((entry + 12)) -N4 "$ico" | tr -d ' ')
  dd if="$ico" of="$work/file-$i" bs=1 skip="$offset" count="$size" status=none
  wrestool -x --raw --type=3 --name="$i" "$dll" >"$work/dll-$i"
  cmp -s "$work/file-$i" "$work/dll-$i" || fail "icon image $i differs from the default badge file"
  if [[ -n $other ]]; then
    wrestool -x --raw --type=3 --name="$i" "$other" >"$work/other-$i"
    cmp -s "$work/dll-$i" "$work/other-$i" || fail "icon image $i differs from $other"
  fi
done
