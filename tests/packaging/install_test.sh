#!/usr/bin/env bash
# install_test.sh DEB SOURCE BUILD
# A real install of the package with apt-get, as a user does it: the launcher
# started from /usr/bin on a fresh Xvfb, with no InstallPath recorded and the
# sample damaged disc mounted, starts the wizard from /usr/bin, which lists
# the disc. Then apt-get purge, after which nothing of the package is left
# under /usr. The package is purged on every way out. Needs root, as CI has.
set -euo pipefail
deb=$(realpath "$1") src=$2 build=$3
if [ "$(id -u)" -ne 0 ]; then
  echo "package_install: skipped: installing a package needs root (CI runs as root)"
  exit 77
fi
pkg=$(dpkg-deb -f "$deb" Package)
export DEBIAN_FRONTEND=noninteractive

# Files of the same names that no package owns would be overwritten by the
# install and removed by the purge.
for f in /usr/bin/VelmoraFree /usr/bin/VelmoraFreeLauncher /usr/bin/velmora-cli; do
  if [ -e "$f" ] && ! dpkg -S "$f" >/dev/null 2>&1; then
    echo "FAIL: $f exists and belongs to no package; remove it before this test" >&2
    exit 1
  fi
done

work=$(mktemp -d /tmp/velmora-package-install.XXXXXX)
mnt="$work/disc"
cleanup() {
  fusermount3 -u -q "$mnt" 2>/dev/null || true
  apt-get -o DPkg::Lock::Timeout=300 purge -y -qq "$pkg" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
# A package left installed by an interrupted run goes first.
apt-get -o DPkg::Lock::Timeout=300 purge -y -qq "$pkg" >/dev/null 2>&1 || true
find /usr -iname '*velmora*' | sort >"$work/before"

apt-get -o DPkg::Lock::Timeout=300 install -y -qq "$deb"
dpkg-query -W -f='${Status}\n' "$pkg" | grep -qx 'install ok installed'
dpkg-query -L "$pkg" >"$work/files"
[ -x /usr/bin/VelmoraFreeLauncher ] && [ -x /usr/bin/VelmoraFree ] && [ -x /usr/bin/velmora-cli ]
[ "$(velmora-cli version /usr/bin/VelmoraFree)" = 2.0.0.0 ]
man -w velmora-cli | grep -q '^/usr/share/man/man1/velmora-cli.1.gz$'

# The sample damaged disc, mounted by the test file system of the build.
"$src/scripts/sample-disc.sh" "$build/sample-disc"
mkdir -p "$mnt"
"$build/bin/velmora-faultfs" --image "$build/sample-disc/sample.iso" \
  --faults "$build/sample-disc/faults" -o subtype=iso9660 -o fsname=velmora-sample-disc \
  "$build/sample-disc/files" "$mnt"
"$src/tests/e2e/xsession.sh" /usr/bin/python3 "$src/tests/packaging/package_e2e.py" \
  --launcher /usr/bin/VelmoraFreeLauncher --disc "$mnt"
fusermount3 -u "$mnt"

apt-get -o DPkg::Lock::Timeout=300 purge -y -qq "$pkg"
if dpkg-query -W -f='${Status}\n' "$pkg" 2>/dev/null | grep -q installed; then
  echo "FAIL: $pkg is still installed" >&2
  exit 1
fi
# Every file of the package is gone, and every folder no other package owns.
left=0
while IFS= read -r p; do
  [ -e "$p" ] || [ -L "$p" ] || continue
  if [ -d "$p" ] && [ ! -L "$p" ] && dpkg -S "$p" >/dev/null 2>&1; then continue; fi
  echo "left after the purge: $p" >&2
  left=1
done <"$work/files"
find /usr -iname '*velmora*' | sort >"$work/after"
if ! diff -u "$work/before" "$work/after" >&2; then left=1; fi
[ "$left" -eq 0 ] || { echo "FAIL: the purge left files under /usr" >&2; exit 1; }
echo "package install and purge: OK"
