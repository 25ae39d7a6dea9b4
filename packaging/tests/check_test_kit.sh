#!/usr/bin/env bash
# The Windows test kit as a maintainer gets it, under Wine: unpacked into a fresh prefix where its
# Sandbox file expects it, and run-tests.cmd run by Wine's cmd, with the removable and network
# drives given as on Windows a caller may give them (Wine's net use makes none) and the second
# fixed drive left to the kit (Wine's subst makes none either, so its cases are skipped).
#  - The run passes: exit code 0, every test program of the manifest run, its JUnit XML written,
#    and the closing "N passed, 0 failed, K skipped" line agreeing with the XML files' own cases.
#  - The prefix is left as it was: another vendor's overlay handler in both registry views, the
#    user's Tarnwick settings and badge.ico, all there before, are there after, byte for byte;
#    nothing else of Tarnwick, and no file of the run outside the kit and its results.
#  - With a deliverable missing, the kit fails at once, names the file and runs nothing.
#  - The Sandbox file is well-formed XML made of the elements Windows Sandbox documents, and
#    runs the kit where it maps it.
#   check_test_kit.sh STATE KIT_ZIP
set -euo pipefail
state=$(realpath -m "$1")
kit_zip=$(realpath "$2")
scripts=$(cd "$(dirname "$0")/../../scripts" && pwd)
wine64=/usr/lib/wine/wine64

"$scripts/wine-prefix.sh" reset "$state"
"$scripts/wine-prefix.sh" ensure "$state"
trap '"$scripts/wine-prefix.sh" stop "$state" >/dev/null 2>&1 || true' EXIT
# shellcheck source=/dev/null
source "$state/env"
unset TARNWICK_TEST_FIXED_DRIVE
drive_c=$WINEPREFIX/drive_c
out=$state/out
mkdir -p "$out"
kit=$drive_c/Tarnwick-tests/kit
results=$drive_c/Tarnwick-tests/results
mkdir -p "$kit" "$results"
unzip -q "$kit_zip" -d "$kit"

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Output through files: a Wine started here may hold a pipe open for as long as it runs.
wine_quiet() { "$wine64" "$@" >/dev/null 2>&1 9>&- </dev/null; }

python3 - "$kit/Tarnwick-tests.wsb" <<'PY' || fail "Tarnwick-tests.wsb"
import re, sys, xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
documented = {"vGPU", "VGpu", "Networking", "MappedFolders", "LogonCommand", "AudioInput",
              "VideoInput", "ProtectedClient", "PrinterRedirection", "ClipboardRedirection",
              "MemoryInMB"}
problems = []
if root.tag != "Configuration":
    problems.append("root is " + root.tag)
problems += ["undocumented <%s>" % e.tag for e in root if e.tag not in documented]
maps = {}
for folder in root.iterfind("MappedFolders/MappedFolder"):
    fields = {e.tag: (e.text or "").strip() for e in folder}
    if set(fields) - {"HostFolder", "SandboxFolder", "ReadOnly"} or "HostFolder" not in fields:
        problems.append("MappedFolder with %s" % sorted(fields))
        continue
    if fields.get("ReadOnly", "false") not in ("true", "false"):
        problems.append("ReadOnly " + fields["ReadOnly"])
    for path in (fields["HostFolder"], fields.get("SandboxFolder", "C:\\")):
        if not re.fullmatch(r"[A-Z]:\\[^<>\"|?*]*", path):
            problems.append("not an absolute path: " + path)
    maps[fields.get("SandboxFolder")] = fields.get("ReadOnly", "false")
commands = [e.text for e in root.iterfind("LogonCommand/Command")]
if len(commands) != 1 or len(list(root.iterfind("LogonCommand/*"))) != 1:
    problems.append("LogonCommand needs exactly one Command")
else:
    run = re.search(r"(\S+)\\run-tests\.cmd (\S+)", commands[0])
    if not run or maps.get(run.group(1)) != "true" or maps.get(run.group(2)) != "false":
        problems.append("the command does not run the read-only kit into a writable results folder")
for problem in problems:
    print("Tarnwick-tests.wsb:", problem, file=sys.stderr)
sys.exit(1 if problems else 0)
PY

# What the machine had before: another vendor's overlay handler, the user's settings and icon.
overlays='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\ShellIconOverlayIdentifiers'
for view in 64 32; do
  wine_quiet reg add "$overlays\\ OtherVendor" /ve /d '{11111111-2222-3333-4444-555555555555}' \
    /f /reg:$view
