#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs the installed programs
# through their links: the window starts (offscreen) and stays up, and the
# command-line tool lists a backup and recovers it with the installed templates.
# Usage: install-test.sh BUILD_DIR
set -euo pipefail
build="$1"
work="$(mktemp -d "${TMPDIR:-/tmp}/fq-install-XXXXXX")"
gui_pid=""
cleanup() {
  if [ -n "$gui_pid" ]; then kill "$gui_pid" 2>/dev/null || true; wait "$gui_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
program="$prefix/lib/fernquill"
for f in fernquill fernquill-cli tool config.ini template/Print.html template/Sms.html Languages/English.ini Player Player1; do
  [ -e "$program/$f" ] || fail "$program/$f is not installed"
done
for p in fernquill fernquill-cli; do
  [ -L "$prefix/bin/$p" ] || fail "$prefix/bin/$p is not a link"
  [ "$(readlink "$prefix/bin/$p")" = "../lib/fernquill/$p" ] || fail "$prefix/bin/$p points elsewhere"
done
desktop="$prefix/share/applications/fernquill.desktop"
grep -qx 'Exec=fernquill %f' "$desktop" || fail "the desktop entry does not start fernquill with %f"
grep -qx 'Icon=fernquill' "$desktop" || fail "the desktop entry names no icon"
grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/fernquill.svg" || fail "no SVG icon"

# A private home: application data, runtime folder and the backup root.
export HOME="$work/home" XDG_DATA_HOME="$work/home/data" XDG_CONFIG_HOME="$work/home/config"
export XDG_RUNTIME_DIR="$work/home/runtime"
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" && chmod 700 "$XDG_RUNTIME_DIR"
root="$XDG_DATA_HOME/Apple Computer/MobileSync/backup"
"$build/bin/fq-mkbackup" --demo "$root/demo-udid" >/dev/null

# Run from elsewhere, so nothing is found by the working folder.
cd "$work"
"$prefix/bin/fernquill-cli" --version >/dev/null || fail "fernquill-cli --version"
"$prefix/bin/fernquill-cli" list | grep -q "demo-udid\|iPhone" || fail "the installed CLI lists no backup"
"$prefix/bin/fernquill-cli" recover "$root/demo-udid" --out "$work/out" >/dev/null 2>&1 ||
  fail "the installed CLI cannot recover (templates beside the program not found?)"
find "$work/out" -name index.html | grep -q . || fail "no index page was written"
find "$work/out" -name 'Contacts.html' | grep -q . || fail "no contacts report was written"

# The window: it must still be running after a few seconds (no crash, no early exit).
QT_QPA_PLATFORM=offscreen "$prefix/bin/fernquill" >"$work/gui.log" 2>&1 &
gui_pid=$!
for _ in $(seq 1 30); do
  sleep 0.2
  kill -0 "$gui_pid" 2>/dev/null || { cat "$work/gui.log" >&2; fail "the installed window exited early"; }
done
kill "$gui_pid"
wait "$gui_pid" 2>/dev/null || true
gui_pid=""
echo "installed layout, links, CLI and window: ok"
