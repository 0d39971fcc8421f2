# Shared by the end-to-end scenarios: a private network namespace, an X
# server, the datagram receiver, and real X input to the program's windows.
#
# Every scenario re-runs itself inside a network namespace of its own, with a
# veth pair holding 192.168.0.10 and 192.168.0.20: the program's broadcasts to
# 192.168.0.255 stay inside that namespace and cannot leave the machine.

set -euo pipefail

enter_private_network_namespace() {
  if [ -z "${PERIODIX_IN_NETNS:-}" ]; then
    export PERIODIX_IN_NETNS=1
    # A mount namespace too, so that a scenario can mount small file systems
    # of its own.
    if [ "$(id -u)" -eq 0 ]; then
      exec unshare --net --mount -- "$0" "$@"
    else
      exec unshare --net --mount --map-root-user -- "$0" "$@"
    fi
  fi
  ip link set lo up
  # Both ends of the veth pair live in this namespace: 192.168.0.x exists only here.
  ip link add veth0 type veth peer name veth1
  ip addr add 192.168.0.10/24 dev veth0
  ip addr add 192.168.0.20/24 dev veth1
  ip link set veth0 up
  ip link set veth1 up
  # veth1 takes in what veth0 sends although the source is an address of this
  # namespace, so the receiver bound to veth1 sees what crossed the pair.
  echo 0 >/proc/sys/net/ipv4/conf/all/rp_filter
  echo 0 >/proc/sys/net/ipv4/conf/veth1/rp_filter
  echo 1 >/proc/sys/net/ipv4/conf/veth1/accept_local
}

WORK=""
PIDS=()

# xdotool, never waiting for ever (a focus change that never comes, say).
xdo() {
  timeout 10 xdotool "$@"
}

cleanup() {
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  # File systems a scenario mounted in its namespace go with it.
  [ -n "$WORK" ] && awk -v w="$WORK/" 'index($2, w) == 1 {print $2}' /proc/self/mounts | xargs -r -n1 umount -l
  [ -n "$WORK" ] && [ -z "${KEEP_E2E:-}" ] && rm -rf "$WORK"
}

fail() {
  echo "FAIL: $*" >&2
  [ -n "${FAIL_SCREENSHOT:-}" ] && import -window root "$FAIL_SCREENSHOT" 2>/dev/null
  if [ -n "$WORK" ] && [ -f "$WORK/datagrams" ]; then
    echo "--- datagrams received:" >&2
    cat "$WORK/datagrams" >&2
  fi
  if [ -n "$WORK" ] && [ -s "$WORK/periodix.log" ]; then
    echo "--- the program said:" >&2
    cat "$WORK/periodix.log" >&2
  fi
  if [ -n "$WORK" ] && [ -s "$WORK/xvfb.log" ]; then
    echo "--- Xvfb said:" >&2
    tail -n 20 "$WORK/xvfb.log" >&2
  fi
  if [ -n "$WORK" ]; then
    echo "--- windows:" >&2
    for w in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do xdotool getwindowname "$w" >&2; done
  fi
  exit 1
}

# wait_until SECONDS COMMAND...: polls the condition until it holds.
wait_until() {
  local seconds=$1
  shift
  local deadline=$(($(date +%s%N) + seconds * 1000000000))
  until "$@"; do
    [ "$(date +%s%N)" -lt "$deadline" ] || return 1
    sleep 0.05
  done
}

start_x() {
  WORK=$(mktemp -d)
  trap cleanup EXIT
  exec 5>"$WORK/display"
  # -noreset: the server stays up when its last client goes, between two runs of Periodix.
  Xvfb -displayfd 5 -screen 0 1024x768x24 -dpi 96 -nolisten tcp -noreset >"$WORK/xvfb.log" 2>&1 &
  PIDS+=($!)
  wait_until 10 test -s "$WORK/display" || fail "Xvfb did not start"
  export DISPLAY=":$(head -n1 "$WORK/display")"
  # On a busy machine the server may name its display before it takes clients.
  wait_until 20 xdo getdisplaygeometry >/dev/null 2>&1 || fail "Xvfb on $DISPLAY takes no clients"
  export QT_QPA_PLATFORM=xcb
  export XDG_RUNTIME_DIR="$WORK/runtime"
  mkdir -m 700 -p "$XDG_RUNTIME_DIR"
  # The game Periodix keeps for --resume stays in the scenario's folder.
  export XDG_STATE_HOME="$WORK/state"
}

