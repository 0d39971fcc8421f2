#!/usr/bin/env bash
# Periodix, periodix-web and a headless Chromium together in the test's own
# network namespace: the page follows the clock through the start, the end of
# a countdown period (with the horn), the next period, a pause and a lost link,
# and comes back by itself when periodix-web restarts.
#   web_follows_clock.sh PERIODIX RECEIVER PROBE WEB PAGE_PROBE
PERIODIX=$1
RECEIVER=$2
PROBE=$3
WEB=$4
PAGE_PROBE=$5
. "$(dirname "$0")/e2e_lib.sh"
enter_private_network_namespace "$@"
start_x

start_web() {
  "$WEB" >"$WORK/web.log" 2>&1 &
  WEB_PID=$!
  PIDS+=($WEB_PID)
  wait_until 10 grep -q 'the page at http://127.0.0.1:8699/' "$WORK/web.log" || fail "periodix-web did not start: $(cat "$WORK/web.log")"
}
start_web

# The page as an overlay: transparent, time only for the picture, the horn on.
chromium --headless=new --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
  --disable-component-update --disable-sync --autoplay-policy=no-user-gesture-required \
  --user-data-dir="$WORK/chromium" --remote-debugging-port=9222 --window-size=960,540 \
  "http://127.0.0.1:8699/?horn=1&transparent=1" >"$WORK/chromium.log" 2>&1 &
PIDS+=($!)

page() { "$PAGE_PROBE" 9222 eval "$1" 2>/dev/null; }
text_of() { page "document.getElementById('$1').textContent"; }
# page_shows ID TEXT: waits until the element shows the text.
page_shows() {
  wait_until "${3:-6}" bash -c "[ \"\$('$PAGE_PROBE' 9222 eval \"document.getElementById('$1').textContent\" 2>/dev/null)\" = '$2' ]" ||
    fail "the page's $1 shows \"$(text_of "$1")\", not \"$2\""
}
page_shows state "Waiting for the clock" 20

printf 'TimeLeft\r\nFinal\r\n00:03\r\nExtra\r\n10:00\r\n' >"$WORK/short.ptm"
open_set "$WORK/short.ptm" '^Final/00:03$'
main=$MAIN
page_shows period "Period 1"
page_shows time "00:03"

keys "$main" s                     # start: the countdown runs out
page_shows time "00:00"
[ "$(page 'document.body.dataset.horns')" = 1 ] || fail "no horn at 00:00: $(page 'document.body.dataset.horns')"
click "$main" 185 130              # next
page_shows period "Period 2"
page_shows time "10:00"
keys "$main" s                     # start
page_shows time "09:58"
[ "$(page 'document.body.dataset.status')" = running ] || fail "status $(page 'document.body.dataset.status')"
keys "$main" s                     # pause
page_shows state "Paused"
json=$(curl -s http://127.0.0.1:8699/clock.json)
[[ "$json" == *'"state":"paused"'* && "$json" == *'"period":2'* ]] || fail "clock.json: $json"
if [ -n "${SCREENSHOTS:-}" ]; then
  "$PAGE_PROBE" 9222 screenshot "$SCREENSHOTS/web_overlay.png" || fail "no screenshot"
fi

keys "$main" s                     # start again, then the network goes
page_shows state ""
wait_until 5 bash -c "[ \"\$('$PAGE_PROBE' 9222 eval 'document.body.dataset.status' 2>/dev/null)\" = running ]" || fail "not running"
ip link set veth0 down
ip link set veth1 down
page_shows link "LINK LOST" 8
[ "$(page 'document.body.dataset.status')" = lost ] || fail "status $(page 'document.body.dataset.status')"
ip link set veth0 up
ip link set veth1 up
page_shows link "" 10
echo "the page followed: $(text_of period) $(text_of time)"

# periodix-web restarts: the page connects again by itself.
kill "$WEB_PID"
wait "$WEB_PID" 2>/dev/null || true
wait_until 5 bash -c "[ \"\$('$PAGE_PROBE' 9222 eval 'document.body.dataset.status' 2>/dev/null)\" = disconnected ]" ||
  fail "the page did not notice"
start_web
wait_until 15 bash -c "[ \"\$('$PAGE_PROBE' 9222 eval 'document.body.dataset.status' 2>/dev/null)\" = running ]" ||
  fail "the page did not come back: $(page 'document.body.dataset.status')"
page_shows period "Period 2"
keys "$main" s
page_shows state "Paused"
stop_periodix
echo "reconnected after a restart: $(text_of period) $(text_of time) $(text_of state)"
