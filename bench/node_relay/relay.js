// The clock's datagrams relayed to WebSocket pages by Node.js and the `ws`
// package: what a user would write instead of periodix-web, to measure it
// against periodix-web with bench/web_latency (which passes both the same
// arguments). Each datagram is sent to every page as JSON at once; a page
// hears the last on connecting. Nothing more: no limits, no lost link.
//
//   npm install   (once, in this folder)
//   node relay.js --bind 127.0.0.1 --port 7699 --http-bind 127.0.0.1 --http-port 8080
'use strict';
const dgram = require('dgram');
const { WebSocketServer } = require('ws');

const options = { bind: '0.0.0.0', port: 7699, 'http-bind': '0.0.0.0', 'http-port': 8080 };
const args = process.argv.slice(2);
for (let i = 0; i < args.length; i += 2) {
  const name = args[i].replace(/^--/, '');
  options[name] = args[i + 1]; // others (--trusted-proxy, --max-browsers) are taken and ignored
}

let last = '{}';
const wss = new WebSocketServer({ host: options['http-bind'], port: Number(options['http-port']), path: '/live' });
wss.on('connection', (page) => page.send(last));

const udp = dgram.createSocket({ type: 'udp4', reuseAddr: true });
udp.on('message', (bytes) => {
  const text = bytes.toString('latin1');
  const clock = /^p(\d+)t(-?\d+:\d\d)$/.exec(text);
  last = clock ? JSON.stringify({ period: Number(clock[1]), time: clock[2] }) : JSON.stringify({ state: text });
  for (const page of wss.clients)
    page.send(last);
});
// One line once both listen: the benchmark waits for it.
let ready = 0;
const started = () => {
  if (++ready === 2)
    console.log(`relay on ${options['http-bind']}:${options['http-port']}`);
};
wss.on('listening', started);
udp.bind(Number(options.port), options.bind, started);
