#!/usr/bin/env bash
# Runs every test of a build folder: core, command line and Qt tests.
set -euo pipefail
build="${1:-build}"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
cd "$build"
ctest --output-on-failure -j "$(nproc)"