done
wine_quiet reg add 'HKCU\Software\Tarnwick' /v BadgeColor /t REG_DWORD /d 255 /f
mkdir -p "$drive_c/users/root/AppData/Roaming/Tarnwick"
head -c 300 /dev/urandom >"$drive_c/users/root/AppData/Roaming/Tarnwick/badge.ico"
snapshot() {  # FOLDER: the registry keys and the files the kit must leave as it found them
  mkdir -p "$1"
  wine_quiet reg export "$overlays" 'C:\snap64.reg' /y /reg:64
  wine_quiet reg export "$overlays" 'C:\snap32.reg' /y /reg:32
  wine_quiet reg export 'HKCU\Software\Tarnwick' 'C:\settings.reg' /y
  local export
  for export in snap64 snap32 settings; do  # UTF-16 as exported; as text, a difference reads
    iconv -f UTF-16 -t UTF-8 "$drive_c/$export.reg" | tr -d '\r' >"$1/$export.reg"
    rm "$drive_c/$export.reg"
  done
  (cd "$drive_c" && find . -path ./windows -prune -o -path ./Tarnwick-tests -prune -o -print |
    LC_ALL=C sort) >"$1/files"
  cp "$drive_c/users/root/AppData/Roaming/Tarnwick/badge.ico" "$1/"
}
snapshot "$out/before"

run_kit() {  # LOG: run-tests.cmd's output; its exit code
  local code=0
  timeout 1500 "$wine64" cmd /c 'C:\Tarnwick-tests\kit\run-tests.cmd' >"$1" 2>&1 9>&- </dev/null ||
    code=$?
  tr -d '\r' <"$1" >"$1.txt"
  return $code
}

code=0
run_kit "$out/run.log" || code=$?
cat "$out/run.log.txt"
[[ $code -eq 0 ]] || fail "run-tests.cmd exited with $code"
snapshot "$out/after"
for file in snap64.reg snap32.reg settings.reg files badge.ico; do
  cmp -s "$out/before/$file" "$out/after/$file" ||
    fail "the run changed $file: $(diff "$out/before/$file" "$out/after/$file" | head -n 5)"
done
for key in 'HKLM\SOFTWARE\Classes\CLSID\{493A8F22-3B3F-43E4-BF53-725A89A44434}' \
           'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Tarnwick'; do
  for view in 64 32; do
    if wine_quiet reg query "$key" /reg:$view; then fail "left behind: $key ($view-bit)"; fi
  done
done

# Every test program run, and the counts of its XML files those of the closing line.
closing=$(tail -n 1 "$out/run.log.txt")
python3 - "$kit/kit-manifest.txt" "$results" "$closing" <<'PY' || fail "the results"
import os, re, sys, xml.etree.ElementTree as ET
manifest, results, closing = sys.argv[1:4]
counts = {"passed": 0, "failed": 0, "skipped": 0}
problems = []
skipped = []
for line in open(manifest, encoding="utf-8"):
    kind, _, path = line.strip().partition(" ")
    if kind not in ("test64", "test32"):
        continue
    arch = "x64" if kind == "test64" else "x86"
    name = os.path.splitext(os.path.basename(path.replace("\\", "/")))[0]
    report = os.path.join(results, arch, name + ".xml")
    if not os.path.exists(report):
        problems.append("no JUnit XML for %s %s" % (arch, name))
        continue
    for case in ET.parse(report).getroot().iter("testcase"):
        if case.find("failure") is not None:
            counts["failed"] += 1
        elif case.get("result") == "skipped" or case.find("skipped") is not None:
            counts["skipped"] += 1
            skipped.append("%s %s.%s" % (arch, case.get("classname"), case.get("name")))
        else:
            counts["passed"] += 1
expected = "{passed} passed, {failed} failed, {skipped} skipped".format(**counts)
if closing != expected:
    problems.append("closing line %r, the XML files say %r" % (closing, expected))
if not any("fixed" in case for case in skipped):
    problems.append("the second fixed drive's cases were not skipped: %s" % skipped)
for problem in problems:
    print(problem, file=sys.stderr)
sys.exit(1 if problems else 0)
PY
for arch in x64 x86; do
  grep -q 'Ratio' "$results/timing-$arch.txt" || fail "no timing figures of the $arch build"
done

# Kept for a look at a failure: the next run empties the results folder first.
cp -r "$results" "$out/results"
for log in "$out"/results/*/*.log; do
  if grep -q '^\[  FAILED  \]' "$log"; then
    echo "--- $log" >&2
    grep -B1 -A10 'Failure$' "$log" | head -n 40 >&2 || true
  fi
done

# A kit without one of the deliverables: it says which, and runs nothing.
rm "$kit/release/TarnwickDiag.exe"
code=0
run_kit "$out/broken.log" || code=$?
[[ $code -eq 2 ]] || fail "the broken kit exited with $code, not 2"
grep -qF 'MISSING release\TarnwickDiag.exe' "$out/broken.log.txt" ||
  fail "the broken kit did not name the missing file"
if grep -q 'Test programs' "$out/broken.log.txt" || [[ -e $results/x64 ]]; then
  fail "the broken kit ran tests"
fi

if [[ $failures -ne 0 ]]; then
  echo "$failures checks failed (logs in $out)" >&2
  exit 1
fi
echo "Test kit: passed under Wine, machine left as found, broken kit refused."
