#!/usr/bin/env bash
# Every kind of box the operator can be shown, answered for real with X input
# in the running program: error reports (Abort, Retry, Ignore), input boxes
# (an answer, Cancel), the questions and the file dialogs. Whatever the answer
# but Abort, Periodix goes on running: its settings window still works and its
# clock still counts, which only a live program's datagrams can show. Last,
# saving as an operator whom file permissions bind: through a link, and onto
# a read-only file.
#   operator_answers.sh PERIODIX RECEIVER PROBE CLOSE_WINDOW
PERIODIX=$1
RECEIVER=$2
PROBE=$3
CLOSE_WINDOW=$4
. "$(dirname "$0")/e2e_lib.sh"
enter_private_network_namespace "$@"
start_x
start_receiver

running() {
  local state
  state=$(ps -o stat= -p "$PERIODIX_PID" 2>/dev/null || true)
  [ -n "$state" ] && [[ "$state" != Z* ]]
}

# answer_reports KEY: answers every report that comes, one after another,
# with the same key; ANSWERED says how many there were.
answer_reports() {
  ANSWERED=0
  while [ $ANSWERED -lt 20 ]; do
    wait_until 3 bash -c '[ -n "$(program_boxes)" ]' || break
    answer_box "$1"
    ANSWERED=$((ANSWERED + 1))
  done
}
export -f program_boxes

# 1. The settings window closed at start-up: the hand-off finds no period and
#    reports; Retry fails again, Ignore goes on. The clock window stays up
#    and answers the S key.
start_periodix
settings=$(window_id '^Setting$') || fail "the settings window did not open"
"$CLOSE_WINDOW" "$settings"
answer_box r
answer_reports i
echo "closed settings: Retry, then $ANSWERED reports answered Ignore"
wait_until 5 bash -c "xdotool search --onlyvisible --name '^Periodix\$' >/dev/null" || fail "no clock window"
main=$(xdotool search --onlyvisible --name '^Periodix$' | head -n1)
sleep 1
running || fail "Periodix ended after Ignore"
# With no period there is nothing to count or send, but the window still
# starts and pauses: black digits, then red again.
keys "$main" s
wait_until 3 test "$(colour_count black "$main" $DIGITS)" -gt 100 || fail "S did not start: $(colours "$main" $DIGITS)"
keys "$main" s
wait_until 3 test "$(colour_count red "$main" $DIGITS)" -gt 100 || fail "S did not pause: $(colours "$main" $DIGITS)"
running || fail "Periodix ended"
stop_periodix

# 2. Abort in a report ends the program at once.
start_periodix
settings=$(window_id '^Setting$') || fail "the settings window did not open"
"$CLOSE_WINDOW" "$settings"
box=$(program_box) || fail "no report"
keys "$box" a
wait_until 5 bash -c "! kill -0 $PERIODIX_PID 2>/dev/null || ps -o stat= -p $PERIODIX_PID | grep -q '^Z'" ||
  fail "Abort did not end Periodix"
status=0
wait "$PERIODIX_PID" || status=$?
[ "$status" -eq 1 ] || fail "Abort ended Periodix with status $status"
echo "Abort: ended with status $status"

# 3. A failed load and a failed save in the settings window, then a set whose
#    periods are asked for, answered with Cancel at the hand-off and at Next.
start_periodix
settings=$(window_id '^Setting$') || fail "the settings window did not open"
: >"$WORK/empty.ptm"
click "$settings" 170 250          # Load set: an empty file has no first line
choose_file "Load Period Set" "$WORK/empty.ptm"
answer_box r
answer_box i
no_report_box || fail "a report is still open after the failed load"

legend='<b>OT</b> [*]'
click "$settings" 180 103
type_text "$legend"
click "$settings" 138 171          # Ask me
click "$settings" 68 213           # Add Period
click "$settings" 180 103
keys "$settings" ctrl+a
type_text "2nd OT"
click "$settings" 68 213
click "$settings" 22 52            # Countdown timer
click "$settings" 170 250          # Load set with unsaved rows: the question
box=$(program_box) || fail "no question"
keys "$box" n                      # No: the rows stay
wait_until 3 no_report_box || fail "the question stayed open"

mkdir "$WORK/sealed"                # a read-only file system of this namespace
mount -t tmpfs -o ro,size=64k tmpfs "$WORK/sealed"
click "$settings" 68 250           # Save set where no file can be made
choose_file "Save Period Set" "$WORK/sealed/set.ptm"
answer_box r
answer_reports i
echo "failed save: Retry, then $ANSWERED reports answered Ignore"
[ -z "$(ls -A "$WORK/sealed")" ] || fail "files appeared: $(ls -A "$WORK/sealed")"
running || fail "Periodix ended after the failed save"

