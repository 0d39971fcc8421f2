#!/usr/bin/env bash
# A whole game as the operator plays it, with real X input: a set built in the
# settings window, saved, loaded back and confirmed; then start, the S key,
# pause, corrections, reset, an "Ask me" period, previous, the end of a
# countdown period with "E N D". A receiver on the namespace's network checks
# every datagram, its order and the spacing of the running clock's datagrams.
# Then the machine fails twice: Periodix is killed while paused and while
# counting, and --resume takes the game up each time.
#   game_acceptance.sh PERIODIX RECEIVER PROBE
PERIODIX=$1
RECEIVER=$2
PROBE=$3
. "$(dirname "$0")/e2e_lib.sh"
enter_private_network_namespace "$@"
start_session
settings=$SETTINGS

# 1st Half, three seconds: the seconds bar follows the legend in the tab order.
click "$settings" 180 103
type_text "1st Half"
keys "$settings" Tab Down Down Down
click "$settings" 68 213
# Overtime, asked for when the game gets there.
click "$settings" 180 103
keys "$settings" ctrl+a
type_text "Overtime"
click "$settings" 138 171          # "I don't know. Ask me for this period."
click "$settings" 68 213
click "$settings" 138 171
# 2nd Half, 20 minutes.
click "$settings" 180 103
keys "$settings" ctrl+a
type_text "2nd Half"
keys "$settings" Tab Up Up Up Tab Page_Down Page_Down
click "$settings" 68 213
click "$settings" 22 52            # Countdown timer

# Saved, then loaded back.
set_file="$WORK/game.ptm"
click "$settings" 68 250           # Save set
choose_file "Save Period Set" "$set_file"
expected=$'TimeLeft\r\n1st Half\r\n00:03\r\nOvertime\r\nAsk me\r\n2nd Half\r\n20:00\r\n'
printf '%s' "$expected" | cmp -s - "$set_file" || fail "saved set: $(od -c "$set_file" | head)"
click "$settings" 22 30            # Clock timer: the file brings the countdown back
click "$settings" 170 250          # Load set
choose_file "Load Period Set" "$set_file"
click "$settings" 307 297          # Ok

main=$(window_id '^1st Half/00:03$') || fail "the clock window did not show the first period"
wait_until 5 received p1t00:03 || fail "no first clock datagram"
[ "$(colour_count red "$main" $DIGITS)" -gt 100 ] || fail "the digits are not red: $(colours "$main" $DIGITS)"

keys "$main" s                                    # start
wait_until 6 received p1t00:00 || fail "the period did not run out"
wait_until 3 test "$(colour_count yellow "$main" $END_LABEL)" -gt 50 || fail "no E N D"
click "$main" 185 90                              # pause (the button)
wait_until 3 received pause || fail "no pause datagram"
[ "$(colour_count yellow "$main" $END_LABEL)" -eq 0 ] || fail "E N D still shown after the pause"
click "$main" 195 56                              # +10 s: back to the full length
click "$main" 19 30                               # -1 s
wait_until 3 received p1t00:02 || fail "the corrections sent nothing"
click "$main" 29 90                               # reset: the pop-up menu
sleep 0.3
xdo key Down Return                           # "Yes Reset time"
wait_until 3 bash -c "[ \"\$(grep -c 'p1t00:03' '$WORK/datagrams')\" -ge 3 ]" || fail "reset sent nothing"
click "$main" 185 130                             # next: Overtime asks
answer_input 1
answer_input 30
wait_until 3 received p2t01:30 || fail "the asked length was not loaded"
click "$main" 107 130                             # previous: nothing asked
wait_until 3 bash -c "[ \"\$(grep -c 'p1t00:03' '$WORK/datagrams')\" -ge 4 ]" || fail "previous sent nothing"
click "$main" 185 130                             # next again: asked again
answer_input 0
answer_input 2
wait_until 3 received p2t00:02 || fail "the second answer was not loaded"
click "$main" 107 90                              # start (the button)
wait_until 5 received p2t00:00 || fail "Overtime did not run out"
sleep 0.3
keys "$main" s                                    # S in the Ended state pauses
wait_until 3 bash -c "[ \"\$(grep -c ' pause\$' '$WORK/datagrams')\" -ge 2 ]" || fail "S did not pause"
click "$main" 185 130                             # next: the 2nd Half
wait_until 3 received p3t20:00 || fail "the 2nd Half was not loaded"
keys "$main" s
wait_until 6 received p3t19:57 || fail "the 2nd Half did not run"
keys "$main" s
wait_until 3 bash -c "[ \"\$(grep -c ' pause\$' '$WORK/datagrams')\" -ge 3 ]" || fail "the last pause was not sent"
no_report_box || fail "an error report is open"

got=$(payloads | tr '\n' ' ')
want="p1t00:03 p1t00:02 p1t00:01 p1t00:00 pause p1t00:03 p1t00:02 p1t00:03 p2t01:30 p1t00:03 p2t00:02 p2t00:01 p2t00:00 pause p3t20:00 p3t19:59 p3t19:58 p3t19:57 "
case "$got" in
  "${want}pause "|"${want}p3t19:56 pause ") ;;
  *) fail "datagrams: $got" ;;
esac

