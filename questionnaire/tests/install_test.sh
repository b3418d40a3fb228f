#!/usr/bin/env bash
# The per-user install (cmake --install --component quillmark --prefix DIR): the
# freedesktop layout, a database with answers kept by the next install, and the
# program, started through the bin/ launcher from another folder after the whole
# prefix moved, opening the database in its own folder.
#   install_test.sh BUILD_DIR WORK_DIR
set -euo pipefail
build=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
pid=
trap '[[ -z "$pid" ]] || kill "$pid" 2>/dev/null || true' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
install_into() {
  cmake --install "$build" --component quillmark --prefix "$1" >>"$work/install.log" 2>&1 ||
    fail "install into $1: $(cat "$work/install.log")"
}
answer7() { sqlite3 "$1" "SELECT Answer FROM Answers WHERE AnswerID = 7"; }

prefix="$work/home dir/.local" # home folders may have spaces in their names
dir="$prefix/lib/quillmark"
install_into "$prefix"
for f in quillmark 0002.mdb DraftBusinessReport.rpt; do
  [[ -f "$dir/$f" ]] || fail "no $f in lib/quillmark: $(ls -R "$prefix")"
done
[[ -x "$dir/quillmark" ]] || fail "lib/quillmark/quillmark is not executable"
[[ -L "$prefix/bin/quillmark" ]] || fail "bin/quillmark is not a symlink"
[[ $(readlink "$prefix/bin/quillmark") != /* ]] || fail "bin/quillmark is an absolute link"
[[ $(readlink -f "$prefix/bin/quillmark") == $(readlink -f "$dir/quillmark") ]] ||
  fail "bin/quillmark leads to $(readlink -f "$prefix/bin/quillmark")"
[[ $(ls -A "$prefix/bin") == quillmark ]] || fail "bin/ holds more than the launcher: $(ls -A "$prefix/bin")"
desktop="$prefix/share/applications/quillmark.desktop"
grep -qxF "Exec=\"$prefix/bin/quillmark\"" "$desktop" || fail "desktop entry: $(cat "$desktop")"
grep -qx 'Icon=quillmark' "$desktop" || fail "desktop entry has no Icon=quillmark"
[[ -s "$prefix/share/icons/hicolor/scalable/apps/quillmark.svg" ]] || fail "no icon"
# The validator is part of the set-up (scripts/deps.sh); a missing one is a failure,
# not a check passed.
command -v desktop-file-validate >/dev/null ||
  fail "desktop-file-validate is not installed (package desktop-file-utils; scripts/deps.sh installs it)"
validation=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $validation"
[[ -z "$validation" ]] || fail "desktop-file-validate: $validation"

# The owner's answer survives the next install.
sqlite3 "$dir/0002.mdb" "UPDATE Answers SET Answer = 'my own words' WHERE AnswerID = 7"
install_into "$prefix"
[[ $(answer7 "$dir/0002.mdb") == "my own words" ]] || fail "a second install replaced the answers"

# A database in bin/ from an install of the old layout moves to the program's folder.
old="$work/old"
mkdir -p "$old/bin"
cp "$dir/0002.mdb" "$old/bin/0002.mdb"
install_into "$old"
[[ ! -e "$old/bin/0002.mdb" ]] || fail "the old database stayed in bin/"
[[ $(answer7 "$old/lib/quillmark/0002.mdb") == "my own words" ]] || fail "the old database's answers were lost"

# A staged install (packaging) writes under DESTDIR and names the final place.
DESTDIR="$work/stage" install_into /usr/local
[[ -f "$work/stage/usr/local/lib/quillmark/0002.mdb" ]] || fail "DESTDIR: no database"
grep -qxF 'Exec="/usr/local/bin/quillmark"' "$work/stage/usr/local/share/applications/quillmark.desktop" ||
  fail "DESTDIR: the desktop entry names the staging folder"

# Started by the launcher from / after the prefix moved, the program opens the
# database beside its real self, and keeps running (a refused database ends it).
moved="$work/moved"
mv "$prefix" "$moved"
(cd / && QT_QPA_PLATFORM=offscreen exec "$moved/bin/quillmark") >"$work/run.log" 2>&1 &
pid=$!
opened=
for _ in $(seq 300); do
  for fd in /proc/"$pid"/fd/*; do
    [[ $(readlink "$fd" 2>/dev/null) == "$moved/lib/quillmark/0002.mdb" ]] && opened=1
  done
  [[ -n "$opened" ]] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
[[ -n "$opened" ]] || fail "the program did not open $moved/lib/quillmark/0002.mdb: $(cat "$work/run.log")"
sleep 1
kill -0 "$pid" 2>/dev/null || fail "the program ended: $(cat "$work/run.log")"
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=
echo "install: ok"
