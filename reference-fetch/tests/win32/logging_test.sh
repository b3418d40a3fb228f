#!/usr/bin/env bash
# Logging under Wine: with pxlogger.dll configured in Wine's registry, the fetchorb
# tool's traces (fetchorb_logLevel=256) reach pxlogger's file, and the logger's
# own report about a logging library that does not load takes the event-log
# branch (Wine is of the NT family): RegisterEventSourceA and ReportEventA are
# called, as Wine's advapi32 traces show, with the English message text.
#   logging_test.sh RUN TOOL PXLOGGER MESSAGE_DIR     (RUN: the Wine wrapper and its prefix)
set -euo pipefail
run=$1 tool=$2 pxlogger=$3 messages=$4
work=$(mktemp -d)
windows() { printf 'Z:%s' "${1//\//\\}"; }
reg() { $run reg "$@" >/dev/null 2>&1; }
cleanup() { reg delete 'HKLM\Software\Corvane Software' /f || true; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cleanup
mkdir -p "$work"
key='HKLM\Software\Corvane Software\Corvane Logging'
reg add "$key\\pxlogger" /v DLLPath /d "$(windows "$pxlogger")" /f
reg add "$key\\pxlogger" /v LogFile /d "$(windows "$work/px.log")" /f
reg add "$key\\broken" /v DLLPath /d 'Z:\nowhere\nothing.dll' /f
reg add 'HKLM\Software\Corvane Software\Shared Tools\Strings' /v Path /d "$(windows "$messages")" /f

# Port 1 on loopback: refused at once.
rc=0
fetchorb_logLevel=256 OX_WINEDEBUG=fixme+advapi,warn+eventlog,err+eventlog,trace+eventlog \
  $run "$tool" --port 1 >/dev/null 2>"$work/err" || rc=$?
[[ $rc -eq 2 ]] || fail "fetchorb.exe --port 1: exit $rc, expected 2: $(cat "$work/err")"

grep -q 'RegisterEventSourceA ((null),"Corvane_fetchorb")' "$work/err" ||
  fail "no RegisterEventSourceA: $(cat "$work/err")"
grep -q 'ReportEventA (' "$work/err" || fail "no ReportEventA: $(cat "$work/err")"
grep -qF 'The logging library Z:\\nowhere\\nothing.dll could not be loaded or started and is not used.' \
  "$work/err" || fail "the report's text: $(cat "$work/err")"

[[ -s "$work/px.log" ]] || fail "pxlogger wrote nothing"
grep -q "connection refused 'WSA10061'" "$work/px.log" || fail "pxlogger's file: $(cat "$work/px.log")"
echo "logging under Wine: ok"
