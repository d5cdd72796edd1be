#!/bin/sh
# lintian_test.sh DEB: lintian finds no error and no warning; the overrides
# shipped in the package give the reason for each accepted one. Info and
# pedantic tags are printed, not failed on.
set -eu
lintian --fail-on error,warning --display-info --pedantic --show-overrides "$1"
echo "lintian: no errors, no warnings"
