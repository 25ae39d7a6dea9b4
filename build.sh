#!/usr/bin/env bash
# Builds the native tree and the Windows deliverables, packs the release into dist/ (signed when
# TARNWICK_SIGN_PKCS12 is set: docs/release.md), then runs it once under Wine.
source "$(dirname "$0")/scripts/common.sh"

# A failed build leaves no dist/ at all rather than an older or half-signed one.
rm -rf dist
scripts/install-deps.sh
configure_and_build native
# The 32-bit DLL first: the 64-bit tree packs it into the release.
configure_and_build windows-x86
configure_and_build windows
grep -E '^(Not signing|Signing)' "$ROOT/build/logs/build-windows.log" | tail -n 1 || true

cp -r build/windows/packaging/dist dist
scripts/smoke.sh
