#!/usr/bin/env bash
# The fetchorb client against fetchorb-server on 127.0.0.1, end to end.
set -euo pipefail
client=$1
server=$2
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

printf '# demo map\nPrintFactory=IOR:print-0001\n\nTavikClassFactory=IOR:tavik-0002\n' >"$work/map"
big=$(head -c 100000 /dev/zero | tr '\0' 'b')
printf 'BigFactory=%s\n' "$big" >>"$work/map"
# Serves eleven connections, then exits; never longer than 30 s.
timeout 30 "$server" --port 0 --count 11 --map "$work/map" --second "demo server" \
  >"$work/out" 2>"$work/log" &
pid=$!
for _ in $(seq 100); do
  grep -q '^listening on' "$work/out" 2>/dev/null && break
  sleep 0.1
done
port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/out")
[[ -n "$port" ]] || fail "the server did not start: $(cat "$work/log")"

out=$("$client" --port "$port") || fail "default factory: exit $?"
[[ "$out" == $'IOR:tavik-0002\ndemo server' ]] || fail "default factory printed: $out"

out=$("$client" --host localhost --port "$port" --name PrintFactory) || fail "by name: exit $?"
[[ "$out" == $'IOR:print-0001\ndemo server' ]] || fail "PrintFactory printed: $out"

rc=0; "$client" --port "$port" --name PrintFactory --buffer-size 8 >/dev/null 2>&1 || rc=$?
[[ $rc -eq 1 ]] || fail "small buffer: exit $rc, expected 1"

rc=0; "$client" --port "$port" --name NoSuchFactory >/dev/null 2>&1 || rc=$?
[[ $rc -eq 2 ]] || fail "unknown factory: exit $rc, expected 2"

# --name=value forms, as command-line users expect.
out=$("$client" --port="$port" --name=PrintFactory) || fail "--name=value: exit $?"
[[ "$out" == $'IOR:print-0001\ndemo server' ]] || fail "--name=value printed: $out"

# Buffers start small and grow on "too small" (three fetches here); a cap far
# beyond any reply allocates nothing near it.
out=$("$client" --port "$port" --name BigFactory) || fail "big reference: exit $?"
[[ "$out" == "$big"$'\ndemo server' ]] || fail "big reference: ${#out} bytes printed"
# (Sanitizers reserve more address space than the limit allows.)
limit=400000
if ldd "$client" | grep -q 'lib[at]san'; then limit=unlimited; fi
out=$(ulimit -v "$limit"; "$client" --port "$port" --name PrintFactory --buffer-size 4294967295) ||
  fail "--buffer-size 4294967295: exit $?"
[[ "$out" == $'IOR:print-0001\ndemo server' ]] || fail "largest buffer size printed: $out"

# An output that cannot be written is an error, not a success.
rc=0; "$client" --port "$port" >/dev/full 2>"$work/err" || rc=$?
[[ $rc -eq 74 ]] || fail "output to /dev/full: exit $rc, expected 74"
grep -q '^fetchorb: cannot write the output' "$work/err" || fail "/dev/full: $(cat "$work/err")"

# A client cannot write terminal control sequences into the server's log.
rc=0; "$client" --port "$port" --name $'\e[31mEvil\a' >/dev/null 2>&1 || rc=$?
[[ $rc -eq 2 ]] || fail "escaped name: exit $rc, expected 2"

wait "$pid" || fail "the server exited with $?"
grep -qF "'\x1b[31mEvil\x07': unknown factory" "$work/log" || fail "log: $(cat -v "$work/log")"
if grep -q $'\e' "$work/log"; then fail "raw escape in the log: $(cat -v "$work/log")"; fi
grep -q "'PrintFactory': sent a reference of 14 bytes" "$work/log" || fail "log: $(cat "$work/log")"
grep -q "'NoSuchFactory': unknown factory" "$work/log" || fail "log: $(cat "$work/log")"

rc=0; "$client" --port 70000 >/dev/null 2>&1 || rc=$?
[[ $rc -eq 64 ]] || fail "bad port: exit $rc, expected 64"
rc=0; "$server" --port 0 NoEqualsSign >/dev/null 2>&1 || rc=$?
[[ $rc -eq 64 ]] || fail "bad entry: exit $rc, expected 64"
"$client" --help | grep -q '^Usage: fetchorb' || fail "client --help"
"$server" --help | grep -q '^Usage: fetchorb-server' || fail "server --help"
for tool in "$client" "$server"; do
  name=$(basename "$tool")
  "$tool" -h | grep -q "^Usage: $name" || fail "$name -h"
  "$tool" --help | grep -q '^Exit status: ' || fail "$name --help lists no exit status"
  "$tool" --version | grep -Eq "^$name [0-9]+\.[0-9]+\.[0-9]+$" || fail "$name --version"
  rc=0; "$tool" --help >/dev/full 2>/dev/null || rc=$?
  [[ $rc -eq 74 ]] || fail "$name --help to /dev/full: exit $rc, expected 74"
  rc=0; "$tool" --help=yes >/dev/null 2>&1 || rc=$?
  [[ $rc -eq 64 ]] || fail "$name --help=yes: exit $rc, expected 64"
done
rc=0; "$server" --workers 300 A=B >/dev/null 2>"$work/err" || rc=$?
[[ $rc -eq 64 ]] || fail "--workers 300: exit $rc, expected 64"
grep -q -- '--workers needs a number from 1 to 256' "$work/err" || fail "workers: $(cat "$work/err")"
echo "tools: ok"
