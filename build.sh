#!/usr/bin/env bash
# Builds the native tree and the Windows deliverables into dist/, then runs them once under Wine.
source "$(dirname "$0")/scripts/common.sh"

scripts/install-deps.sh
configure_and_build native
configure_and_build windows

rm -rf dist
mkdir -p dist
cp build/windows/overlay/Tarnwick.dll build/windows/settings/TarnwickSettings.exe \
   build/windows/diag/TarnwickDiag.exe build/windows/installer/Tarnwick-*-setup.exe \
   build/windows/installer/Tarnwick-*-win64.zip dist/

scripts/smoke.sh
