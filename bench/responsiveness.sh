#!/usr/bin/env bash
# The wizard's responsiveness on the sample disc with failed reads of 8 s:
# accessibility query latency during a save, and closes at random moments of
# a save that must always cancel it. Builds the release build in build/ (as
# run.sh does), then runs bench/responsiveness.py in a session of its own.
# Options go to responsiveness.py, e.g. --tries 5 --fail-delay-s 4.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=../scripts/deps.sh
. "$root/scripts/deps.sh"
install_missing_packages "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

build="$root/build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target VelmoraFree velmora-faultfs >/dev/null
"$root/scripts/sample-disc.sh" "$build/sample-disc"

work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-responsiveness-XXXXXX")
cleanup() {
  if mountpoint -q "$work/disc" 2>/dev/null; then fusermount3 -u "$work/disc" || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

"$root/tests/e2e/xsession.sh" /usr/bin/python3 "$root/bench/responsiveness.py" \
  --bin-dir "$build/bin" --sample "$build/sample-disc" --work "$work" "$@"
