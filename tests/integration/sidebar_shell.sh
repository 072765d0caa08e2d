#!/usr/bin/env bash
# The real executable under Xvfb and openbox: its window, closing it, a second launch and
# the tray menu's Quit. Every process started here is stopped by its own id.
set -uo pipefail
exe="$1"
home=$(mktemp -d)
export XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" XDG_CACHE_HOME="$home/cache"
export XDG_RUNTIME_DIR="$home/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
app="" tray=""
cleanup() {
    for pid in $app $tray; do kill "$pid" 2>/dev/null; done
    for pid in $app $tray; do wait "$pid" 2>/dev/null; done
    rm -rf "$home"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; [ -f "$home/tandrel.log" ] && tail -20 "$home/tandrel.log" >&2; exit 1; }

# Polls up to $1 tenths of a second for the command after it to succeed.
wait_for() {
    local tries=$1; shift
    for _ in $(seq "$tries"); do "$@" && return 0; sleep 0.1; done
    return 1
}
viewable() { xwininfo -id "$1" 2>/dev/null | grep -q IsViewable; }
# The window manager has taken the window (it drew a frame around it).
managed() { viewable "$1" && xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | grep -q '='; }
active() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ]; }
visible_windows() { xdotool search --onlyvisible --pid "$app" 2>/dev/null | wc -l; }
alive() { kill -0 "$app" 2>/dev/null; }
# Sets $win; Qt gives a window that was closed a new X window when it is shown again.
found_window() { win=$(xdotool search --onlyvisible --name '^Tandrel$' 2>/dev/null | head -n1); [ -n "$win" ]; }
closed() { ! found_window; }

# 1. No tray host: closing the floating window quits after saving, leaving nothing behind;
#    once started again, a second launch hands over to the running program and exits.
ended() { ! alive; }
"$exe" >"$home/tandrel.log" 2>&1 &
app=$!
wait_for 300 found_window || fail "no window titled Tandrel appeared"
[ -f "$XDG_DATA_HOME/Tandrel/preferences.sqlite" ] || fail "the workspace was not stored"
wait_for 50 managed "$win" || fail "the window manager did not take the window"
wait_for 50 active "$win" || fail "the window has no focus"
xdotool key --clearmodifiers alt+F4
wait_for 100 ended || fail "closing the window without a tray left the program running"
wait "$app"
status=$?
[ $status -eq 0 ] || fail "the program ended with status $status after its window closed"
"$exe" >>"$home/tandrel.log" 2>&1 &
app=$!
wait_for 300 found_window || fail "no window after starting again"
timeout 20 "$exe" >>"$home/second.log" 2>&1 || fail "the second launch ended with status $?"
alive || fail "the second launch ended the running program"
echo "closing without a tray quit; a second launch handed over"

# 2. With a tray host the tray menu's last entry quits the program.
trayer --SetDockType true --SetPartialStrut true --edge top --align right --widthtype request \
    --height 32 >"$home/trayer.log" 2>&1 &
tray=$!
found_panel() { panel=$(xdotool search --name '^panel$' 2>/dev/null | head -n1); [ -n "$panel" ]; }
wait_for 100 found_panel || fail "trayer did not start"
# trayer's panel is sized to its icons: it shows once Tandrel's icon is embedded.
embedded() { viewable "$panel" && [ "$(xwininfo -id "$panel" | awk '/Width:/{print $2}')" -ge 16 ]; }
wait_for 100 embedded || fail "no tray icon was embedded"
eval "$(xdotool getwindowgeometry --shell "$panel")"
before=$(visible_windows)
xdotool mousemove --sync $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 3
menu_open() { [ "$(visible_windows)" -gt "$before" ]; }
wait_for 50 menu_open || fail "the tray menu did not open"
xdotool key Up Return
wait_for 100 ended || fail "Quit Tandrel from the tray menu did not end the program"
wait "$app"
status=$?
app=""
[ $status -eq 0 ] || fail "the program ended with status $status after Quit"
echo "tray menu quit the program"
