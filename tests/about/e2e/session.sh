#!/bin/sh
# Inside the test's D-Bus session: X first, then the accessibility bus with
# DISPLAY set (a bus started without it drops synthetic input), then the
# program, then the driving script.
set -u
exec 3>"$HOME/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset >"$VELMORA_E2E_OUT/xvfb.log" 2>&1 &
X=$!
exec 3>&-
tries=0
until [ -s "$HOME/display" ]; do
  tries=$((tries + 1))
  if [ $tries -gt 200 ] || ! kill -0 $X 2>/dev/null; then
    echo "Xvfb did not start" >&2
    kill $X 2>/dev/null
    exit 1
  fi
  sleep 0.05
done
DISPLAY=:$(head -n1 "$HOME/display")
export DISPLAY
/usr/libexec/at-spi-bus-launcher --launch-immediately &
B=$!
# The program (and the mail hand-off it starts) sees no mail client of the
# machine's own, only the recording one of the test's home.
XDG_DATA_DIRS=/nonexistent/velmora-e2e XDG_CONFIG_DIRS=/nonexistent/velmora-e2e \
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb "$VELMORA_E2E_PROGRAM" \
  >"$VELMORA_E2E_OUT/program.log" 2>&1 &
P=$!
/usr/bin/python3 "$(dirname "$0")/about.py"
rc=$?
kill $P $B $X 2>/dev/null
wait 2>/dev/null
exit $rc