click "$settings" 307 297          # Ok: the first period is asked for
answer_box Escape                  # Cancel on the minutes
answer_box r                       # Retry: asked again
answer_input 1
answer_box Escape                  # Cancel on the seconds
answer_box i                       # Ignore: the seconds stay -1, so 00:59
main=$(window_id '/00:59$') || fail "the clock window did not show 00:59"
title=$(xdotool getwindowname "$main")
[ "$title" = "$legend/00:59" ] || fail "caption: $title"
keys "$main" s
wait_until 5 received p1t00:58 || fail "the clock did not count after the hand-off"
keys "$main" s
wait_until 3 received pause || fail "no pause"

click "$main" 29 90                # reset, which lets the operator move on
sleep 0.3
xdo key Down Return                # "Yes Reset time"
wait_until 3 bash -c "[ \"\$(grep -c 'p1t00:59' '$WORK/datagrams')\" -ge 2 ]" || fail "reset sent nothing"
click "$main" 185 130              # Next: Cancel, Retry, 5 minutes; Cancel on the seconds, Ignore
answer_box Escape
answer_box r
answer_input 5
answer_box Escape
answer_box i
wait_until 3 received p2t04:59 || fail "the second period was not loaded"
sleep 1
running || fail "Periodix ended after Ignore on the seconds prompt"
keys "$main" s
wait_until 5 received p2t04:57 || fail "the clock did not count after Next"
keys "$main" s
no_report_box || fail "a report is open"
running || fail "Periodix ended"
stop_periodix
echo "datagrams: $(payloads | tr '\n' ' ')"

# 4. Saving as "nobody" (root passes permission bits): onto a set linked in
#    from a shared folder, which is written while the link stays; and onto a
#    read-only file, which is refused and left as it was.
if [ "$(id -u)" -ne 0 ] || ! setpriv --reuid=65534 --regid=65534 --clear-groups true 2>/dev/null; then
  echo "saving as nobody: skipped, no other user here"
  exit 0
fi
chmod 755 "$WORK"
mkdir -p "$WORK/bin" "$WORK/shared" "$WORK/home" "$WORK/nobody/runtime"
cp "$PERIODIX" "$WORK/bin/periodix"   # the build folder may be closed to others
old=$'TimeLeft\r\nOld\r\n10:00\r\n'
printf '%s' "$old" >"$WORK/shared/set.ptm"
printf '%s' "$old" >"$WORK/home/readonly.ptm"
ln -s ../shared/set.ptm "$WORK/home/link.ptm"
chown -R 65534:65534 "$WORK/shared" "$WORK/home" "$WORK/nobody"
chmod 700 "$WORK/nobody/runtime"
chmod 444 "$WORK/home/readonly.ptm"
setpriv --reuid=65534 --regid=65534 --clear-groups \
  env HOME="$WORK/nobody" XDG_RUNTIME_DIR="$WORK/nobody/runtime" "$WORK/bin/periodix" >"$WORK/periodix.log" 2>&1 &
PERIODIX_PID=$!
PIDS+=($PERIODIX_PID)
settings=$(window_id '^Setting$') || fail "the settings window did not open for nobody"
click "$settings" 180 103
type_text "New"
keys "$settings" Tab Down          # one second
click "$settings" 68 213           # Add Period
click "$settings" 68 250           # Save set, through the link
choose_file_replacing "Save Period Set" "$WORK/home/link.ptm"
no_report_box || fail "saving through the link reported"
[ -L "$WORK/home/link.ptm" ] || fail "the link was replaced"
head -c 15 "$WORK/shared/set.ptm" | cmp -s - <(printf 'TimePass\r\nNew\r\n') ||
  fail "the shared set was not written: $(od -c "$WORK/shared/set.ptm" | head -n 2)"
click "$settings" 68 250           # Save set, onto the read-only file
choose_file_replacing "Save Period Set" "$WORK/home/readonly.ptm"
answer_reports i
[ "$ANSWERED" -ge 1 ] || fail "the read-only file was not refused"
printf '%s' "$old" | cmp -s - "$WORK/home/readonly.ptm" || fail "the read-only file changed"
[ "$(ls -A "$WORK/shared" | tr '\n' ' ')" = "set.ptm " ] || fail "stray files: $(ls -A "$WORK/shared")"
[ "$(ls -A "$WORK/home" | tr '\n' ' ')" = "link.ptm readonly.ptm " ] || fail "stray files: $(ls -A "$WORK/home")"
running || fail "Periodix ended"
stop_periodix
echo "saving as nobody: the link kept and its file written, the read-only file refused ($ANSWERED reports)"
