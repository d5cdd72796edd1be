#!/bin/sh
# unpacked_e2e.sh DEB SOURCE: unpacks the package into a scratch root with
# dpkg-deb -x and drives the wizard found there on an Xvfb of its own.
set -eu
deb=$1 src=$2
root=$(mktemp -d /tmp/velmora-package-unpacked.XXXXXX)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
"$src/tests/e2e/xsession.sh" /usr/bin/python3 "$src/tests/packaging/package_e2e.py" \
  --wizard "$root/usr/bin/VelmoraFree"
