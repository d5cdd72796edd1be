#!/usr/bin/env bash
# check_package.sh DEB SOURCE
# The package's control fields and files, unpacked into a scratch root with
# dpkg-deb -x: everything under /usr, the programs stripped but with their
# versions, valid desktop entries, the icons in the hicolor theme, an
# AppStream entry that appstreamcli accepts without warnings and that points
# at the launcher's desktop entry, and manual pages without warnings, one
# naming every command and option `velmora-cli help` lists.
set -euo pipefail
deb=$1 src=$2
fail() { echo "FAIL: $*" >&2; exit 1; }

root=$(mktemp -d /tmp/velmora-package-root.XXXXXX)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
field() { dpkg-deb -f "$deb" "$1"; }

# Control fields: the libraries come from dpkg-shlibdeps, with versions.
[ "$(field Package)" = velmora-free ] || fail "Package: $(field Package)"
[ "$(field Version)" = 2.0.0.0 ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture: $(field Architecture)"
depends=$(field Depends)
for lib in libc6 libstdc++6 libqt6widgets6 libqt6network6 libzip4 libsqlite3-0 libudev1; do
  grep -Fq ", $lib (>= " <<<", $depends" || fail "Depends lacks $lib: $depends"
done
! grep -q fuse <<<"$depends" || fail "Depends names FUSE, which only the test file system uses: $depends"
[ "$(field Recommends)" = xdg-utils ] || fail "Recommends: $(field Recommends)"
echo "Depends: $depends"

# Every file under /usr, nothing elsewhere.
outside=$(cd "$root" && find . -mindepth 1 -maxdepth 1 ! -name usr)
[ -z "$outside" ] || fail "outside /usr: $outside"
for f in bin/VelmoraFree bin/VelmoraFreeLauncher bin/velmora-cli bin/settings.bin \
         share/applications/velmora-free.desktop share/applications/velmora-free-launcher.desktop \
         share/icons/hicolor/scalable/apps/velmora-free.svg \
         share/icons/hicolor/256x256/apps/velmora-free.png \
         share/doc/VelmoraFree/help/index.html share/doc/VelmoraFree/help/201.html \
         share/metainfo/io.example.VelmoraFree.metainfo.xml \
         share/man/man1/velmora-cli.1.gz share/man/man1/VelmoraFree.1.gz \
         share/doc/velmora-free/copyright share/doc/velmora-free/changelog.gz \
         share/lintian/overrides/velmora-free; do
  [ -f "$root/usr/$f" ] || fail "not in the package: /usr/$f"
done
! find "$root" -name 'velmora-faultfs*' | grep -q . || fail "the test file system is packaged"

# The programs: stripped, each with its own version note.
for p in VelmoraFree VelmoraFreeLauncher velmora-cli; do
  file -b "$root/usr/bin/$p" | grep -q ', stripped' || fail "$p is not stripped"
done
cli="$root/usr/bin/velmora-cli"
[ "$("$cli" version "$root/usr/bin/VelmoraFree")" = 2.0.0.0 ] || fail "VelmoraFree's version"
[ "$("$cli" version "$root/usr/bin/VelmoraFreeLauncher")" = 1.0.0.0 ] || fail "the launcher's version"
[ "$("$cli" version "$cli")" = 2.0.0.0 ] || fail "velmora-cli's version"

# Desktop entries and the icon they name, in both sizes of the hicolor theme.
apps="$root/usr/share/applications"
desktop-file-validate "$apps/velmora-free.desktop" "$apps/velmora-free-launcher.desktop"
icon=$(sed -n 's/^Icon=//p' "$apps/velmora-free-launcher.desktop")
file -b "$root/usr/share/icons/hicolor/256x256/apps/$icon.png" | grep -q 'PNG image data, 256 x 256' \
  || fail "no 256-pixel $icon.png in the hicolor theme"
grep -q '<svg' "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" || fail "no scalable $icon.svg"

# The AppStream entry: no warnings (the pedantic notes are printed), the
# launchable entry shipped, its icon, the package's version as the release,
# screenshots that the tree holds.
meta="$root/usr/share/metainfo/io.example.VelmoraFree.metainfo.xml"
appstreamcli validate --no-net --pedantic --explain "$meta"
appstreamcli validate-tree --no-net --pedantic "$root"
launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$meta")
[ -f "$apps/$launchable" ] || fail "the launchable desktop entry $launchable is not shipped"
grep -q "<icon type=\"stock\">$icon</icon>" "$meta" || fail "the AppStream icon is not $icon"
grep -q '<release version="2.0.0.0" date="[0-9-]*"' "$meta" || fail "no release 2.0.0.0"
shots=$(sed -n 's:.*<image>.*/\([^/]*\)</image>.*:\1:p' "$meta")
[ -n "$shots" ] || fail "no screenshots"
for s in $shots; do [ -f "$src/docs/screenshots/$s" ] || fail "screenshot $s is not in docs/screenshots"; done

# The manual pages: no warnings from man, one for each program (the
# launcher's a link to the wizard's), every command and option of
# `velmora-cli help` explained.
[ "$(readlink "$root/usr/share/man/man1/VelmoraFreeLauncher.1.gz")" = VelmoraFree.1.gz ] \
  || fail "the launcher's manual page is not a link to the wizard's"
for page in "$root"/usr/share/man/man1/*.1.gz; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >"$root/page.txt")
  [ -z "$warnings" ] || fail "man --warnings $(basename "$page"): $warnings"
done
LC_ALL=C.UTF-8 MANWIDTH=80 man -E UTF-8 -l "$root/usr/share/man/man1/velmora-cli.1.gz" >"$root/page.txt"
help=$("$cli" help)
words=$(grep -Eo '^  [a-z]+' <<<"$help"; grep -Eo '(--[a-z]+|/[a-z]+)' <<<"$help" | grep -v '^/$')
[ -n "$words" ] || fail "velmora-cli help lists nothing"
for w in help $words; do
  grep -Eq "(^|[^[:alnum:]/-])$w([^[:alnum:]]|$)" "$root/page.txt" || fail "the manual page does not explain $w"
done
for section in NAME SYNOPSIS DESCRIPTION OPTIONS 'EXIT STATUS' FILES; do
  grep -q "^$section\$" "$root/page.txt" || fail "the manual page has no $section"
done
echo "package contents: OK ($(du -k "$deb" | cut -f1) KiB, $(field Installed-Size) KiB installed)"
