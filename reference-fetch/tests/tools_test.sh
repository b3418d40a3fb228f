#!/usr/bin/env bash
# The fetchorb client against fetchorb-server on 127.0.0.1, end to end.
set -euo pipefail
client=$1
server=$2
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

printf '# demo map\nPrintFactory=IOR:print-0001\n\nTavikClassFactory=IOR:tavik-0002\n' >"$work/map"
# Serves four connections, then exits; never longer than 30 s.
timeout 30 "$server" --port 0 --count 4 --map "$work/map" --second "demo server" \
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

wait "$pid" || fail "the server exited with $?"
grep -q "'PrintFactory': sent a reference of 14 bytes" "$work/log" || fail "log: $(cat "$work/log")"
grep -q "'NoSuchFactory': unknown factory" "$work/log" || fail "log: $(cat "$work/log")"

rc=0; "$client" --port 70000 >/dev/null 2>&1 || rc=$?
[[ $rc -eq 64 ]] || fail "bad port: exit $rc, expected 64"
rc=0; "$server" --port 0 NoEqualsSign >/dev/null 2>&1 || rc=$?
[[ $rc -eq 64 ]] || fail "bad entry: exit $rc, expected 64"
"$client" --help | grep -q '^Usage: fetchorb' || fail "client --help"
"$server" --help | grep -q '^Usage: fetchorb-server' || fail "server --help"
echo "tools: ok"
