#!/usr/bin/env bash
# Writes THIRD-PARTY-NOTICES.txt: what the shipped files carry from others, with their licences.
#   notices.sh OUT NSIS_SCRIPT NAME=LINK_MAP...
#
# The list is derived, not kept by hand. For each shipped binary, its link map names every
# archive and object the linker took in (the "Archive member included" section and the loaded
# objects); dpkg names the Debian package each came from. The installer carries the NSIS stub for
# its target and compressor and the plugins its script calls (NAME::Function). A file from a
# package this script does not know stops it, so a new dependency cannot ship unnoticed.
set -euo pipefail
out=$1
nsis_script=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)

# package -> component, for every package whose files may end up in what we ship.
component_of() {
  case $1 in
    gcc-mingw-w64-* | g++-mingw-w64-*) echo gcc ;;
    mingw-w64-*-dev) echo mingw-w64 ;;
    nsis-common | nsis) echo nsis ;;
    *) return 1 ;;
  esac
}

declare -A uses         # component -> "shipped file: archive, archive ..." lines
declare -A packages     # component -> "package version" list
winpthreads_used=0

origin() {  # the Debian package that installed a file
  dpkg -S "$(realpath "$1")" 2>/dev/null | head -n 1 | cut -d: -f1
}

note_package() {  # component package
  local version
  version=$(dpkg-query -W -f='${Version}' "$2")
  [[ " ${packages[$1]:-} " == *" $2 $version;"* ]] || packages[$1]+=" $2 $version;"
}

for pair in "$@"; do
  name=${pair%%=*}
  map=${pair#*=}
  # Archives a member was taken from ("/path/libx.a(member.o)" at a line's start) and the
  # startup objects loaded whole ("LOAD /path/crtbegin.o"), all from the system.
  mapfile -t inputs < <({
    grep -oE '^/usr/[^ ()]+\.(a|o)' "$map"
    sed -nE 's|^LOAD (/usr/[^ ]+\.o)$|\1|p' "$map"
  } | sort -u)
  declare -A by_component=()
  for input in "${inputs[@]}"; do
    package=$(origin "$input")
    if ! component=$(component_of "$package"); then
      echo "notices.sh: $name links $input from '${package:-no package}'; add its licence here" >&2
      exit 1
    fi
    note_package "$component" "$package"
    base=$(basename "$input")
    if [[ $base == libpthread.a || $base == libwinpthread.a ]]; then
      winpthreads_used=1
      base+=" (winpthreads)"
    fi
    by_component[$component]+=" $base"
  done
  for component in "${!by_component[@]}"; do
    uses[$component]+="$name:${by_component[$component]}"$'\n'
  done
  unset by_component
done

# The installer: its stub, as chosen by Target and SetCompressor, and the plugins it calls.
target=$(sed -nE 's/^\s*Target\s+(\S+).*/\1/p' "$nsis_script")
compressor=$(sed -nE 's/^\s*SetCompressor\s+(\/SOLID\s+)?(\S+).*/\2/p' "$nsis_script")
nsis_files=("/usr/share/nsis/Stubs/${compressor:-zlib}-$target")
# A plugin call is a statement of its own; "dll::Function" inside System::Call names a system DLL.
for plugin in $(grep -oE '^\s*[A-Za-z0-9_]+::' "$nsis_script" | sort -u | tr -d ': \t'); do
  nsis_files+=("/usr/share/nsis/Plugins/$target/$plugin.dll")
done
for file in "${nsis_files[@]}"; do
  [[ -f $file ]] || { echo "notices.sh: the installer needs $file, which is missing" >&2; exit 1; }
  package=$(origin "$file")
  component=$(component_of "$package")
  note_package "$component" "$package"
  uses[$component]+="the installer and its uninstaller: $(basename "$file")"$'\n'
done

licence_text() {
  case $1 in
    gcc)  # Only the exception applies to what GCC puts into our binaries.
      awk '/^GCC RUNTIME LIBRARY EXCEPTION/ {p = 1} p {print} /requirements of the license of GCC/ {exit}' \
        "/usr/share/doc/$2/copyright" ;;
    *) cat "/usr/share/doc/$2/copyright" ;;
  esac
}

title_of() {
  case $1 in
    gcc) echo "GCC runtime libraries (libgcc, libstdc++), under the GCC Runtime Library Exception" ;;
    mingw-w64) echo "mingw-w64 runtime and import libraries, with winpthreads" ;;
    nsis) echo "NSIS (Nullsoft Scriptable Install System) installer stub and plugins" ;;
  esac
}

{
  echo "Third-party notices"
  echo "==================="
  echo
  echo "Tarnwick is MIT-licensed (LICENSE.txt). The files it ships carry code from the software"
  echo "below, each under its own licence, reproduced here. The list was made from the link maps"
  echo "of the shipped binaries and from the installer script."
  for component in gcc mingw-w64 nsis; do
    [[ -n ${uses[$component]:-} ]] || continue
    echo
    echo
    echo "$(title_of "$component")"
    echo "$(title_of "$component" | tr '[:print:]' '-')"
    echo "From Debian packages:${packages[$component]%;}" | sed 's/;/,/g'
    echo "Used in:"
    sort -u <<<"${uses[$component]}" | sed '/^$/d; s/^/  /'
  done
  for component in gcc mingw-w64 nsis; do
    [[ -n ${uses[$component]:-} ]] || continue
    first_package=$(awk '{print $1; exit}' <<<"${packages[$component]}")
    echo
    echo
    echo "==== Licence: $(title_of "$component") ===="
    echo "(from /usr/share/doc/$first_package/copyright)"
    echo
    licence_text "$component" "$first_package"
    if [[ $component == mingw-w64 && $winpthreads_used == 1 ]]; then
      echo
      echo "==== Licence: winpthreads (mingw-w64-libraries/winpthreads/COPYING) ===="
      echo
      cat "$here/licenses/winpthreads.txt"
    fi
  done
} >"$out"
