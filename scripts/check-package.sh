#!/usr/bin/env bash
# Checks the Debian package on a fresh Debian 12: makes a bookworm minbase root
# with debootstrap, installs the package there with apt-get (without
# recommended packages, so that the declared dependencies alone must do),
# runs both programs, validates the desktop entry, then purges the package and
# checks that none of its files is left. Needs root and the network; not part
# of `make test`. The root is removed at the end.
#
# usage: scripts/check-package.sh [octile_VERSION_ARCH.deb]
#   MIRROR=URL   Debian mirror (default: the one apt uses here)
#   KEEP_ROOT=1  leave the root in place (for a look after a failure)
set -euo pipefail

deb="${1:-}"
if [ -z "$deb" ]; then
  deb="$(ls -t build/octile_*.deb 2>/dev/null | head -n 1 || true)"
fi
if [ -z "$deb" ] || [ ! -f "$deb" ]; then
  echo "check-package: no package; run make package or name the .deb" >&2
  exit 2
fi
deb="$(realpath "$deb")"
if [ "$(id -u)" -ne 0 ]; then
  echo "check-package: needs root (debootstrap, chroot, mount)" >&2
  exit 2
fi

step() { printf '\n== %s\n' "$*"; }
fail() { printf 'check-package: FAILED: %s\n' "$*" >&2; exit 1; }

# The mirror apt uses here: the first archive URI ending in /debian of a line
# that is not a comment, from one-line and deb822 sources alike.
if [ -z "${MIRROR:-}" ]; then
  MIRROR="$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
              /etc/apt/sources.list.d/*.sources 2>/dev/null |
            grep -v '^[[:space:]]*#' |
            grep -oE 'https?://[^[:space:]]*/debian/?([[:space:]]|$)' |
            head -n 1 | tr -d '[:space:]' || true)"
  MIRROR="${MIRROR%/}"
  MIRROR="${MIRROR:-http://deb.debian.org/debian}"
fi

for tool in debootstrap chroot mount; do
  command -v "$tool" >/dev/null || fail "$tool is missing (apt-get install debootstrap)"
done

root="$(mktemp -d /var/tmp/octile-check.XXXXXX)"
chmod 755 "$root"  # the root directory of the new system

# Processes still running in the root, found by their root directory.
stop_root_processes() {
  local p
  for p in /proc/[0-9]*; do
    if [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ]; then
      kill "${p#/proc/}" 2>/dev/null || true
    fi
  done
}

cleanup() {
  stop_root_processes
  # Unmount what lies inside the root, deepest first.
  local m
  for m in $(awk -v r="$root" 'index($2, r "/") == 1 { print $2 }' /proc/mounts | sort -r); do
    umount "$m" || umount -l "$m" || true
  done
  if [ "${KEEP_ROOT:-0}" = 1 ]; then
    echo "check-package: root kept in $root"
  elif ! awk -v r="$root" 'index($2, r "/") == 1 { found = 1 } END { exit !found }' /proc/mounts; then
    rm -rf --one-file-system "$root"
  else
    echo "check-package: $root still has mounts; not removed" >&2
  fi
}
trap cleanup EXIT

in_root() {
  chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive HOME=/tmp/check/home XDG_RUNTIME_DIR=/tmp/check/run "$@"
}

# Every path of the root, less what changes whatever is installed: package
# manager state, caches of apt, logs, temporary and virtual file systems.
snapshot() {
  in_root find / -xdev \( -path /proc -o -path /sys -o -path /dev -o -path /run -o -path /tmp \
      -o -path /var/tmp -o -path /var/log -o -path /var/lib/apt -o -path /var/lib/dpkg \
      -o -path /var/cache/apt -o -path /var/cache/debconf -o -path /var/cache/ldconfig \) \
      -prune -o -print | LC_ALL=C sort
}

step "debootstrap bookworm (minbase) from $MIRROR into $root"
debootstrap --variant=minbase bookworm "$root" "$MIRROR" >"$root.debootstrap.log" 2>&1 ||
  { tail -n 20 "$root.debootstrap.log"; rm -f "$root.debootstrap.log"; fail "debootstrap"; }
tail -n 1 "$root.debootstrap.log"
rm -f "$root.debootstrap.log"

mount -t proc proc "$root/proc"
mount -t sysfs sysfs "$root/sys"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
cp /etc/resolv.conf "$root/etc/resolv.conf"
# A fresh installation's sources: the release, its updates and security.
cat >"$root/etc/apt/sources.list" <<EOF
deb $MIRROR bookworm main
deb $MIRROR bookworm-updates main
deb ${MIRROR}-security bookworm-security main
EOF
# Services of packages are not started in the root.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"
mkdir -p "$root/tmp/check/home" "$root/tmp/check/run"
chmod 700 "$root/tmp/check/run"
cp "$deb" "$root/tmp/check/"
debname="$(basename "$deb")"

in_root apt-get update -qq
before_install="$(snapshot)"

step "apt-get install --no-install-recommends ./$debname"
in_root apt-get install -y -q --no-install-recommends "/tmp/check/$debname" >"$root/tmp/check/install.log" 2>&1 ||
  { cat "$root/tmp/check/install.log"; fail "apt-get install"; }
grep -E 'newly installed' "$root/tmp/check/install.log" || true
in_root dpkg-query -W -f='${Package} ${Version} ${Status}\n' octile
in_root dpkg-query -W -f='Depends: ${Depends}\n' octile
files="$(in_root dpkg -L octile | LC_ALL=C sort)"

