# shellcheck shell=bash
# Waits for the window checks, each with a deadline: sourced by them. Input reaches the program in
# the order it is given, so a click needs no wait of its own; a window that comes up (a list, a
# box, a dialog) is waited for before keys are sent to it, and a picture is taken once drawn.

# SECONDS CONDITION...: true once CONDITION holds; false when it has not within SECONDS.
wait_for() {
  local limit=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$limit" ] || return 1
    sleep 0.1
  done
}
# WINDOW: its picture holds more than one colour and stays the same for a tenth of a second.
drawn() {
  local before after
  before=$(import -window "$1" rgb:- 2>/dev/null | md5sum) || return 1
  sleep 0.1
  after=$(import -window "$1" rgb:- 2>/dev/null | md5sum) || return 1
  [ "$before" = "$after" ] && [ "$(import -window "$1" png:- 2>/dev/null | identify -format %k -)" -gt 1 ]
}
# WINDOW: drawn, and the keyboard's keys go to it.
ready() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ] && drawn "$1"; }
# The windows of the program ($pid) besides its main one ($WINDOW): a list, a box, a dialog.
# shellcheck disable=SC2154 # both are the caller's
others() { xdotool search --onlyvisible --pid "$pid" 2>/dev/null | grep -vx "$WINDOW" || true; }
popped() { [ -n "$(others)" ]; }
alone() { [ -z "$(others)" ]; }
