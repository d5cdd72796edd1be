#!/usr/bin/env bash
# The file page's benchmark: a disc of 100 000 and of 1 000 000 entries on
# velmora-faultfs, `find` beside the real wizard (offscreen) from Next on the
# target page to the shown tree, and its peak memory. Builds a release build
# of the programs it needs in build/release, then runs bench/filepage.py.
# Options go to filepage.py, e.g. --sizes 10000.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=../scripts/deps.sh
. "$root/scripts/deps.sh"
install_missing_packages "${BENCH_PACKAGES[@]}"

build="$root/build/release"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target velmora-faultfs velmora-cli filepage-bench filetree-memory >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-filepage-XXXXXX")
cleanup() {
  for m in "$work"/mnt-*; do
    if mountpoint -q "$m" 2>/dev/null; then fusermount3 -u "$m" || true; fi
  done
  rm -rf "$work"
}
trap cleanup EXIT

/usr/bin/python3 "$root/bench/filepage.py" --bin-dir "$build/bin" --work "$work" "$@"
