// The page's server (tools/webbridge/bridge.mjs) against requests a hostile
// page or a careless client would send: raw simulator options, foreign hosts
// and origins, too many lines, a path that does not decode, and a way out of
// the site's folder.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import http from 'node:http';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import { maxLines, startBridge } from '../../tools/webbridge/bridge.mjs';
import { simulator } from './page.mjs';

let tmp, bridge, host;
before(async () => {
  // The site, and a sibling folder whose name starts with the site's.
  tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'varnomiksal-bridge-'));
  fs.mkdirSync(path.join(tmp, 'site'));
  fs.mkdirSync(path.join(tmp, 'site-secret'));
  fs.writeFileSync(path.join(tmp, 'site', 'index.html'), '<script src="page.js"></script>');
  fs.writeFileSync(path.join(tmp, 'site-secret', 'secret.txt'), 'secret');
  bridge = await startBridge({ site: path.join(tmp, 'site'), simulator });
  host = new URL(bridge.url).host;
});
after(async () => {
  await bridge.close();
  fs.rmSync(tmp, { recursive: true, force: true });
});

// A request with its path sent as written; resolves to { status, body }.
function get(pathname, headers = {}) {
  return new Promise((resolve, reject) => {
    const req = http.request({ host: '127.0.0.1', port: new URL(bridge.url).port, path: pathname,
                               headers: { host, ...headers } }, (res) => {
      let body = '';
      res.on('data', (b) => { body += b; });
      res.on('end', () => resolve({ status: res.statusCode, body }));
    });
    req.on('error', reject);
    req.end();
  });
}

// The simulator's answer to a WebSocket opening from a page of `origin`.
function handshake(address, origin) {
  const { hostname, port } = new URL(address);
  return new Promise((resolve) => {
    const socket = net.connect(Number(port), hostname, () => socket.write(
      `GET / HTTP/1.1\r\nHost: ${hostname}:${port}\r\nUpgrade: websocket\r\n` +
      `Connection: Upgrade\r\nOrigin: ${origin}\r\nSec-WebSocket-Key: AAAAAAAAAAAAAAAAAAAAAA==\r\n` +
      'Sec-WebSocket-Version: 13\r\n\r\n'));
    socket.once('data', (b) => { resolve(String(b).split('\r\n')[0]); socket.destroy(); });
  });
}

test('a line takes only named scenarios, so no request can overwrite a file', async () => {
  const victim = path.join(tmp, 'victim.txt');
  fs.writeFileSync(victim, 'kept');
  for (const sim of [`--websocket 45678 --report ${victim}`, `paced --report ${victim}`,
                     '--report', 'constructor', '__proto__'])
    assert.equal((await get('/line?sim=' + encodeURIComponent(sim))).status, 400, sim);
  assert.equal(bridge.lines.size, 0);
  assert.equal(fs.readFileSync(victim, 'utf8'), 'kept');
});

test('requests from another host or origin are refused, and so is the simulator\'s WebSocket',
  async () => {
    assert.equal((await get('/line', { origin: 'http://evil.example' })).status, 403);
    assert.equal((await get('/line', { 'sec-fetch-site': 'cross-site' })).status, 403);
    assert.equal((await get('/line', { host: 'evil.example' })).status, 403);
    assert.equal((await get('/', { host: `evil.example:${new URL(bridge.url).port}` })).status,
      403);
    assert.equal(bridge.lines.size, 0);

    // Another page on the loopback address is foreign too: the simulator
    // takes only the origin it was started with (--origin).
    for (const origin of ['http://evil.example', 'http://127.0.0.1:1']) {
      const { status, body } = await get('/line?sim=paced', { origin: `http://${host}` });
      assert.equal(status, 200);
      const line = [...bridge.lines.values()].at(-1);
      assert.equal(await handshake(JSON.parse(body).url, origin), 'HTTP/1.1 403 Forbidden', origin);
      await line.done;
    }
  });

test(`at most ${maxLines} simulators run at once`, async () => {
  const addresses = [];
  for (let i = 0; i < maxLines; i++) {
    const { status, body } = await get('/line');
    assert.equal(status, 200);
    addresses.push(JSON.parse(body).url);
  }
  assert.equal((await get('/line')).status, 503);
  // A line that ends makes room for another; its own page is let in.
  const first = [...bridge.lines.values()].at(-maxLines);
  assert.equal(await handshake(addresses[0], `http://${host}`), 'HTTP/1.1 101 Switching Protocols');
  await first.done;
  assert.equal((await get('/line')).status, 200);
});

test('a path that does not decode gets 400, and the server goes on', async () => {
  assert.equal((await get('/%E0%A4%A')).status, 400);
  const page = await get('/');
  assert.equal(page.status, 200);
  assert.match(page.body, /standin\.js/);
});

test('no path leads out of the site\'s folder', async () => {
  for (const p of ['/..%2fsite-secret%2fsecret.txt', '/../site-secret/secret.txt',
                   '/%2e%2e/site-secret/secret.txt', '/.%2e/site-secret/secret.txt'])
    assert.equal((await get(p)).status, 404, p);
  assert.equal((await get('/index.html')).status, 200);
});
