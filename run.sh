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

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)" --target VelmoraFree VelmoraFreeLauncher

exec build/bin/VelmoraFreeLauncher
