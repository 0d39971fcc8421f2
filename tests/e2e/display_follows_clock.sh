#!/usr/bin/env bash
# Periodix and periodix-display together on the namespace's network: the
# display, with the period set's legends, tenths in the last minute and the
# horn, follows the clock through the end of a countdown (the horn recorded
# from the sound device), a reset (no horn), the next period, start, pause, a
# correction, a cut link and a reset, as Periodix broadcasts inside the
# test's own network namespace; H sounds the horn on demand. The sound
# device is missing when the display starts and comes later: the horn follows.
# Then Periodix again with --hall-feed: its feed, four datagrams a second from
# the clock datagrams' own socket (a normal start sent none), is what the
# display follows, to the end with its horn, and a killed Periodix standing
# at the end is shown lost within 1.5 s.
#   display_follows_clock.sh PERIODIX RECEIVER PROBE DISPLAY
PERIODIX=$1
RECEIVER=$2
PROBE=$3
DISPLAY_PROGRAM=$4
CLOCK_SENDER=$5
. "$(dirname "$0")/e2e_lib.sh"
enter_private_network_namespace "$@"
start_x
start_receiver
"$RECEIVER" 7700 300 veth1 >"$WORK/feed" 2>>"$WORK/receiver.log" &
PIDS+=($!)
wait_until 10 grep -q '^ready' "$WORK/feed" || fail "the feed's receiver did not start"

printf 'TimeLeft\r\n1st Half\r\n00:03\r\n2nd Half\r\n10:00\r\n' >"$WORK/halves.ptm"
# The display's sound device is a file: ALSA's file plugin in front of its
# null device, set up in the display's own home.
# At first there is none (a sound server not started yet): the display says
# so, tries again, and finds the device once it is there.
mkdir -p "$WORK/home"
echo 'pcm.!default { type hw card 99 }' >"$WORK/home/.asoundrc"
: >"$WORK/horn.raw"
HOME="$WORK/home" "$DISPLAY_PROGRAM" --set "$WORK/halves.ptm" --horn --tenths >"$WORK/display.log" 2>&1 &
DISPLAY_PID=$!
PIDS+=($DISPLAY_PID)
display=$(window_id '^Periodix display: Waiting for the clock on port 7699$') || fail "the display is not waiting"
wait_until 10 grep -q 'no horn' "$WORK/display.log" || fail "no word of the missing sound device"
cat >"$WORK/home/.asoundrc" <<ALSA
pcm.!default {
  type file
  slave.pcm "null"
  file "$WORK/horn.raw"
  format "raw"
}
ALSA
wait_until 10 grep -q 'horn ready' "$WORK/display.log" || fail "the horn did not come back: $(cat "$WORK/display.log")"
# When the first sound comes, by the clock the receiver notes datagrams with.
(while [ ! -s "$WORK/horn.raw" ]; do sleep 0.005; done; date +%s%3N >"$WORK/horn.start") &
PIDS+=($!)

# shows TITLE-REST: waits until the display's title ends so.
shows() {
  wait_until "${2:-5}" bash -c "xdotool getwindowname $display | grep -qx 'Periodix display: $1'" ||
    fail "the display shows \"$(xdotool getwindowname "$display")\", not \"$1\""
}
horn_bytes() { stat -c %s "$WORK/horn.raw"; }

open_set "$WORK/halves.ptm" '^1st Half/00:03$'
main=$MAIN
shows '1st Half 00:03 Stopped'
xdo windowmove "$main" 800 600   # out of the display's way, for the pictures
screenshot "$display" display_window

keys "$main" s                     # start: the countdown runs out, in tenths
shows '1st Half 0\.[1-9]'
shows '1st Half 0\.0 E N D'
grep -c 'no horn' "$WORK/display.log" | grep -qx 1 || fail "$(cat "$WORK/display.log")"
wait_until 10 test -s "$WORK/horn.start" || fail "no horn"
# 16-bit samples at 48 kHz, one channel: the whole horn is there at once.
wait_until 5 bash -c "[ \$(stat -c %s '$WORK/horn.raw') -ge 115200 ]" || fail "a short horn: $(stat -c %s "$WORK/horn.raw")"
end=$(timed_payloads | awk '$2 == "p1t00:00" { print $1; exit }')
start=$(cat "$WORK/horn.start")
loud=$(od -An -v -td2 -w2 "$WORK/horn.raw" | awk '$1 > 2000 || $1 < -2000 { n++ } END { printf "%.2f", n / 48000 }')
# (The receiver may note the same broadcast a moment after the display heard it.)
[ -n "$end" ] && [ $((start - end)) -lt 200 ] && [ $((start - end)) -gt -1000 ] ||
  fail "the horn began at $start, the 00:00 datagram came at $end"
