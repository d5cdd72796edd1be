#!/usr/bin/env bash
# The sample disc is the same every time it is built, holds folders, files
# of some MB, a long and a non-ASCII name, and mounts as an optical disc
# whose bytes come from the ISO image, unreadable exactly in its bad sectors.
set -euo pipefail
script=$1 faultfs=$2
work=$(mktemp -d)
mnt="$work/mnt"
cleanup() {
  fusermount3 -u "$mnt" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

bash "$script" "$work/one"
bash "$script" "$work/two"
diff -r "$work/one/files" "$work/two/files" >/dev/null || fail "the sample files differ between builds"
cmp -s "$work/one/faults" "$work/two/faults" || fail "the fault lists differ"
files="$work/one/files"
[ -d "$files/Empty folder" ] || fail "no empty folder"
[ -f "$files/Documents/Café notes – Ünïcode.txt" ] || fail "no non-ASCII name"
long=$(ls "$files/Documents" | awk 'length > 50' | head -1)
[ -n "$long" ] || fail "no name longer than the log's column"
size=$(stat -c %s "$files/Music/track01.wav")
[ "$size" -gt 2000000 ] || fail "track01.wav has only $size bytes"

mkdir "$mnt"
"$faultfs" --image "$work/one/sample.iso" --faults "$work/one/faults" -o subtype=iso9660 \
  "$files" "$mnt"
[ "$(findmnt -rn -o FSTYPE "$mnt")" = fuse.iso9660 ] || fail "not mounted as an optical disc"

# A byte changed in the folder after the image was built: the mount still
# shows the image's byte, so the disc is the image.
printf 'X' | dd of="$files/readme.txt" bs=1 count=1 conv=notrunc status=none
[ "$(head -c 1 "$mnt/readme.txt")" = V ] || fail "readme.txt was not read from the image"
cmp -s "$mnt/Documents/Café notes – Ünïcode.txt" "$files/Documents/Café notes – Ünïcode.txt" ||
  fail "the non-ASCII file differs"
cmp -s "$mnt/Documents/$long" "$files/Documents/$long" || fail "the long-named file differs"

# Bad sectors fail, their neighbours read.
readable() { dd if="$1" of=/dev/null bs=2048 skip="$2" count=1 iflag=direct status=none 2>/dev/null; }
readable "$mnt/Music/track01.wav" 499 || fail "sector 499 of track01.wav fails"
! readable "$mnt/Music/track01.wav" 500 || fail "sector 500 of track01.wav reads"
! readable "$mnt/Photos/Holiday 2009/beach.raw" 101 || fail "sector 101 of beach.raw reads"
readable "$mnt/Photos/Holiday 2009/beach.raw" 103 || fail "sector 103 of beach.raw fails"
cmp -s "$mnt/Photos/Holiday 2009/mountains.raw" "$files/Photos/Holiday 2009/mountains.raw" ||
  fail "mountains.raw differs"
echo "sample disc: ok"
