#!/bin/sh
# cmake --install of the launcher's component into a temporary prefix: the
# program, the shipped settings copy beside it, a valid desktop entry and the icon.
set -eu
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" --component launcher >/dev/null
for f in bin/VelmoraFreeLauncher bin/settings.bin share/applications/velmora-free-launcher.desktop \
         share/icons/hicolor/scalable/apps/velmora-free.svg; do
  [ -f "$prefix/$f" ] || { echo "missing: $f"; exit 1; }
done
[ -x "$prefix/bin/VelmoraFreeLauncher" ] || { echo "launcher not executable"; exit 1; }
desktop-file-validate "$prefix/share/applications/velmora-free-launcher.desktop"
grep -q '^Exec=VelmoraFreeLauncher$' "$prefix/share/applications/velmora-free-launcher.desktop"
# The shipped copy opens only with the archive password.
unzip -p -P pelvin_Quorat "$prefix/bin/settings.bin" settings.xml | grep -q 'Name="Velmora Free"'
if unzip -p -P wrong "$prefix/bin/settings.bin" settings.xml >/dev/null 2>&1; then
  echo "settings.bin opens without the archive password"; exit 1
fi
echo "installed: OK"