awk -v s="$loud" 'BEGIN { exit !(s >= 0.9 && s <= 1.6) }' || fail "the horn sounded $loud s"
echo "the horn began $((start - end)) ms after the 00:00 datagram and sounded $loud s"
sleep 5 # the silence after the end is what is tried here: still ended, no lost link
shows '1st Half 0\.0 E N D'

click "$main" 29 90                # reset: no horn
sleep 0.3
xdo key Down Return
shows '1st Half 00:03 Stopped'
after_end=$(horn_bytes)
click "$main" 185 130              # next
shows '2nd Half 10:00 Stopped'
keys "$main" s                     # start: above a minute, plain mm:ss
shows '2nd Half 09:58'
ip link set veth0 down             # the network goes while the clock counts
ip link set veth1 down
shows '2nd Half 09:5[0-9] (link lost)' 8
ip link set veth0 up
ip link set veth1 up
shows '2nd Half 09:[0-5][0-9]' 10
keys "$main" s                     # pause
shows '2nd Half 09:[0-5][0-9] Paused'
paused=$(xdotool getwindowname "$display")
second_clock_during_timeout shows "${paused#Periodix display: }" 1   # a time-out while the other court plays
click "$main" 19 30                # -1 s
shows '2nd Half 09:[0-5][0-9] Stopped'
click "$main" 29 90                # reset
sleep 0.3
xdo key Down Return
shows '2nd Half 10:00 Stopped'
[ "$(horn_bytes)" = "$after_end" ] || fail "a horn after the reset"
screenshot "$display" display_window_next

xdo key --window "$display" h      # the hall staff try the horn
wait_until 5 bash -c "[ \$(stat -c %s '$WORK/horn.raw') -gt $after_end ]" || fail "H sounded nothing"
echo "the display followed: $(xdotool getwindowname "$display")"

# The hall feed. A normal start sent nothing on its port.
[ "$(grep -vc '^ready' "$WORK/feed")" = 0 ] || fail "a normal start sent on port 7700: $(head -n 3 "$WORK/feed")"
stop_periodix
kill "$DISPLAY_PID" # a display started afresh, without the period set: the legends come with the feed
wait_until 10 bash -c "! xdotool search --onlyvisible --name '^Periodix display' >/dev/null 2>&1" ||
  fail "the display did not close"
HOME="$WORK/home" "$DISPLAY_PROGRAM" --horn --tenths >>"$WORK/display.log" 2>&1 &
DISPLAY_PID=$!
PIDS+=($DISPLAY_PID)
display=$(window_id '^Periodix display: Waiting for the clock on port 7699$') || fail "the display is not waiting"
PERIODIX_OPTIONS=(--hall-feed)
open_set "$WORK/halves.ptm" '^1st Half/00:03$'
main=$MAIN
wait_until 5 grep -q '"state":"stopped","period":1,"periods":2,"legend":"1st Half"' "$WORK/feed" ||
  fail "no hall feed: $(tail -n 3 "$WORK/feed")"
