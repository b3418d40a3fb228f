#!/usr/bin/env bash
# Windows clients under Wine against the native fetchorb-server on 127.0.0.1:
# the C client through the import library, then the fetchorb tool.
#   client_test.sh SERVER RUN CLIENT TOOL     (RUN: the Wine wrapper and its prefix)
set -euo pipefail
server=$1 run=$2 client=$3 tool=$4
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Serves four connections, then exits; never longer than 60 s.
timeout 60 "$server" --port 0 --count 4 --second "native server" \
  TavikClassFactory=IOR:000000000000001d49444c3a546176696b3a312e30 PrintFactory=IOR:print-0001 \
  >"$work/out" 2>"$work/log" &
pid=$!
for _ in $(seq 100); do
  grep -q '^listening on' "$work/out" 2>/dev/null && break
  sleep 0.1
done
port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/out")
[[ -n "$port" ]] || fail "the server did not start: $(cat "$work/log")"

# Wine writes its console output with CR LF.
out=$($run "$client" 127.0.0.1 "$port" TavikClassFactory | tr -d '\r') || fail "C client: exit $?"
[[ "$out" == $'0\nIOR:000000000000001d49444c3a546176696b3a312e30\nnative server' ]] ||
  fail "C client printed: $out"
rc=0; out=$($run "$client" 127.0.0.1 "$port" NoSuchFactory | tr -d '\r') || rc=$?
[[ $rc -eq 2 ]] || fail "unknown factory: exit $rc, expected 2 ($out)"

out=$($run "$tool" --port "$port" --name PrintFactory | tr -d '\r') || fail "fetchorb.exe: exit $?"
[[ "$out" == $'IOR:print-0001\nnative server' ]] || fail "fetchorb.exe printed: $out"
rc=0; $run "$tool" --port "$port" --name PrintFactory --buffer-size 8 >/dev/null 2>&1 || rc=$?
[[ $rc -eq 1 ]] || fail "fetchorb.exe, small buffer: exit $rc, expected 1"

wait "$pid" || fail "the server exited with $?"
grep -q "'TavikClassFactory': sent a reference" "$work/log" || fail "log: $(cat "$work/log")"
echo "windows clients: ok"
