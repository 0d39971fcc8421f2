#!/usr/bin/env bash
# Periodix, periodix-web and a headless Chromium together in the test's own
# network namespace: the page follows the clock, with the legends of the
# period set, through the start, the end of a countdown period (with the horn,
# and no lost link in the silence after it), another clock on the network,
# the next period, a pause and a lost link; it says when periodix-web stalls
# and comes back by itself when it resumes or restarts; its digits fit.
#   web_follows_clock.sh PERIODIX RECEIVER PROBE WEB PAGE_PROBE LIVE_CLIENTS
# Halfway, nginx in front of periodix-web serves the page over HTTPS to a
# second Chromium and to twenty pages of their own addresses. Last, on
# loopback alone, it, periodix-display and a third listener all hear the clock.
PERIODIX=$1
RECEIVER=$2
PROBE=$3
WEB=$4
PAGE_PROBE=$5
LIVE_CLIENTS=$6
CLOCK_SENDER=$7
DISPLAY_PROGRAM=$8
. "$(dirname "$0")/e2e_lib.sh"
enter_private_network_namespace "$@"
start_x

printf 'TimeLeft\r\nFinal\r\n00:03\r\nExtra\r\n10:00\r\nOvertime\r\nAsk me\r\n' >"$WORK/short.ptm"
# A set periodix-web cannot read stops it, naming the file and the line.
for broken in 'TimeLeft\r\nFinal\r\n|line 3: Input past end of file' 'TimeLeft\rA\r1:00\rB\rten\r|line 5: Type mismatch'; do
  printf "${broken%|*}" >"$WORK/broken.ptm"
  "$WEB" --set "$WORK/broken.ptm" >"$WORK/broken.log" 2>&1 && fail "periodix-web started on a broken set"
  grep -q "broken.ptm, ${broken#*|}" "$WORK/broken.log" || fail "broken set: $(cat "$WORK/broken.log")"
done
# A FIFO is no set: refused at once, never waited on.
mkfifo "$WORK/fifo.ptm"
status=0
timeout 10 "$WEB" --set "$WORK/fifo.ptm" >"$WORK/broken.log" 2>&1 || status=$?
[ "$status" -eq 2 ] && grep -q "fifo.ptm: not a period set" "$WORK/broken.log" || fail "FIFO set: $status $(cat "$WORK/broken.log")"
# A pub/sub server's address that is not HTTP's is refused at once.
status=0
timeout 10 "$WEB" --publish ftp://127.0.0.1/publish >"$WORK/broken.log" 2>&1 || status=$?
[ "$status" -eq 2 ] && grep -q "ftp://127.0.0.1/publish: not an http:// or https:// address" "$WORK/broken.log" ||
  fail "--publish ftp: $status $(cat "$WORK/broken.log")"