step "libraries of every program and plug-in (ldd)"
for f in $(in_root find /usr/libexec/octile -type f \( -perm -u+x -o -name '*.spi' \)); do
  out="$(in_root ldd "$f")"
  if grep -q 'not found' <<<"$out"; then
    echo "$out"
    fail "$f: missing libraries"
  fi
  printf '%s: %s libraries, none missing\n' "$f" "$(grep -c '=>' <<<"$out")"
done

step "octile-cli through /usr/bin"
in_root ls -l /usr/bin/octile /usr/bin/octile-cli
printf 'Octile \x82\xa0\x82\xa2\x00\x01\x02\xff' >"$root/tmp/check/sample.bin"
in_root /usr/bin/octile-cli dump /tmp/check/sample.bin || fail "octile-cli dump"
# The picture command loads the plug-ins from the program folder, which the
# program finds through the link in /usr/bin.
in_root /usr/bin/octile-cli picture /usr/share/icons/hicolor/48x48/apps/octile.png 1 \
  /tmp/check/icon.bmp || fail "octile-cli picture (plug-ins)"
in_root /usr/bin/octile-cli --help >/dev/null || fail "octile-cli --help"
for page in octile octile-cli; do
  gzip -t "$root/usr/share/man/man1/$page.1.gz" || fail "man page of $page"
  zcat "$root/usr/share/man/man1/$page.1.gz" | grep -q '^\.TH' || fail "man page of $page"
done
test -f "$root/etc/octile/octile.ini" || fail "the template under /etc"
grep -qx '/etc/octile/octile.ini' "$root/var/lib/dpkg/info/octile.conffiles" || fail "conffile"
echo "man page: $(zcat "$root/usr/share/man/man1/octile-cli.1.gz" | grep -c '^\.SH') sections"

step "tools for the remaining checks: desktop-file-utils xvfb xauth x11-utils"
in_root apt-get install -y -q --no-install-recommends desktop-file-utils xvfb xauth x11-utils \
  >"$root/tmp/check/tools.log" 2>&1 || { cat "$root/tmp/check/tools.log"; fail "tools"; }

step "desktop-file-validate /usr/share/applications/octile.desktop"
in_root desktop-file-validate /usr/share/applications/octile.desktop ||
  fail "desktop entry does not validate"
echo "valid"

step "the desktop entry's command, on a file, under Xvfb"
exec_line="$(sed -n 's/^Exec=//p' "$root/usr/share/applications/octile.desktop")"
command="${exec_line//%f//tmp/check/sample.bin}"
echo "Exec=$exec_line -> $command"
# The editor's window must appear with the file's name in its title.
in_root timeout 120 xvfb-run -a -s '-screen 0 1280x1024x24' sh -c '
  '"$command"' &
  pid=$!
  i=0
  while [ $i -lt 60 ]; do
    if xwininfo -root -tree | grep -F "sample.bin"; then found=1; break; fi
    kill -0 $pid 2>/dev/null || break
    sleep 0.5
    i=$((i + 1))
  done
  kill $pid 2>/dev/null
  wait $pid 2>/dev/null
  [ -n "$found" ]' || fail "no editor window appeared"

step "apt-get purge octile"
# What the editor wrote for the user (settings) is not the package's.
rm -rf "$root/tmp/check/home" "$root/tmp/check/icon.bmp"
installed="$(snapshot)"
in_root apt-get purge -y -q octile >"$root/tmp/check/purge.log" 2>&1 ||
  { cat "$root/tmp/check/purge.log"; fail "apt-get purge"; }
grep -E '^(Purg|Removing)' "$root/tmp/check/purge.log" || true
in_root dpkg-query -W octile 2>/dev/null && fail "octile is still known to dpkg"
purged="$(snapshot)"

appeared="$(comm -13 <(echo "$installed") <(echo "$purged"))"
[ -z "$appeared" ] || { echo "$appeared"; fail "the purge created files"; }
removed="$(comm -23 <(echo "$installed") <(echo "$purged"))"
left="$(comm -12 <(echo "$files") <(echo "$purged") | while read -r p; do
  # Directories shared with other packages stay.
  [ -d "$root$p" ] && [ ! -L "$root$p" ] && in_root dpkg -S "$p" >/dev/null 2>&1 && continue
  echo "$p"
done)"
[ -z "$left" ] || { echo "$left"; fail "files of the package are left"; }
stray="$(in_root find / -xdev \( -path /proc -o -path /sys -o -path /dev -o -path /tmp \) -prune \
         -o -iname '*octile*' -print)"
[ -z "$stray" ] || { echo "$stray"; fail "paths named octile are left"; }
echo "removed $(grep -c . <<<"$removed") paths, $(grep -c . <<<"$files") listed by dpkg -L octile;" \
     "nothing added; no path named octile left"

step "apt-get purge of the check tools, then autoremove --purge: back to the fresh root?"
in_root apt-get purge -y -q desktop-file-utils xvfb xauth x11-utils >/dev/null 2>&1
in_root apt-get autoremove --purge -y -q >"$root/tmp/check/autoremove.log" 2>&1 ||
  { cat "$root/tmp/check/autoremove.log"; fail "autoremove"; }
final="$(snapshot)"
if diff <(echo "$before_install") <(echo "$final"); then
  echo "same paths as before the installation"
else
  fail "the root differs from its state before the installation"
fi

step "all checks passed for $debname"
