#!/usr/bin/env bash
# The network failing under a running clock, and broadcast addresses that
# lead nowhere: no error report, the clock keeps time, and the sends resume.
#   network_faults.sh PERIODIX RECEIVER PROBE
PERIODIX=$1
RECEIVER=$2
PROBE=$3
EXAMPLES=$(cd "$(dirname "$0")/../../examples" && pwd)
. "$(dirname "$0")/e2e_lib.sh"
enter_private_network_namespace "$@"
start_x
start_receiver

# open_game NETWORK: Periodix with the basketball set and that broadcast
# network ("" keeps the proposal).
open_game() {
  open_set "$EXAMPLES/basketball.ptm" '^1st Quarter/10:00$' "$1"
}

count() { grep -vc '^ready' "$WORK/datagrams" || true; }

# 1. The interfaces go down for three seconds while the clock runs.
open_game ""
wait_until 5 received p1t10:00 || fail "no first datagram"
keys "$MAIN" s
wait_until 5 received p1t09:59 || fail "the clock did not run"
started=$(timed_payloads | awk '$2 == "p1t09:59" {printf "%.0f\n", $1 - 1000}')
ip link set veth0 down
ip link set veth1 down
sleep 3
no_report_box || fail "a report opened while the network was down"
ip link set veth0 up
ip link set veth1 up
before=$(count)
wait_until 10 bash -c "[ \$(grep -vc '^ready' '$WORK/datagrams') -gt $before ]" || fail "the sends did not resume"
read -r at payload < <(timed_payloads | tail -n 1)
seconds=${payload#p1t}
left=$((10#${seconds%:*} * 60 + 10#${seconds#*:}))
ran=$(( (at - started + 500) / 1000 ))
echo "after the outage: $payload, $ran s after the start"
[ $((600 - left - ran)) -ge -1 ] && [ $((600 - left - ran)) -le 1 ] || fail "the clock lost time: $payload after $ran s"
keys "$MAIN" s
wait_until 3 received pause || fail "no pause after the outage"
no_report_box || fail "an error report is open"
stop_periodix

# 2. Broadcasting off, an address no network has, an address beyond 255:
#    the clock runs, nothing is sent, nothing is reported.
for address in 000000000 010001002 999000000; do
  before=$(count)
  open_game "$address"
  [ "$address" != 000000000 ] || [ "$(colour_count red "$MAIN" $BROADCAST_LAMP)" -gt 5 ] || fail "the lamp is not red"
  keys "$MAIN" s
  window_id '^1st Quarter/09:58$' >/dev/null || fail "the clock did not run with $address"
  keys "$MAIN" s
  no_report_box || fail "an error report opened with $address"
  stop_periodix
  [ "$(count)" -eq "$before" ] || fail "datagrams arrived with $address: $(payloads | tail -n 3 | tr '\n' ' ')"
  echo "$address: ran, sent nothing here, reported nothing"
done
