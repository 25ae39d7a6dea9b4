#!/usr/bin/env bash
# Builds the native tree and the Windows deliverables into dist/, then runs them once under Wine.
source "$(dirname "$0")/scripts/common.sh"

scripts/install-deps.sh
configure_and_build native
# The 32-bit DLL first: the 64-bit tree packs it into the installer and the zip.
configure_and_build windows-x86
configure_and_build windows

rm -rf dist
mkdir -p dist/x86
cp build/windows/overlay/Tarnwick.dll build/windows/settings/TarnwickSettings.exe \
   build/windows/diag/TarnwickDiag.exe build/windows/installer/Tarnwick-*-setup.exe \
   build/windows/installer/Tarnwick-*-win64.zip dist/
cp build/windows-x86/overlay/Tarnwick.dll dist/x86/

scripts/smoke.sh