# start_receiver: datagrams arriving over the veth pair go to $WORK/datagrams.
start_receiver() {
  "$RECEIVER" 7699 300 veth1 >"$WORK/datagrams" 2>"$WORK/receiver.log" &
  PIDS+=($!)
  wait_until 10 grep -q '^ready' "$WORK/datagrams" || fail "receiver did not start"
}

# start_periodix [OPTION...]
start_periodix() {
  "$PERIODIX" "$@" >"$WORK/periodix.log" 2>&1 &
  PERIODIX_PID=$!
  PIDS+=($PERIODIX_PID)
}

# start_session: X, the receiver and Periodix; SETTINGS is its settings
# window, which must open alone.
start_session() {
  start_x
  start_receiver
  start_periodix
  SETTINGS=$(window_id '^Setting$') || fail "the settings window did not open"
  xdotool search --onlyvisible --name '^Periodix$|/' >/dev/null 2>&1 && fail "the clock window showed before the settings"
  return 0
}

# open_set FILE TITLE [NETWORK]: starts Periodix (with the options in
# PERIODIX_OPTIONS, if any), loads the period set, types the broadcast network
# (nine digits) when one is given, and confirms; MAIN is then the clock
# window, whose title must match TITLE.
open_set() {
  start_periodix ${PERIODIX_OPTIONS[@]+"${PERIODIX_OPTIONS[@]}"}
  local settings
  settings=$(window_id '^Setting$') || fail "the settings window did not open"
  click "$settings" 170 250        # Load set
  choose_file "Load Period Set" "$1"
  if [ -n "${3:-}" ]; then
    click "$settings" 347 43
    keys "$settings" Home
    type_text "$3"
  fi
  click "$settings" 307 297        # Ok
  MAIN=$(window_id "$2") || fail "the clock window did not open"
}

# stop_periodix: ends the running Periodix and waits until it is gone.
stop_periodix() {
  kill "$PERIODIX_PID" 2>/dev/null || true
  # Gone or a zombie within ten seconds, or killed outright. (No watchdog
  # subshell: one killed early would run the session's clean-up trap.)
  local state
  for _ in $(seq 100); do
    state=$(ps -o stat= -p "$PERIODIX_PID" 2>/dev/null || true)
    [ -z "$state" ] || [[ "$state" == Z* ]] && break
    sleep 0.1
  done
  kill -9 "$PERIODIX_PID" 2>/dev/null || true
  wait "$PERIODIX_PID" 2>/dev/null || true
}

