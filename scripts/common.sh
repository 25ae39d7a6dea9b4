# Shared by build.sh and test.sh: quiet steps that show their log only when they fail.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT=$PWD
mkdir -p "$ROOT/build/logs"

# run_quiet NAME COMMAND...: the command's output goes to build/logs/NAME.log, shown on failure.
run_quiet() {
  local name=$1
  shift
  local log=$ROOT/build/logs/$name.log
  if ! "$@" >"$log" 2>&1; then
    echo "FAILED: $name ($*)" >&2
    tail -n 60 "$log" >&2
    echo "(whole log: $log)" >&2
    return 1
  fi
}

configure_and_build() {
  local preset=$1
  run_quiet "configure-$preset" cmake --preset "$preset"
  run_quiet "build-$preset" cmake --build --preset "$preset"
}