# Fewer descriptors than the pages asked for need: raised as far as allowed, and said.
(ulimit -Sn 100 && ulimit -Hn 300 && exec "$WEB" --max-browsers 4000 --port 7698 --http-port 8696) >"$WORK/limit.log" 2>&1 &
limited=$!
wait_until 10 grep -q 'the page at' "$WORK/limit.log" || fail "periodix-web with few descriptors: $(cat "$WORK/limit.log")"
json=$(curl -s http://127.0.0.1:8696/clock.json)
[[ "$json" == *'"state":"waiting"'* && "$json" != *publish* ]] || fail "one that does not publish: $json"
kill "$limited"
grep -q 'only 300 open files allowed: fewer pages than --max-browsers 4000 may connect' "$WORK/limit.log" ||
  fail "descriptor limit not said: $(cat "$WORK/limit.log")"

start_web() {
  "$WEB" --set "$WORK/short.ptm" --trusted-proxy 127.0.0.1 --publish http://127.0.0.1:8080/publish \
    --publish https://127.0.0.1:8444/publish >"$WORK/web.log" 2>&1 &
  WEB_PID=$!
  PIDS+=($WEB_PID)
  wait_until 10 grep -q 'the page at http://127.0.0.1:8699/' "$WORK/web.log" || fail "periodix-web did not start: $(cat "$WORK/web.log")"
}
start_web

# The page as an overlay: transparent, the horn on, tenths in the last minute.
# A headless Chromium showing URL, for the page probe on PORT.
open_page() { # PORT URL [FLAGS...]
  local port=$1 url=$2
  shift 2
  chromium --headless=new --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --user-data-dir="$WORK/chromium-$port" --remote-debugging-port="$port" \
    --window-size=960,540 "$@" "$url" >"$WORK/chromium-$port.log" 2>&1 &
  PIDS+=($!)
}
# Waits until the page on PORT has STATUS.
page_status_is() { wait_until "$3" bash -c "[ \"\$('$PAGE_PROBE' $1 eval 'document.body.dataset.status' 2>/dev/null)\" = $2 ]"; }
open_page 9222 "http://127.0.0.1:8699/?horn=1&transparent=1&tenths=1" --autoplay-policy=no-user-gesture-required

page() { "$PAGE_PROBE" 9222 eval "$1" 2>/dev/null; }
text_of() { page "document.getElementById('$1').textContent"; }
# page_has ID PREFIX: waits until the element's text begins so.
page_has() {
  wait_until "${3:-6}" bash -c "[[ \"\$('$PAGE_PROBE' 9222 eval \"document.getElementById('$1').textContent\" 2>/dev/null)\" == '$2'* ]]" ||
    fail "the page's $1 shows \"$(text_of "$1")\", not \"$2...\""
}
# page_shows ID TEXT: waits until the element shows the text.
page_shows() {
  wait_until "${3:-6}" bash -c "[ \"\$('$PAGE_PROBE' 9222 eval \"document.getElementById('$1').textContent\" 2>/dev/null)\" = '$2' ]" ||
    fail "the page's $1 shows \"$(text_of "$1")\", not \"$2\""
}
page_shows state "Waiting for the clock" 20

# fits TEXT WxH: the digits, showing TEXT, lie wholly inside a page of that size.
fits() {
  local inside
  inside=$("$PAGE_PROBE" 9222 "$2" "(() => { const t = document.getElementById('time'); t.textContent = '$1';
    dispatchEvent(new Event('resize')); const r = t.getBoundingClientRect();
    return r.left >= 0 && r.right <= innerWidth && r.top >= 0 && r.bottom <= innerHeight; })()" 2>&1)
  [ "$inside" = "[true]" ] || fail "\"$1\" does not fit a page of $2: $inside"
}
for size in 960x540 540x960; do
  for text in 07:41 -02:59 546:08; do fits "$text" $size; done
done

open_set "$WORK/short.ptm" '^Final/00:03$'
main=$MAIN
page_shows period "Final"
page_shows time "00:03"
page_shows state "Stopped"

# Every text the digits show from here on.
page "window.shown = []; new MutationObserver(() => shown.push(document.getElementById('time').textContent))
  .observe(document.getElementById('time'), { childList: true, characterData: true, subtree: true }); 'ok'" >/dev/null
keys "$main" s                     # start: the countdown runs out, in tenths
page_has time "1."
keys "$main" s                     # a time-out one second before the end
page_shows state "Paused"
paused_at=$(text_of time)
[[ "$paused_at" =~ ^00:0[12]$ && "$(curl -s http://127.0.0.1:8699/clock.json)" == *"\"time\":\"$paused_at\""* ]] ||
  fail "paused, the page shows $paused_at, not the clock's own time: $(curl -s http://127.0.0.1:8699/clock.json)"
keys "$main" s                     # play on: the end sounds the horn, although it follows a pause
page_shows time "0.0"
page_shows state "E N D"
shown=$(page "shown.join(' ')")
[[ " $shown " =~ \ 0\.[1-9]\  && " $shown " =~ \ 2\.[0-9]\  ]] || fail "no tenths on the way: $shown"
[ "$(page 'document.body.dataset.horns')" = 1 ] || fail "no horn at 00:00: $(page 'document.body.dataset.horns')"
# The silence after the end is no lost link.
wait_until 10 bash -c "curl -s http://127.0.0.1:8699/clock.json | grep -q '\"secondsSinceLast\":[5-9]'" ||
  fail "no silence: $(curl -s http://127.0.0.1:8699/clock.json)"
