#!/usr/bin/env bash
# The operator builds a two-period set in the settings window, confirms it and
# runs the clock; a receiver on the namespace's network checks the datagrams.
#   settings_to_clock.sh PERIODIX RECEIVER
PERIODIX=$1
RECEIVER=$2
PROBE=${3:-}
. "$(dirname "$0")/e2e_lib.sh"
enter_private_network_namespace "$@"
start_session
settings=$SETTINGS

# Period 1: "1st Half", 20 minutes (two page steps of the minutes bar).
click "$settings" 180 103          # the legend box
type_text "1st Half"
keys "$settings" Tab Tab Page_Down Page_Down   # to the minutes bar, +10 +10
click "$settings" 68 213           # Add Period
# Period 2: "2nd Half", the same length.
click "$settings" 180 103
keys "$settings" ctrl+a
type_text "2nd Half"
click "$settings" 68 213
click "$settings" 22 52            # Countdown timer
screenshot "$settings" settings_window
click "$settings" 307 297          # Ok

main=$(window_id '^1st Half/20:00$') || fail "the main window did not show the first period"
wait_until 5 received p1t20:00 || fail "no first clock datagram"

keys "$main" s                     # start
wait_until 6 received p1t19:58 || fail "the clock did not run"
screenshot "$main" main_window_running
keys "$main" s                     # pause
wait_until 5 received pause || fail "no pause datagram"
screenshot "$main" main_window_paused
stop_periodix

# Every datagram came from the namespace's network, in order, one per refresh.
senders=$(grep -v '^ready' "$WORK/datagrams" | awk '{print $2}' | sed 's/:[0-9]*$//' | sort -u)
[[ "$senders" =~ ^192\.168\.0\.(10|20)$ ]] || fail "datagrams from $senders"
got=$(payloads | tr '\n' ' ')
case "$got" in
  "p1t20:00 p1t19:59 p1t19:58 pause "|"p1t20:00 p1t19:59 p1t19:58 p1t19:57 pause ") ;;
  *) fail "unexpected datagrams: $got" ;;
esac
echo "datagrams: $got"
