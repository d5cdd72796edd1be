#!/usr/bin/env bash
# Benchmark of the copier against dd and GNU ddrescue on a damaged "disc"
# (velmora-faultfs). Builds a release build of the programs it needs in
# build/release, installs missing tools, then runs bench/bench.py.
# Options (or BENCH_* variables) go to bench.py, e.g. --size-mib 16 --bad 10.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=../scripts/deps.sh
. "$root/scripts/deps.sh"
install_missing_packages "${BENCH_PACKAGES[@]}"

build="$root/build/release"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target velmora-cli velmora-faultfs >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-bench-XXXXXX")
cleanup() {
  if mountpoint -q "$work/mnt" 2>/dev/null; then fusermount3 -u "$work/mnt" || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# The system's python3, not one a user's environment puts first.
/usr/bin/python3 "$root/bench/bench.py" --bin-dir "$build/bin" --work "$work" "$@"
