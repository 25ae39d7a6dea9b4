#!/usr/bin/env bash
# Builds the native tree and the Windows deliverables into dist/, then runs them once under Wine.
source "$(dirname "$0")/scripts/common.sh"

scripts/install-deps.sh
configure_and_build native
configure_and_build windows

rm -rf dist
mkdir -p dist
for file in build/windows/overlay/Tarnwick.dll build/windows/settings/TarnwickSettings.exe \
            build/windows/diag/TarnwickDiag.exe; do
  if [[ -f $file ]]; then cp "$file" dist/; fi
done

scripts/smoke.sh
