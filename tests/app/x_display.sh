# shellcheck shell=bash
# Shared by the window end-to-end scripts (sourced, not run): failure counting,
# polling, and a private X display. Expects $work to be a scratch folder and
# xvfb_pid to be cleaned up by the caller's exit trap.

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
note() { echo "-- $*"; }

# Polls `$@` every 0.2 s for up to $timeout seconds; true once it succeeds. The
# limits are generous: under the thread sanitizer or Wine on a loaded machine the
# window and its message box take many seconds to appear.
poll() {
  local timeout=$1; shift
  local deadline=$((SECONDS + timeout))
  until "$@"; do
    [ $SECONDS -ge $deadline ] && return 1
    sleep 0.2
  done
}

# A display of our own: Xvfb picks a free number and writes it to descriptor 3.
# Exits with 77 (skipped) when Xvfb cannot start.
# shellcheck disable=SC2154,SC2034  # $work is the caller's; its exit trap ends $xvfb_pid
start_private_display() {
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  if ! poll 15 test -s "$work/display"; then
    echo "SKIP: Xvfb cannot start"; cat "$work/xvfb.log"; exit 77
  fi
  DISPLAY=":$(head -n1 "$work/display")"
  export DISPLAY
  note "Xvfb on $DISPLAY"
}