# The running clock's datagrams come a second apart, by the receiver's clock.
timed_payloads | awk '
  BEGIN { split("p1t00:02>p1t00:01 p1t00:01>p1t00:00 p2t00:01>p2t00:00 p3t19:59>p3t19:58 p3t19:58>p3t19:57", p, " ")
          for (i in p) ticking[p[i]] = 1 }
  prev != "" && ((prevPayload ">" $2) in ticking) {
    gap = $1 - prev; d = gap - 1000; if (d < 0) d = -d; if (d > worst) worst = d; n++
    if (d > 300) bad = bad " " prevPayload "->" $2 "=" gap "ms"
  }
  { prev = $1; prevPayload = $2 }
  END { printf "tick spacing: %d gaps between running datagrams, worst %d ms off a second\n", n, worst
        if (n < 5 || bad != "") { print "late:" bad; exit 1 } }
' || fail "tick spacing"
echo "datagrams: $got"

# kill_and_resume MAX-BEHIND: the machine fails (SIGKILL); --resume opens the
# clock window stopped (red) in the 2nd Half, at most MAX-BEHIND seconds
# behind the clock's last datagram (when it died between sending and
# keeping), and sends its time at once.
seconds() { echo $((10#${1%%:*} * 60 + 10#${1##*:})); }
kill_and_resume() {
  kill -9 "$PERIODIX_PID"
  wait "$PERIODIX_PID" 2>/dev/null || true
  local last before behind
  last=$(payloads | grep '^p3t' | tail -n1)
  before=$(payloads | wc -l)
  start_periodix --resume
  MAIN=$(window_id '^2nd Half/') || fail "--resume showed no clock window"
  resumed=$(xdotool getwindowname "$MAIN")
  behind=$(($(seconds "${resumed#*/}") - $(seconds "${last#p3t}")))
  [ "$behind" -ge 0 ] && [ "$behind" -le "$1" ] || fail "resumed at $resumed, the clock had sent $last"
  wait_until 5 bash -c "grep -v '^ready' '$WORK/datagrams' | tail -n +$((before + 1)) | grep -q ' p3t${resumed#*/}\$'" ||
    fail "--resume sent no datagram"
  [ "$(colour_count red "$MAIN" $DIGITS)" -gt 100 ] || fail "resumed digits not red: $(colours "$MAIN" $DIGITS)"
  echo "killed at $last, resumed at ${resumed#*/}"
}
kill_and_resume 0                                 # paused: exactly where it stood
keys "$MAIN" s                                    # play resumes
wait_until 6 bash -c "[ \"\$(grep -c ' p3t' '$WORK/datagrams')\" -ge $(($(grep -c ' p3t' "$WORK/datagrams") + 3)) ]" ||
  fail "the resumed clock does not count"
kill_and_resume 1                                 # counting

# starts_keeping_nothing SAID [NAME=VALUE...]: a normal start, in that
# environment, runs and shows its settings window, but keeps no game and says
# SAID on stderr.
starts_keeping_nothing() {
  env "${@:2}" "$PERIODIX" >"$WORK/second.log" 2>&1 &
  SECOND=$!
  PIDS+=($SECOND)
  wait_until 10 grep -q "$1" "$WORK/second.log" || fail "a start that keeps nothing: $(cat "$WORK/second.log")"
  window_id '^Setting$' >/dev/null || fail "a start that keeps nothing shows no settings window"
  kill "$SECOND"
  wait "$SECOND" 2>/dev/null || true
}

# A second Periodix while this one holds the game: --resume refuses and names
# the holder; a normal start runs, but keeps nothing.
status=0
"$PERIODIX" --resume >"$WORK/second.log" 2>&1 || status=$?
[ "$status" -eq 2 ] && grep -q "kept by another Periodix still running (process $PERIODIX_PID)" "$WORK/second.log" ||
  fail "a second --resume: $status $(cat "$WORK/second.log")"
starts_keeping_nothing "another Periodix (process $PERIODIX_PID) keeps the game .* this one keeps nothing"
stop_periodix

# Nothing kept: --resume says so and ends with status 2.
status=0
XDG_STATE_HOME="$WORK/nothing" "$PERIODIX" --resume >"$WORK/resume.log" 2>&1 || status=$?
[ "$status" -eq 2 ] && grep -q "no game is kept" "$WORK/resume.log" || fail "--resume with nothing kept: $status $(cat "$WORK/resume.log")"

# No lock can be made (a read-only state folder): never taken for one held.
# --resume refuses with status 2; a normal start keeps nothing and says so.
mkdir "$WORK/read-only" && mount -t tmpfs -o ro tmpfs "$WORK/read-only"
status=0
XDG_STATE_HOME="$WORK/read-only" "$PERIODIX" --resume >"$WORK/resume.log" 2>&1 || status=$?
[ "$status" -eq 2 ] && grep -q "cannot resume: the game in .* cannot be locked (Read-only file system)" "$WORK/resume.log" ||
  fail "--resume without a lock: $status $(cat "$WORK/resume.log")"
starts_keeping_nothing "cannot be locked (Read-only file system); this one keeps nothing" XDG_STATE_HOME="$WORK/read-only"

# A FIFO where the game is kept: refused at once, nothing waits for a writer.
mkdir -p "$WORK/fifo/periodix" && mkfifo "$WORK/fifo/periodix/game"
status=0
XDG_STATE_HOME="$WORK/fifo" timeout 10 "$PERIODIX" --resume >"$WORK/resume.log" 2>&1 || status=$?
[ "$status" -eq 2 ] && grep -q "game: not a regular file" "$WORK/resume.log" ||
  fail "--resume on a FIFO: $status $(cat "$WORK/resume.log")"
