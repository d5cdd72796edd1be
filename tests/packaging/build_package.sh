#!/bin/sh
# build_package.sh SOURCE BUILD: builds the Debian package from the release
# build BUILD (configured as test.sh does it) with CPack.
set -eu
src=$1 build=$2
cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELMORA_WERROR=ON \
  -DVELMORA_TESTS=OFF >/dev/null
rm -f "$build"/velmora-free_*.deb
cmake --build "$build" -j"$(nproc)" --target package
