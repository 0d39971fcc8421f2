#!/usr/bin/env bash
# Periodix and periodix-display together on the namespace's network: the
# display, with the period set's legends, follows the clock through start,
# pause, a correction, a reset, the next period and the end of a period, as
# Periodix broadcasts to 192.168.0.255 inside the test's own network namespace.
#   display_follows_clock.sh PERIODIX RECEIVER PROBE DISPLAY
PERIODIX=$1
RECEIVER=$2
PROBE=$3
DISPLAY_PROGRAM=$4
EXAMPLES=$(cd "$(dirname "$0")/../../examples" && pwd)
. "$(dirname "$0")/e2e_lib.sh"
enter_private_network_namespace "$@"
start_x

"$DISPLAY_PROGRAM" --set "$EXAMPLES/basketball.ptm" >"$WORK/display.log" 2>&1 &
PIDS+=($!)
display=$(window_id '^Periodix display: Waiting for the clock on port 7699$') || fail "the display is not waiting"

# shows TITLE-REST: waits until the display's title ends so.
shows() {
  wait_until 5 bash -c "xdotool getwindowname $display | grep -qx 'Periodix display: $1'" ||
    fail "the display shows \"$(xdotool getwindowname "$display")\", not \"$1\""
}

open_set "$EXAMPLES/basketball.ptm" '^1st Quarter/10:00$'
main=$MAIN
shows '1st Quarter 10:00 Stopped'
xdo windowmove "$main" 800 600   # out of the display's way, for the pictures
screenshot "$display" display_window

keys "$main" s                     # start
shows '1st Quarter 09:58'
keys "$main" s                     # pause
shows '1st Quarter 09:5[0-9] Paused'
click "$main" 19 30                # -1 s
shows '1st Quarter 09:5[0-9] Stopped'
click "$main" 29 90                # reset
sleep 0.3
xdo key Down Return
shows '1st Quarter 10:00 Stopped'
click "$main" 185 130              # next
shows '2nd Quarter 10:00 Stopped'
screenshot "$display" display_window_next
echo "the display followed: $(xdotool getwindowname "$display")"
