#!/usr/bin/env bash
# The sample damaged disc: the project's own sample files, generated the same
# way every time, an ISO 9660 image built from them, and the list of its bad
# sectors for velmora-faultfs.
#
#   scripts/sample-disc.sh DIR    builds DIR/files, DIR/sample.iso, DIR/faults
#
# Mount it with velmora-faultfs --image DIR/sample.iso --faults DIR/faults
# -o subtype=iso9660 DIR/files MOUNTPOINT (run.sh does).
set -euo pipefail

dir=${1:?usage: sample-disc.sh DIR}
files="$dir/files"
[ -f "$dir/sample.iso" ] && [ -f "$dir/faults" ] && exit 0  # built before: the same every time

rm -rf "$files"
mkdir -p "$files/Photos/Holiday 2009" "$files/Documents" "$files/Music" "$files/Empty folder"

# LINES lines of numbered text, SEED telling the files apart.
lines() {
  awk -v n="$1" -v seed="$2" \
    'BEGIN { for (i = 0; i < n; i++) printf "%s %08d %08d velmora sample data\n", seed, i, (i * 7919) % 100000000 }'
}

lines 80000 photo1 >"$files/Photos/Holiday 2009/beach.raw"          # about 3.5 MB
lines 50000 photo2 >"$files/Photos/Holiday 2009/mountains.raw"      # about 2.2 MB
lines 90000 track1 >"$files/Music/track01.wav"                      # about 4 MB
lines 3000 report >"$files/Documents/report.txt"
lines 500 café >"$files/Documents/Café notes – Ünïcode.txt"
lines 200 long >"$files/Documents/A very long file name of the sample disc that goes on and on.txt"
printf 'Velmora Free sample disc.\nTwo files on it have unreadable sectors.\n' >"$files/readme.txt"

xorriso -as mkisofs -quiet -R -J -V VELMORA_SAMPLE -o "$dir/sample.iso" "$files"

# A handful of bad sectors in two files.
cat >"$dir/faults" <<'FAULTS'
bad "/Photos/Holiday 2009/beach.raw" 100s 103s
bad /Music/track01.wav 500s 501s
bad /Music/track01.wav 900s 902s
FAULTS
