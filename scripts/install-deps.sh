#!/usr/bin/env bash
# Installs what building, running and testing Octile need, and nothing that is
# already there. Safe to run again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev libqt6svg6
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libjpeg62-turbo-dev libpng-dev libgif-dev
  fonts-noto-cjk
  xvfb xauth xdotool x11-utils
  xxd bsdextrautils
  # rsvg-convert renders the icons; cpack runs file and dpkg-shlibdeps
  librsvg2-bin dpkg-dev file
  # clang with the libFuzzer and sanitizer runtimes, and llvm-symbolizer, for fuzz/
  clang libclang-rt-14-dev llvm
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
