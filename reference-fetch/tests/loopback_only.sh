#!/bin/sh
# Runs a test program in network and mount namespaces of its own. The network has
# only the loopback interface, so the name look-ups the tests make (".invalid"
# names) fail here instead of reaching the machine's resolver; /etc/hosts is the
# private one in etc/ beside this script, so 127.0.0.1 is "localhost" and 127.0.0.2
# has no reverse entry whatever the machine's /etc/hosts says, or if it has none
# (containers, chroots). Root makes the namespaces directly, another user inside a
# user namespace where the kernel allows that.
#
# Where the private hosts file can't be had, the program runs on the machine's own
# name service, and only if that knows 127.0.0.1: otherwise every fetch would fail
# for a reason no test names, so this stops at once and says what is missing.
here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" = --inside ]; then
  # In the new namespaces; unshare made their mounts private, so nothing here
  # reaches the machine's /etc.
  shift
  ip link set lo up || { echo "loopback_only.sh: the namespace's loopback would not come up" >&2; exit 1; }
  if [ -e /etc/hosts ]; then
    mount --bind "$here/etc/hosts" /etc/hosts 2>/dev/null && exec "$@"
  else
    # No file to bind onto: a read-only overlay of /etc with etc/ on top gives one.
    mount -t overlay overlay -o "lowerdir=$here/etc:/etc" /etc 2>/dev/null && exec "$@"
  fi
  missing="the private hosts file could not be mounted over /etc/hosts"
elif command -v unshare >/dev/null 2>&1 && command -v ip >/dev/null 2>&1; then
  if [ "$(id -u)" = 0 ]; then
    namespaces="unshare -n -m"
  else
    namespaces="unshare -r -n -m"
  fi
  if $namespaces true 2>/dev/null; then
    exec $namespaces "$here/loopback_only.sh" --inside "$@"
  fi
  missing="no network and mount namespaces could be made (as this user)"
else
  missing="unshare or ip is not installed"
fi

case " $* " in
*" --gtest_list_tests "*) exec "$@" ;; # listing the tests looks nothing up
esac
if ! getent hosts 127.0.0.1 >/dev/null 2>&1 ||
    ! getent ahostsv4 localhost 2>/dev/null | grep -q '^127\.0\.0\.1 '; then
  echo "loopback_only.sh: the fetch tests need 127.0.0.1 to be \"localhost\" and back, and" \
    "the name service here does not say so (no /etc/hosts, or no \"127.0.0.1 localhost\"" \
    "line in it); the tests' own hosts file could not be used: $missing. Run the tests" \
    "as root, or add the line \"127.0.0.1 localhost\" to /etc/hosts." >&2
  exit 1
fi
exec "$@"
