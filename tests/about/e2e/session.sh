#!/bin/sh
# Inside the test's desktop session (tests/e2e/xsession.sh): the program,
# then the driving script; the program is stopped at the end.
set -u
# The program (and the mail hand-off it starts) sees no mail client of the
# machine's own, only the recording one of the test's home.
XDG_DATA_DIRS=/nonexistent/velmora-e2e XDG_CONFIG_DIRS=/nonexistent/velmora-e2e \
  "$VELMORA_E2E_PROGRAM" >"$VELMORA_E2E_OUT/program.log" 2>&1 &
P=$!
/usr/bin/python3 "$(dirname "$0")/about.py"
rc=$?
kill $P 2>/dev/null
wait $P 2>/dev/null
exit $rc
