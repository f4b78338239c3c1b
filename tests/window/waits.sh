# shellcheck shell=bash
# Waits for the window checks, each with a deadline, and the moves they share: sourced by them. Input reaches the program in
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

# How many main windows of the program are up; at least or exactly N of them.
windows() { xdotool search --onlyvisible --name '^Halvorix$' 2>/dev/null | wc -l; }
at_least() { [ "$(windows)" -ge "$1" ]; }
exactly() { [ "$(windows)" -eq "$1" ]; }
# X Y: a click inside the main window, whose corner the caller found ($wx, $wy).
# shellcheck disable=SC2154 # the caller's
click() { xdotool mousemove $((wx + $1)) $((wy + $2)) click 1; }
# NAME: the screen into the caller's folder of pictures ($shots).
shot() { import -window root "$shots/$1.png"; }
