#!/usr/bin/env bash
# Runs the mingw32 build's programs under Wine, in one prefix of the build's own.
#
#   wine-run.sh PREFIX PROGRAM [ARG]...   run a Windows program (CTest's emulator)
#   wine-run.sh PREFIX --start            prepare the prefix if needed, start one
#                                         wineserver that stays up for the whole run
#   wine-run.sh PREFIX --stop             stop that wineserver (end of the run)
#
# The prefix is made once (wineboot, then wineserver -w so its registry is on disk
# before anything else reads it) under a lock, so programs started in parallel
# never race to create it. Nothing needs a display: no X server is contacted, and
# the Mono and Gecko installers a new prefix would offer are switched off.
set -euo pipefail
prefix=$1
shift
export WINEPREFIX=$prefix
export WINEARCH=win32
export WINEDEBUG=${OX_WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY

prepare() {
  [[ -f "$prefix/.ox-prepared" ]] && return
  mkdir -p "$(dirname "$prefix")"
  exec 9>"$prefix.lock"
  flock 9
  if [[ ! -f "$prefix/.ox-prepared" ]]; then
    wineboot -i >/dev/null 2>&1
    wineserver -w
    touch "$prefix/.ox-prepared"
  fi
  flock -u 9
  exec 9>&-
}

case ${1:-} in
  --start)
    prepare
    # Persistent, and gone by itself ten minutes after its last client should
    # the stop never come (an interrupted run).
    # A server already running (one left by a build step) is made persistent.
    wineserver -p600 </dev/null >/dev/null 2>&1 || true
    # The first program of a session starts Wine's services (services.exe,
    # winedevice.exe, ...), which live as long as the server and keep the files
    # they were given: started here, they hold no test's output open.
    wineboot </dev/null >/dev/null 2>&1
    ;;
  --stop)
    wineserver -k 2>/dev/null || true
    ;;
  *)
    prepare
    exec wine "$@"
    ;;
esac
