#!/bin/sh
# Builds the settings fuzz target with clang's libFuzzer (ASan + UBSan) and
# runs it for a bounded time over a seed corpus of settings archives made by
# zip -P. Exits 77 (a skipped test) where clang's libFuzzer is missing.
# usage: run_fuzz.sh SOURCE_DIR WORK_DIR [SECONDS]
# Longer runs by hand: run_fuzz.sh . /tmp/fuzz 600
set -eu
# Findings stay in WORK_DIR as crash-*/leak-*/timeout-* files for replay.
src=$(cd "$1" && pwd)
work=$2
seconds=${3:-20}
mkdir -p "$work/corpus" "$work/seeds"
command -v clang++ >/dev/null || { echo "clang++ missing: fuzzing skipped"; exit 77; }
[ -f "$(clang++ -print-file-name=libclang_rt.fuzzer-x86_64.a)" ] ||
  { echo "libFuzzer missing (libclang-rt-*-dev): fuzzing skipped"; exit 77; }

clang++ -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$src" $(pkg-config --cflags Qt6Core libzip) \
  "$src/tests/launcher/fuzz/SettingsFuzz.cpp" "$src/launcher/SettingsArchive.cpp" \
  "$src/launcher/SettingsDocument.cpp" \
  $(pkg-config --libs Qt6Core libzip) -o "$work/settings_fuzz"

# Seeds: an archive per maker option, and bare documents.
cd "$work/seeds"
printf '<?xml version="1.0"?><Products><Product Name="Velmora Free" Version="2.0.0.1" SetupURL="https://s.example/setup.bin"/></Products>' > settings.xml
rm -f a.zip b.zip
zip -q -P pelvin_Quorat a.zip settings.xml
zip -q -0 -P pelvin_Quorat b.zip settings.xml
cp a.zip b.zip settings.xml "$work/corpus/"
printf '<r><q Name="velmora free" Version="1" SetupURL="u"><x Lang="en"/></q></r>' > "$work/corpus/doc2.xml"

cd "$work"
ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions="$src/tests/launcher/fuzz/lsan.supp" ./settings_fuzz -max_total_time="$seconds" -max_len=65536 -timeout=10 \
  -rss_limit_mb=2048 -print_final_stats=1 corpus >fuzz.log 2>&1 || { tail -40 fuzz.log; exit 1; }
tail -8 fuzz.log
