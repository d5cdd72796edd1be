#!/usr/bin/env bash
# Installs what is missing (Debian 12), builds the programs into build/ and
# starts the launcher, as a user's menu entry does: it checks the product site
# for a newer version and starts the recovery wizard beside it. Needs a
# graphical desktop session.
set -euo pipefail
cd "$(dirname "$0")"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: no display: Velmora Free is a desktop program. Start it from a graphical" >&2
  echo "session (or set DISPLAY), or run ./test.sh to build and test it headless." >&2
  exit 1
fi

source scripts/deps.sh
install_missing_packages "${RUN_PACKAGES[@]}"

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)" --target VelmoraFree VelmoraFreeLauncher velmora-faultfs

# Without a disc in a drive, the sample damaged disc stands in for one.
if [ -n "$(findmnt -rn -t iso9660,udf -o TARGET 2>/dev/null)" ]; then
  echo "run.sh: a disc is in a drive; the sample disc is not mounted."
  exec build/bin/VelmoraFreeLauncher
fi
sample=build/sample-disc
scripts/sample-disc.sh "$sample"
mount_point="${XDG_RUNTIME_DIR:-/tmp}/velmora-sample-disc.$$"
mkdir -p "$mount_point"
unmount_sample() {
  fusermount3 -u "$mount_point" 2>/dev/null || true
  rmdir "$mount_point" 2>/dev/null || true
}
trap unmount_sample EXIT
trap 'exit 130' INT TERM
# VELMORA_SAMPLE_DELAY_US slows every read like a slow drive, to watch the progress;
# VELMORA_SAMPLE_FAIL_DELAY_US makes each failed read take that long instead, as a
# drive retrying a bad sector does (seconds on real drives).
build/bin/velmora-faultfs --image "$sample/sample.iso" --faults "$sample/faults" \
  --read-delay-us "${VELMORA_SAMPLE_DELAY_US:-0}" \
  --fail-delay-us "${VELMORA_SAMPLE_FAIL_DELAY_US:-0}" -o subtype=iso9660 \
  -o fsname=velmora-sample-disc "$sample/files" "$mount_point"
echo "run.sh: mounted the sample damaged disc (VELMORA_SAMPLE, read-only, a few bad sectors in"
echo "        two files) at $mount_point; it is unmounted when Velmora Free ends."
build/bin/VelmoraFreeLauncher || true
# The launcher ends once it has started the wizard: the disc stays until the
# wizard has ended too.
wizard=$(readlink -f build/bin/VelmoraFree)
wizard_running() {
  local p
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/exe" 2>/dev/null)" = "$wizard" ] && return 0
  done
  return 1
}
while wizard_running; do sleep 1; done
