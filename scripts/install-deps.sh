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
  # Qt's own texts (message box buttons, file and colour dialogs) in Japanese
  qt6-translations-l10n
  xvfb xauth xdotool x11-utils openbox
  xxd bsdextrautils
  # rsvg-convert renders the icons; cpack runs file and dpkg-shlibdeps
  librsvg2-bin dpkg-dev file
  # clang with the libFuzzer and sanitizer runtimes, and llvm-symbolizer, for fuzz/
  clang libclang-rt-14-dev llvm
  # CI's checks: the layers of the core (tools/check_layers.py) and the format
  python3 clang-format
)

# One dpkg-query for the whole list. It prints a line for every package dpkg
# knows (one per architecture for multi-arch ones) and exits non-zero when
# some name is unknown to it: those, like the ones not installed, are missing.
declare -A installed=()
while read -r name status; do
  if [ "$status" = installed ]; then installed[$name]=1; fi
done < <(dpkg-query -W -f='${Package} ${db:Status-Status}\n' "${packages[@]}" 2>/dev/null || true)

missing=()
for p in "${packages[@]}"; do
  if [ -z "${installed[$p]:-}" ]; then missing+=("$p"); fi
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