json=$(curl -s http://127.0.0.1:8699/clock.json)
[[ "$json" == *'"state":"ended"'* && "$json" == *'"legend":"Final"'* && "$json" == *'"source":"datagrams"'* ]] ||
  fail "after the end: $json"
page_shows link "clock datagrams"
# Another clock on this network is named, not shown.
echo -n p7t01:00 >/dev/udp/127.0.0.1/7699
page_has link "Other clocks: 127.0.0.1:"
page_shows time "0.0"
click "$main" 185 130              # next
page_shows period "Extra"
page_shows time "10:00"
keys "$main" s                     # start
page_shows time "09:58"
[ "$(page 'document.body.dataset.status')" = running ] || fail "status $(page 'document.body.dataset.status')"

# nginx in front, over HTTPS with a certificate of its own, as the README shows.
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$WORK/key.pem" -out "$WORK/cert.pem" -days 1 -subj /CN=127.0.0.1 \
  -addext subjectAltName=IP:127.0.0.1 >/dev/null 2>&1 || fail "no certificate"
mkdir -p "$WORK/nginx"
sed -e "s|/etc/ssl/periodix|$WORK|g" -e "s|listen 443 ssl;|listen 127.0.0.1:8443 ssl;|" \
  "$(dirname "$0")/../../docs/nginx-periodix.conf" >"$WORK/nginx/site.conf"
# nginx's main file for the site in $WORK/NAME, all its files there.
nginx_conf() { # NAME
  cat >"$WORK/$1/nginx.conf" <<NGINX
load_module /usr/lib/nginx/modules/ngx_nchan_module.so;
user root;
pid $WORK/$1/pid;
error_log $WORK/$1/error.log;
events {}
http { access_log off; include /etc/nginx/mime.types; client_body_temp_path $WORK/$1/body; proxy_temp_path $WORK/$1/proxy; include $WORK/$1/site.conf; }
NGINX
}
nginx_conf nginx
nginx -c "$WORK/nginx/nginx.conf" -g 'daemon off;' >"$WORK/nginx/out.log" 2>&1 &
PIDS+=($!)
wait_until 10 bash -c "curl -sk https://127.0.0.1:8443/clock.json | grep -q running" ||
  fail "nginx: $(cat "$WORK/nginx/out.log" "$WORK/nginx/error.log" 2>/dev/null)"
open_page 9223 "https://127.0.0.1:8443/" --ignore-certificate-errors
page_status_is 9223 running 15 ||
  fail "the page over HTTPS: $("$PAGE_PROBE" 9223 eval 'document.body.dataset.status + document.getElementById("link").textContent' 2>&1)"
"$LIVE_CLIENTS" 8443 20 '"state":"running"' 10 || fail "not every page behind the proxy heard the clock"
# Through the site, the Origin is checked against the scheme and host the
# browser used; a client's own X-Forwarded-Host changes nothing.
upgrade_status() {
  curl -sk -o /dev/null -w '%{http_code}' --max-time 3 --http1.1 -H 'Connection: Upgrade' -H 'Upgrade: websocket' \
    -H 'Sec-WebSocket-Version: 13' -H 'Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==' "$@" https://127.0.0.1:8443/live || true
}
[ "$(upgrade_status -H 'Origin: https://127.0.0.1:8443')" = 101 ] || fail "this site's page refused through nginx"
for refused in 'Origin: http://127.0.0.1:8443' 'Origin: http://evil.example|X-Forwarded-Host: evil.example'; do
  [ "$(upgrade_status -H "${refused%|*}" -H "${refused#*|}")" = 403 ] || fail "through nginx, $refused was not refused"
done
echo "through nginx over HTTPS: $("$PAGE_PROBE" 9223 eval "document.getElementById('time').textContent") and 20 pages"

# Beyond the hall: periodix-web publishes to nginx's pub/sub module, whose
# site (the example as shipped, but for its paths and port) serves the page.
mkdir -p "$WORK/pubsub/web" "$WORK/pubsub/cache"
cp "$(dirname "$0")/../../src/web/page.html" "$WORK/pubsub/web/index.html"
sed -e "s|/usr/share/periodix/web|$WORK/pubsub/web|" -e "s|/var/cache/nginx/periodix|$WORK/pubsub/cache|" \
  -e "s|listen 80;|listen 127.0.0.1:8080; listen 127.0.0.1:8444 ssl; ssl_certificate $WORK/cert.pem; ssl_certificate_key $WORK/key.pem;|" \
  "$(dirname "$0")/../../examples/nginx/periodix-pubsub.conf" >"$WORK/pubsub/site.conf"
# A proxy in front of it that strips WebSockets, as some do.
cat >>"$WORK/pubsub/site.conf" <<'NGINX'
server {
    listen 127.0.0.1:8081;
    location / { proxy_pass http://127.0.0.1:8080; proxy_buffering off; }
}
NGINX
# periodix-web publishes over TLS too, to a certificate this machine trusts
# (in the test's own mount namespace).
mkdir -p "$WORK/certs" && cp "$WORK/cert.pem" "$WORK/certs/" && openssl rehash "$WORK/certs" &&
  mount --bind "$WORK/certs" /etc/ssl/certs || fail "cannot trust the test's certificate"
nginx_conf pubsub
publishing() { wait_until 10 bash -c "curl -s http://127.0.0.1:8699/clock.json | grep -q '\"publish\":\"$1\"'"; }
start_pubsub() {
  nginx -c "$WORK/pubsub/nginx.conf" -g 'daemon off;' >"$WORK/pubsub/out.log" 2>&1 &
  PUBSUB_PID=$!
  PIDS+=($PUBSUB_PID)
  publishing ok || fail "not publishing: $(curl -s http://127.0.0.1:8699/clock.json) $(cat "$WORK/pubsub/out.log")"
}
start_pubsub
open_page 9224 "http://127.0.0.1:8080/"
page_status_is 9224 running 15 || fail "the page through nginx: $("$PAGE_PROBE" 9224 eval 'document.body.dataset.status' 2>&1)"
# Behind the proxy that strips WebSockets, the page listens to the event stream.
open_page 9225 "http://127.0.0.1:8081/"
page_status_is 9225 running 20 ||
  fail "the page behind a proxy without WebSockets: $("$PAGE_PROBE" 9225 eval 'document.body.dataset.status' 2>&1)"
curl -sN -H 'Accept: text/event-stream' http://127.0.0.1:8080/live >"$WORK/pubsub/events" 2>&1 &
PIDS+=($!)
wait_until 5 grep -q '"state":"running"' "$WORK/pubsub/events" || fail "the subscriber: $(cat "$WORK/pubsub/events")"
curl -s http://127.0.0.1:8080/clock.json | grep -q '"state":"running"' || fail "/clock.json through nginx"
echo "through nginx's pub/sub: the page $("$PAGE_PROBE" 9224 eval "document.getElementById('time').textContent")"

keys "$main" s                     # pause
wait_until 1 grep -q '"state":"paused"' "$WORK/pubsub/events" || fail "the subscriber did not hear the pause within a second"
page_shows state "Paused"
json=$(curl -s http://127.0.0.1:8699/clock.json)
[[ "$json" == *'"state":"paused"'* && "$json" == *'"period":2'* ]] || fail "clock.json: $json"
# A time-out while the other court's clock, on the same machine, plays on.
second_clock_during_timeout page_shows state "Paused" 1
json=$(curl -s http://127.0.0.1:8699/clock.json)
ours='"otherClocks":["192.168.0.10:' # the veth address of this namespace
[[ "$json" == *'"state":"paused"'* && "$json" == *'"period":2'* && "$json" == *"$ours"* ]] || fail "after the time-out: $json"
page_has link "Other clocks: 192.168.0.10:" # in the namespace
# periodix-web stalls with the page's socket open: the page says so, and
# recovers by itself when it resumes.
kill -STOP "$WEB_PID"
page_shows link "No connection to periodix-web" 8
[ "$(page 'document.body.dataset.status')" = disconnected ] || fail "status $(page 'document.body.dataset.status')"
kill -CONT "$WEB_PID"
page_shows state "Paused" 8
if [ -n "${SCREENSHOTS:-}" ]; then # the transparent page as a live stream shows it: here over plain blue
  "$PAGE_PROBE" 9222 screenshot "$WORK/overlay.png" || fail "no screenshot"
  convert "$WORK/overlay.png" -background '#1f4e8c' -flatten "$SCREENSHOTS/web_overlay.png"
fi

# nginx goes: periodix-web says so and its own page goes on; nginx comes
# back, and so does the page through it.
kill "$PUBSUB_PID"
wait "$PUBSUB_PID" 2>/dev/null || true
publishing failing || fail "publishing to a stopped nginx said to work"
keys "$main" s                     # start again, then the network goes
page_shows state ""
page_status_is 9222 running 5 || fail "not running"
first_tick=$(text_of time)          # one more tick: the clock is surely counting
wait_until 5 bash -c "[ \"\$('$PAGE_PROBE' 9222 eval \"document.getElementById('time').textContent\" 2>/dev/null)\" != '$first_tick' ]" ||
  fail "no second tick"
start_pubsub
page_status_is 9224 running 15 || fail "the page through nginx did not come back"
ip link set veth0 down
ip link set veth1 down
page_shows state "LINK LOST" 8
[ "$(page 'document.body.dataset.status')" = lost ] || fail "status $(page 'document.body.dataset.status')"
# Digits that may be old are grey, as on the hall's display, not a dimmed red.
digits=$(page "getComputedStyle(document.getElementById('time')).color")
[[ "$digits" == *"rgb(110, 110, 110)"* ]] || fail "the digits of a lost link are $digits"
ip link set veth0 up
ip link set veth1 up
wait_until 10 bash -c "[ \"\$('$PAGE_PROBE' 9222 eval \"document.getElementById('state').textContent\" 2>/dev/null)\" != 'LINK LOST' ]" ||
  fail "the link stays lost"
echo "the page followed: $(text_of period) $(text_of time)"

# periodix-web restarts: the page connects again by itself.
kill "$WEB_PID"
wait "$WEB_PID" 2>/dev/null || true
page_status_is 9222 disconnected 5 || fail "the page did not notice"
start_web
page_status_is 9222 running 15 ||
  fail "the page did not come back: $(page 'document.body.dataset.status')"
page_shows period "Extra"
keys "$main" s
page_shows state "Paused"
stop_periodix
echo "reconnected after a restart: $(text_of period) $(text_of time) $(text_of state)"

# Only loopback is left: Periodix proposes 127.000.000 and every listener gets each datagram.
ip link del veth0
"$RECEIVER" 7699 300 >"$WORK/loopback" 2>>"$WORK/receiver.log" & PIDS+=($!)
"$DISPLAY_PROGRAM" --set "$WORK/short.ptm" >"$WORK/display.log" 2>&1 & PIDS+=($!)
display=$(window_id '^Periodix display: Waiting for the clock on port 7699$') || fail "the display is not waiting"
kill "$WEB_PID"; wait "$WEB_PID" 2>/dev/null || true; start_web # one that follows the loopback clock
open_set "$WORK/short.ptm" '^Final/00:03$'
keys "$MAIN" s
wait_until 10 grep -q ' 127\.0\.0\.1:[0-9]* p1t00:00$' "$WORK/loopback" || fail "the listener: $(cat "$WORK/loopback")"
wait_until 10 bash -c "xdotool getwindowname $display | grep -q 'Final 00:00'" ||
  fail "the display shows \"$(xdotool getwindowname "$display")\""
page_shows period "Final" 15
page_shows state "E N D"
echo "on loopback alone: the listener, $(xdotool getwindowname "$display") and the page $(text_of period) $(text_of time)"
