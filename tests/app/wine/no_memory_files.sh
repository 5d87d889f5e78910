#!/usr/bin/env bash
# quillomar.exe in a folder without memory files: it tells why (the message box and
# standard error), ends with exit code 1 and creates no file. Run without a display,
# where Wine cannot show the box and MessageBoxW returns at once instead of waiting
# for a click.
# Usage: no_memory_files.sh QUILLOMAR_EXE WINE_COMMAND...
set -u
exe=$1
shift
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cp "$exe" "$folder/quillomar.exe"
cd "$folder" || exit 1
timeout 60 env -u DISPLAY -u WAYLAND_DISPLAY "$@" ./quillomar.exe </dev/null >out.txt 2>err.txt
code=$?
fail() { echo "FAIL: $*"; cat err.txt; exit 1; }
[ "$code" -eq 1 ] || fail "exit code $code, expected 1"
grep -q "Could not load the memory files from the Quillomar folder." err.txt || fail "no load-failure message"
extra=$(find . -mindepth 1 -maxdepth 1 ! -name quillomar.exe ! -name out.txt ! -name err.txt -printf "%f\n")
[ -z "$extra" ] || fail "files created: $extra"
echo "exit code 1, load-failure message, no file created"
