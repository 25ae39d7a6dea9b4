#!/usr/bin/env bash
# Every test: native, native under ASan+UBSan, native under TSan, the fuzz targets for a bounded
# number of inputs each, and the 64-bit and 32-bit Windows builds under Wine in a private prefix
# booted fresh for this run. Ends with ctest's summary lines.
source "$(dirname "$0")/scripts/common.sh"

scripts/install-deps.sh

wine_state=$ROOT/build/windows/wine
trap 'scripts/wine-prefix.sh stop "$wine_state" >/dev/null 2>&1 || true' EXIT

failed=0
summaries=()
# The 32-bit tree first: the 64-bit one packs its DLL.
for preset in native native-asan native-tsan fuzz windows-x86 windows; do
  configure_and_build "$preset"
done
# Both Windows trees test in one prefix, booted here, once, before ctest starts test programs two
# at a time: the 32-bit tests check their registry view against the 64-bit one's.
scripts/wine-prefix.sh reset "$wine_state"
run_quiet wine-prefix scripts/wine-prefix.sh ensure "$wine_state"

for preset in native native-asan native-tsan fuzz windows windows-x86; do
  log=$ROOT/build/logs/test-$preset.log
  if ! ctest --preset "$preset" -j2 >"$log" 2>&1; then
    failed=1
    echo "FAILED: ctest --preset $preset" >&2
    sed -n '/The following tests FAILED/,$p' "$log" >&2
    grep -B2 -A25 -E '^\[  FAILED  \]|Failure$|ERROR: .*Sanitizer|WARNING: ThreadSanitizer|PROPERTY FAILED' "$log" \
      | head -n 120 >&2 || true
    echo "(whole log: $log)" >&2
  fi
  summaries+=("$preset: $(grep -E 'tests passed|tests failed' "$log" | tail -n 1)")
done

# The release, built again from a clean clone in another folder, must be the same bytes.
log=$ROOT/build/logs/reproducible.log
if ! packaging/tests/check_reproducible.sh >"$log" 2>&1; then
  failed=1
  echo "FAILED: packaging/tests/check_reproducible.sh" >&2
  tail -n 30 "$log" >&2
fi
summaries+=("reproducible: $(tail -n 1 "$log")")

printf '%s\n' "${summaries[@]}"
# One closing line over all runs.
read -r total failures < <(cat "$ROOT"/build/logs/test-*.log |
  sed -nE 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2 \1/p' |
  awk '{ total += $1; failures += $2 } END { print total + 0, failures + 0 }')
echo "$((total - failures)) passed, $failures failed"
exit $failed
