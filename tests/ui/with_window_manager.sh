#!/bin/sh
# Runs a test program on the X display of the environment (xvfb-run's) under openbox, which
# frames each window a moment after it is mapped, as desktops do.
set -eu
ready=$(mktemp -u)
openbox --startup "touch $ready" >/dev/null 2>&1 &
wm=$!
i=0
while [ ! -e "$ready" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
rm -f "$ready"
status=0
"$@" || status=$?
kill $wm 2>/dev/null || true
exit $status
