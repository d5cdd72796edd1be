#!/usr/bin/env bash
# Peak memory of the launcher's installer download at full loopback speed:
# launcher_download_probe (the launcher's HTTPS client with the installer's
# limits, in a process of its own) fetches a body of MIB MiB from the test
# site (tests/launcher/https_site.py, with a fresh test authority) and prints
# its VmHWM from /proc; the time and throughput are printed beside it.
#
# usage: bench/launcher_download.sh [BUILD_DIR [MIB]]   (defaults: build, 900)
# BUILD_DIR is a build with tests (it holds bin/launcher_download_probe).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
mib=${2:-900}
probe="$build/bin/launcher_download_probe"
[ -x "$probe" ] || { echo "no $probe: build the target launcher_download_probe" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-download-bench-XXXXXX")
site_pid=
cleanup() {
  if [ -n "$site_pid" ]; then kill "$site_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/pki" "$work/site"
sh "$root/tests/launcher/make_test_pki.sh" "$work/pki" >/dev/null 2>&1
echo "{\"/big\": {\"zeros\": $((mib * 1024 * 1024))}}" > "$work/site/routes.json"
/usr/bin/python3 "$root/tests/launcher/https_site.py" "$work/pki/server.pem" "$work/pki/server.key" \
  "$work/site" > "$work/port" &
site_pid=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(awk '{print $2}' "$work/port")

# AddressSanitizer's quarantine of freed memory is no memory of the client's.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=4:detect_leaks=0"
start=$(date +%s.%N)
out=$("$probe" "https://127.0.0.1:$port/big" "$work/setup.bin" "$work/pki/ca.pem")
end=$(date +%s.%N)
size=$(stat -c %s "$work/setup.bin")
kb=${out#VmHWM }
awk -v mib="$mib" -v size="$size" -v kb="$kb" -v s="$start" -v e="$end" 'BEGIN {
  printf "body %d MiB (%d bytes written), %.1f s, %.0f MiB/s, peak resident memory (VmHWM) %.1f MB\n",
         mib, size, e - s, size / 1048576 / (e - s), kb * 1024 / 1e6 }'
