#!/usr/bin/env bash
# Checks the Debian package that `make package` built: lintian must report no
# error and no warning, and appstreamcli must accept the AppStream metadata.
# Installs lintian and appstream first when they are missing.
#
# usage: scripts/lint-package.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"

missing=()
command -v lintian >/dev/null || missing+=(lintian)
command -v appstreamcli >/dev/null || missing+=(appstream)
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

deb="$(ls -t "$build"/octile_*.deb 2>/dev/null | head -n 1 || true)"
if [ -z "$deb" ]; then
  echo "lint-package: no package in $build; run make package" >&2
  exit 2
fi
echo "lint-package: $deb"
# Root is how CI and the development machine run; lintian only warns of it.
lintian --fail-on error,warning --tag-display-limit 0 "$deb" 2> >(grep -v "root privileges" >&2)
appstreamcli validate --no-net "$root/resources/octile.metainfo.xml"
echo "lint-package: ok"
