#!/usr/bin/env bash
# scripts/run.sh where there is no display: one line that says a graphical session is
# needed and how to get one, a failing status, and nothing installed or built first.
#   run_without_display_test.sh SOURCE_DIR
set -uo pipefail
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$1/scripts/run.sh" 2>&1)
rc=$?
fail() { echo "FAIL: $* (status $rc): $out"; exit 1; }
((rc == 1)) || fail "not status 1"
[[ $(wc -l <<<"$out") == 1 ]] || fail "more than one line"
[[ "$out" == *"graphical session"* && "$out" == *"xvfb-run -a scripts/run.sh"* ]] ||
  fail "no word of a graphical session and how to get one"
echo "run without a display: ok"
