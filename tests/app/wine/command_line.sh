#!/usr/bin/env bash
# quillomar.exe's command line under Wine (split by CommandLineToArgvW): --help and
# --version end with 0, bad usage with 2 and one line, a FOLDER without memory
# files gives the load message, and nothing is written anywhere. No display needed.
# Usage: command_line.sh QUILLOMAR_EXE WINE_COMMAND...
set -u
exe=$1
shift
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
mkdir "$folder/machine folder" && cp "$exe" "$folder/quillomar.exe"
cd "$folder" || exit 1
failures=0
expect() {  # CODE PATTERN ARGS...: the exit code and a line of standard output or error
  local want=$1 pattern=$2; shift 2
  timeout 60 env -u DISPLAY -u WAYLAND_DISPLAY "${wine[@]}" ./quillomar.exe "$@" </dev/null >out.txt 2>&1
  local code=$?
  [ "$code" = "$want" ] && grep -q -- "$pattern" out.txt ||
    { echo "FAIL: '$*' gave $code: $(cat out.txt)"; failures=$((failures + 1)); }
}
wine=("$@")
expect 0 "^Usage: quillomar" --help
expect 0 "^quillomar " --version
expect 2 "^quillomar: unknown option --bogus" --bogus
expect 2 "^quillomar: more than one FOLDER or IMAGE given (b)" a b
expect 2 "^quillomar: bad --scale (1 to 16)" --scale 0 "machine folder"
expect 1 "Could not load the memory files" --speed 0 "machine folder"
[ -z "$(ls -A "machine folder")" ] && [ "$(ls -A | tr '\n' ' ')" = "machine folder out.txt quillomar.exe " ] ||
  { echo "FAIL: files were written"; failures=$((failures + 1)); }
[ $failures = 0 ] && echo "the command line as on Linux"
[ $failures = 0 ]
