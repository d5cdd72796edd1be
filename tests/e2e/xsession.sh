#!/usr/bin/env bash
# xsession.sh COMMAND [ARGS...]
# Runs COMMAND in a desktop session of its own, for end-to-end tests of the
# windows: a private D-Bus session, a fresh Xvfb on a free display (other
# tests run theirs at the same time) and the accessibility bus, so that
# AT-SPI clients (tests/e2e/atspi.py) see the programs COMMAND starts.
# Exits with COMMAND's status; everything started here is stopped.
set -euo pipefail

if [ -z "${XSESSION_INNER:-}" ]; then
  export XSESSION_INNER=1
  exec dbus-run-session -- "$0" "$@"
fi

cleanup() {
  [ -n "${bus:-}" ] && kill "$bus" 2>/dev/null
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null
  [ -n "${fdfile:-}" ] && rm -f "$fdfile"
  wait 2>/dev/null || true
}
trap cleanup EXIT

# Xvfb writes the display number it chose to the descriptor, once it is ready.
fdfile=$(mktemp)
Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp -noreset 9>"$fdfile" 2>/dev/null &
xvfb=$!
for _ in $(seq 200); do
  [ -s "$fdfile" ] && break
  kill -0 "$xvfb" 2>/dev/null || { echo "xsession.sh: Xvfb did not start" >&2; exit 1; }
  sleep 0.05
done
[ -s "$fdfile" ] || { echo "xsession.sh: Xvfb gave no display number" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$fdfile")"

# The accessibility bus must know DISPLAY, or synthetic input is dropped.
/usr/libexec/at-spi-bus-launcher --launch-immediately &
bus=$!
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
# On this server, whatever the calling test run chose for its widget tests.
export QT_QPA_PLATFORM=xcb
export NO_AT_BRIDGE=0

"$@"
