#!/bin/sh
# Runs launcher_e2e.py on an X server of its own (Xvfb picks a free display
# with -displayfd, since other tests run Xvfb at the same time), with the
# accessibility bus, inside a D-Bus session of its own.
# usage: run_e2e.sh BIN_DIR [SCREENSHOT_DIR]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
exec dbus-run-session -- sh -c '
  set -u
  tmp=$(mktemp -d)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$tmp/display" 2>/dev/null & X=$!
  i=0
  while [ ! -s "$tmp/display" ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i + 1)); done
  export DISPLAY=":$(cat "$tmp/display")"
  /usr/libexec/at-spi-bus-launcher --launch-immediately & B=$!
  sleep 0.5
  /usr/bin/python3 "$0" "$@"; rc=$?
  kill $B $X 2>/dev/null
  rm -rf "$tmp"
  exit $rc' "$here/launcher_e2e.py" "$@"