# window_id TITLE-REGEX: waits for a window whose title matches.
window_id() {
  local id=""
  local deadline=$(($(date +%s) + 30))
  while [ "$(date +%s)" -lt "$deadline" ]; do
    id=$(xdo search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# click WINDOW X Y: a real left click at client pixel X, Y of the window.
click() {
  xdo mousemove --window "$1" "$2" "$3" click 1
  sleep 0.1
}

# keys WINDOW KEY...: focuses the window and presses the keys.
keys() {
  local w=$1
  shift
  timeout 3 xdotool windowfocus --sync "$w" 2>/dev/null || xdo windowfocus "$w"
  xdo key --delay 30 "$@"
  sleep 0.1
}

type_text() {
  xdo type --delay 30 "$1"
  sleep 0.1
}

# colours WINDOW X Y W H: "red N black N yellow N green N" for that rectangle.
colours() {
  "$PROBE" "$@"
}

# colour_count NAME WINDOW X Y W H: how many pixels of that colour.
colour_count() {
  local name=$1
  shift
  colours "$@" | awk -v n="$name" '{for (i = 1; i < NF; i += 2) if ($i == n) print $(i + 1)}'
}

# The main window's rectangles at 96 DPI.
DIGITS="38 18 139 49"
END_LABEL="42 22 133 33"
BROADCAST_LAMP="200 0 15 19"

# The program's dialog boxes (error reports, input boxes, questions) carry
# its name alone as their title; so does the clock window until its first
# refresh, but that one is a tool window, not a dialog.
program_boxes() {
  local w
  for w in $(xdotool search --onlyvisible --name '^Periodix$' 2>/dev/null); do
    xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_DIALOG && echo "$w"
  done
  return 0
}

# No error report or other box of the program is open.
no_report_box() {
  [ -z "$(program_boxes)" ]
}

# program_box: waits for a box of the program and prints its window.
program_box() {
  local id
  for _ in $(seq 200); do
    id=$(program_boxes | head -n1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# answer_box KEY...: presses the keys on the box that is open, which must
# close then (a report answered with a, r or i; an input box with Escape).
answer_box() {
  local box
  box=$(program_box) || fail "no box to answer with $*"
  keys "$box" "$@"
  wait_until 5 bash -c "! xdotool search --onlyvisible --name '^Periodix\$' 2>/dev/null | grep -qx $box" ||
    fail "the box stayed open after $*"
}

# answer_input TEXT: types the answer into the input box that is open.
answer_input() {
  local box
  box=$(program_box) || fail "no input box"
  keys "$box" ctrl+a
  type_text "$1"
  keys "$box" Return
  wait_until 5 bash -c "! xdotool search --onlyvisible --name '^Periodix\$' 2>/dev/null | grep -qx $box" || true
}

# choose_file TITLE PATH: types the path into the file dialog of that title.
choose_file() {
  local dialog
  dialog=$(window_id "^$1\$") || fail "no dialog \"$1\""
  keys "$dialog" ctrl+a
  type_text "$2"
  keys "$dialog" Return
  # The first Return may only close the name completer's list, which the
  # dialog fills from another thread while the path is being typed.
  if ! wait_until 2 bash -c "! xdotool search --onlyvisible --name '^$1\$' >/dev/null 2>&1"; then
    keys "$dialog" Return
  fi
  wait_until 5 bash -c "! xdotool search --onlyvisible --name '^$1\$' >/dev/null 2>&1" || fail "the dialog \"$1\" stayed open"
}

# choose_file_replacing TITLE PATH: the same for a file that exists: the
# dialog asks before replacing it, and the operator answers Yes.
choose_file_replacing() {
  local dialog question=""
  dialog=$(window_id "^$1\$") || fail "no dialog \"$1\""
  keys "$dialog" ctrl+a
  type_text "$2"
  keys "$dialog" Return
  for _ in $(seq 50); do
    question=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | grep -vx "$dialog" | head -n1 || true)
    [ -n "$question" ] && break
    sleep 0.1
  done
  [ -n "$question" ] || fail "the dialog \"$1\" did not ask before replacing $2"
  keys "$question" y
  wait_until 5 bash -c "! xdotool search --onlyvisible --name '^$1\$' >/dev/null 2>&1" || fail "the dialog \"$1\" stayed open"
}

# The lines of the receiver's file, as "milliseconds payload".
timed_payloads() {
  grep -v '^ready' "$WORK/datagrams" | awk '{print $1, $3}'
}

# The payloads received so far, one per line.
payloads() {
  grep -v '^ready' "$WORK/datagrams" | awk '{print $3}'
}

received() {
  payloads | grep -qx -- "$1"
}

# screenshot WINDOW NAME: with SCREENSHOTS set to a folder (and ImageMagick
# installed), keeps a picture of the window for the documentation.
screenshot() {
  [ -n "${SCREENSHOTS:-}" ] || return 0
  sleep 0.3
  import -window "$1" "$SCREENSHOTS/$2.png"
}

# second_clock_during_timeout SHOWN: a second clock on another port of the
# operator's machine (192.168.0.10, inside this namespace) counts period 9 for
# fourteen seconds while Periodix stays paused; SHOWN (a command) must still
# hold then (a companion that moved to the second clock never comes back by
# itself).
second_clock_during_timeout() {
  timeout 30 "$CLOCK_SENDER" 192.168.0.10 192.168.0.255 7699 9 14 >"$WORK/sender.log" 2>&1 || # veth, in the namespace
    fail "the second clock: $(cat "$WORK/sender.log")"
  "$@" || fail "the companion left the paused clock for the second one"
}
