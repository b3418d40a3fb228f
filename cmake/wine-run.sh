#!/usr/bin/env bash
# Runs the cross builds' programs under Wine, in one prefix of the build's own.
#
#   wine-run.sh PREFIX PROGRAM [ARG]...   run a Windows program (CTest's emulator);
#                                         the first one prepares the prefix if needed
#                                         and starts one wineserver for the whole run
#   wine-run.sh PREFIX --start            the same without a program
#   wine-run.sh PREFIX --stop             stop that wineserver (end of the run)
#   wine-run.sh --probe win32|win64       can this host run such programs? Silent and
#                                         0 if so; otherwise one line saying why, and 1
#
# The prefix's architecture (win32 or win64) is in PREFIX.arch, which the build
# writes; without it the prefix is win32. The loaders are Wine's own
# (/usr/lib/wine/wine and wine64 on Debian; OX_WINE32_LOADER and OX_WINE64_LOADER
# name others), called directly: Debian's `wine` wrapper takes the 32-bit loader
# whenever it is installed, even where the kernel cannot run it.
#
# The prefix is made once (wineboot, then wineserver -w so its registry is on disk
# before anything else reads it) under a lock, so programs started in parallel
# never race to create it. A prefix that cannot be made stops the run with
# wineboot's own output. Nothing needs a display: no X server is contacted, and
# the Mono and Gecko installers a new prefix would offer are switched off.
set -euo pipefail

# loader ARCH: the Wine loader that runs ARCH's programs.
loader() {
  local var default
  if [[ $1 == win64 ]]; then
    var=OX_WINE64_LOADER default=/usr/lib/wine/wine64
    [[ -x $default ]] || default=$(command -v wine64 || echo "$default")
  else
    var=OX_WINE32_LOADER default=/usr/lib/wine/wine
    [[ -x $default ]] || default=$(command -v wine || echo "$default")
  fi
  echo "${!var:-$default}"
}

# probe ARCH: runs the loader once (it reads no prefix and starts no server), so
# a missing package or a kernel without 32-bit support shows as it is.
probe() {
  local arch=$1 bits=32 package=wine32:i386 wine out
  [[ $arch == win64 ]] && bits=64 package=wine64
  wine=$(loader "$arch")
  if [[ ! -e $wine ]]; then
    echo "no $bits-bit Wine loader ($wine): the package $package is not installed"
    return 1
  fi
  if ! out=$("$wine" --version 2>&1); then
    out=$(echo "$out" | tr '\n' ' ' | sed 's/^.*: line [0-9]*: //; s/ *$//')
    case $out in
      *"Exec format error"* | *"cannot execute binary file"*)
        if [[ $bits == 32 ]]; then
          echo "the kernel does not run 32-bit programs ($out): IA-32 emulation is off or missing"
        else
          echo "the kernel does not run Wine's 64-bit loader ($out)"
        fi ;;
      *) echo "Wine's $bits-bit loader does not start: $out" ;;
    esac
    return 1
  fi
}

if [[ ${1:-} == --probe ]]; then
  probe "${2:-win32}"
  exit
fi

prefix=$1
shift
arch=win32
[[ -f "$prefix.arch" ]] && arch=$(<"$prefix.arch")
wine=$(loader "$arch")
export WINEPREFIX=$prefix
export WINEARCH=$arch
export WINELOADER=$wine
export WINEDEBUG=${OX_WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY

prepare() {
  [[ -f "$prefix/.ox-prepared" ]] && return
  mkdir -p "$(dirname "$prefix")"
  exec 9>"$prefix.lock"
  flock 9
  if [[ ! -f "$prefix/.ox-prepared" ]]; then
    local why log=$prefix.wineboot.log
    if ! why=$(probe "$arch"); then
      echo "wine-run: cannot run $arch programs on this host: $why" >&2
      exit 1
    fi
    if ! "$wine" wineboot.exe -i >"$log" 2>&1 9>&- || ! wineserver -w >>"$log" 2>&1 9>&- ||
       [[ ! -f "$prefix/system.reg" ]]; then
      echo "wine-run: could not make the Wine prefix $prefix; wineboot said:" >&2
      cat "$log" >&2
      exit 1
    fi
    touch "$prefix/.ox-prepared"
  fi
  flock -u 9
  exec 9>&-
}

# running: whether a wineserver serves this prefix. Wine keeps its socket in
# DIR/server-DEV-INODE, after the prefix folder's device and inode; DIR is
# /tmp/.wine-UID, except in Debian's Wine, which makes a private folder under
# $TMPDIR (or /tmp) and writes its name to PREFIX/wineserver.
running() {
  [[ -d $prefix ]] || return 1
  local dev ino dir=/tmp/.wine-$(id -u)
  [[ -r $prefix/wineserver ]] && dir=${TMPDIR:-/tmp}/$(<"$prefix/wineserver")
  read -r dev ino < <(stat -c '%d %i' "$prefix")
  [[ -S $(printf '%s/server-%x-%x/socket' "$dir" "$dev" "$ino") ]]
}

# session: one wineserver for the whole test run, started by the first program
# that needs it (listing the tests without running them starts nothing).
session() {
  running && return
  exec 8>"$prefix.session.lock"
  flock 8
  if ! running; then
    # Persistent, and gone by itself ten minutes after its last client should
    # the stop never come (an interrupted run).
    wineserver -p600 </dev/null >/dev/null 2>&1 || true
    # The first program of a session starts Wine's services (services.exe,
    # winedevice.exe, ...), which live as long as the server and keep the files
    # they were given: started here, they hold no test's output open (and its
    # output goes to a file: a pipe would stay open as long as they live).
    if ! "$wine" wineboot.exe </dev/null >"$prefix.start.log" 2>&1 8>&-; then
      local why
      if ! why=$(probe "$arch"); then
        echo "wine-run: cannot run $arch programs on this host: $why" >&2
      else
        echo "wine-run: Wine does not start in $prefix; wineboot said:" >&2
        cat "$prefix.start.log" >&2
      fi
      exit 1
    fi
  fi
  flock -u 8
  exec 8>&-
}

case ${1:-} in
  --start)
    prepare
    session
    ;;
  --stop)
    # Waited for: a run started right after this one would otherwise find the dying
    # server's socket, take it for a session and fail to connect.
    if running; then
      wineserver -k 2>/dev/null || true
      wineserver -w 2>/dev/null || true
    fi
    ;;
  *)
    prepare
    session
    exec "$wine" "$@"
    ;;
esac