# Four a second while the clock stands: nine span two seconds, as the receiver timed them.
first=$(grep -c '"game"' "$WORK/feed")
wait_until 10 bash -c "[ \$(grep -c '\"game\"' '$WORK/feed') -ge $((first + 9)) ]" || fail "the feed is not repeated"
span=$(grep '"game"' "$WORK/feed" | sed -n "$((first + 1))p;$((first + 9))p" | awk 'NR == 1 {a = $1} NR == 2 {print $1 - a}')
[ "$span" -ge 1800 ] && [ "$span" -le 4000 ] || fail "nine feed datagrams of a stopped clock in $span ms"
clock_sender=$(tail -n 1 "$WORK/datagrams" | awk '{print $2}')
feed_sender=$(tail -n 1 "$WORK/feed" | awk '{print $2}')
[ "$clock_sender" = "$feed_sender" ] || fail "the feed came from $feed_sender, the clock datagrams from $clock_sender"
shows '1st Half 00:03 Stopped'
before_end=$(horn_bytes)
keys "$main" s                     # start: the feed's tenths to its end, and the horn
shows '1st Half 0\.[1-9]'
shows '1st Half 0\.0 E N D'
wait_until 5 bash -c "[ \$(stat -c %s '$WORK/horn.raw') -gt $before_end ]" || fail "no horn at the feed's end"
killed=$(date +%s%3N)
kill -9 "$PERIODIX_PID"            # its machine dies while the clock stands at the end
shows '1st Half 00:00 (link lost)' 5
lost_after=$(($(date +%s%3N) - killed))
[ "$lost_after" -le 1800 ] || fail "the dead clock was shown lost after $lost_after ms"
echo "nine feed datagrams in $span ms from $feed_sender; the dead clock was lost after $lost_after ms"

# A signed feed (its key refused while others may read it): a forger sending as the clock itself,
# from its address and port, with its game and the next count, changes nothing and sounds nothing.
printf 'the hall secret\n' >"$WORK/feed.key" && kill "$DISPLAY_PID"
timeout 10 "$DISPLAY_PROGRAM" --feed-key "$WORK/feed.key" >"$WORK/key.log" 2>&1 && fail "an open key was taken"
timeout 10 "$PERIODIX" --hall-feed-key "$WORK/feed.key" >>"$WORK/key.log" 2>&1 && fail "Periodix took an open key"
[ "$(grep -c 'others than its owner may read' "$WORK/key.log")" = 2 ] && chmod 600 "$WORK/feed.key" || fail "$(cat "$WORK/key.log")"
HOME="$WORK/home" "$DISPLAY_PROGRAM" --horn --feed-key "$WORK/feed.key" >>"$WORK/display.log" 2>&1 &
PIDS+=($!)
display=$(window_id '^Periodix display: Waiting for the clock on port 7699$') || fail "no signed display"
PERIODIX_OPTIONS=(--hall-feed-key "$WORK/feed.key")
open_set "$WORK/halves.ptm" '^1st Half/00:03$'
shows '1st Half 00:03 Stopped'
tail -n 1 "$WORK/feed" | grep -qxE '[0-9a-f]{64}' || fail "not signed: $(tail -n 2 "$WORK/feed")"
clock=$(grep '"game"' "$WORK/feed" | tail -n 1 | awk '{print $2}')
game=$(grep -o '"game":"[0-9a-f]*"' "$WORK/feed" | tail -n 1)
seq=$(($(grep -o '"seq":[0-9]*' "$WORK/feed" | tail -n 1 | cut -d: -f2) + 2))
before_forger=$(horn_bytes)
forged="{\"v\":1,\"seq\":$seq,$game,\"state\":\"ended\",\"period\":1,\"periods\":2,\"legend\":\"1st Half\",\"timer\":\"countdown\",\"length\":3,\"clock\":0.0,\"time\":\"00:00\"}"
python3 -c 'import socket, struct, sys  # a raw socket: the clock'"'"'s own address and port as the source
body = struct.pack("!HHHH", int(sys.argv[2]), 7700, 8 + len(sys.argv[3]), 0) + sys.argv[3].encode()
ip = struct.pack("!BBHHHBBH4s4s", 0x45, 0, 20 + len(body), 0, 0, 64, 17, 0, socket.inet_aton(sys.argv[1]), socket.inet_aton("192.168.0.255"))
s = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_RAW); s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
s.sendto(ip + body, ("192.168.0.255", 0))' "${clock%:*}" "${clock#*:}" "$forged" || fail "the forger could not send as $clock"
wait_until 5 grep -q "^[0-9]* $clock .*\"seq\":$seq,.*\"ended\"" "$WORK/feed" || fail "the forged datagram never came"
sleep 1 # what the display would show of it
shows '1st Half 00:03 Stopped'
[ "$(horn_bytes)" = "$before_forger" ] || fail "a horn from the forger"
