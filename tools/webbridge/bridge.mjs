// Serves the page's folder on the loopback address, with the stand-in for
// Web Serial put into the page, and joins each port the stand-in opens to a
// device simulator of its own: the browser's WebSocket on one side, the
// simulator's unix socket line (varnomiksal-sim --socket) on the other.
// Closing either side closes the other, as unplugging a cable would.
// Used by the page's tests (tests/web), its benchmark and scripts/run.sh --web
// (serve.mjs).
import { spawn } from 'node:child_process';
import { createHash } from 'node:crypto';
import fs from 'node:fs';
import http from 'node:http';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const types = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8', '.wasm': 'application/wasm',
  '.webmanifest': 'application/manifest+json', '.svg': 'image/svg+xml', '.png': 'image/png',
};

// One frame of the WebSocket protocol (RFC 6455), server to client: never masked.
function frame(opcode, payload) {
  const n = payload.length;
  const head = n < 126 ? Buffer.from([0x80 | opcode, n])
    : n < 65536 ? Buffer.from([0x80 | opcode, 126, n >> 8, n & 0xFF])
    : Buffer.concat([Buffer.from([0x80 | opcode, 127]), (() => {
      const b = Buffer.alloc(8); b.writeBigUInt64BE(BigInt(n)); return b; })()]);
  return Buffer.concat([head, payload]);
}

// Reads the client's frames (always masked) from `socket`; calls onData for
// each binary or text message and onClose once.
function readFrames(socket, onData, onClose) {
  let buffer = Buffer.alloc(0);
  let parts = [];
  socket.on('data', (chunk) => {
    buffer = Buffer.concat([buffer, chunk]);
    for (;;) {
      if (buffer.length < 2) return;
      const fin = buffer[0] & 0x80, opcode = buffer[0] & 0x0F;
      let length = buffer[1] & 0x7F, at = 2;
      if (length === 126) { if (buffer.length < 4) return; length = buffer.readUInt16BE(2); at = 4; }
      else if (length === 127) {
        if (buffer.length < 10) return;
        length = Number(buffer.readBigUInt64BE(2)); at = 10;
      }
      const masked = buffer[1] & 0x80;
      const end = at + (masked ? 4 : 0) + length;
      if (buffer.length < end) return;
      const payload = Buffer.from(buffer.subarray(at + (masked ? 4 : 0), end));
      if (masked) for (let i = 0; i < payload.length; i++) payload[i] ^= buffer[at + (i & 3)];
      buffer = buffer.subarray(end);
      if (opcode === 8) { onClose(); return; }
      if (opcode === 9) { socket.write(frame(10, payload)); continue; }
      if (opcode === 10) continue;
      parts.push(payload);
      if (fin) { onData(Buffer.concat(parts)); parts = []; }
    }
  });
  socket.on('close', onClose);
  socket.on('error', onClose);
}

// Starts the server. options: site (the page's folder), simulator (the
// varnomiksal-sim program), host and port (127.0.0.1 and any free one), and
// simArgs (the simulator's options when the page's address names none).
// Resolves to { url, close(), lines: Map(id -> { report, options, done }) }.
export function startBridge(options) {
  const { site, simulator } = options;
  const standIn = fs.readFileSync(path.join(here, 'standin.js'));
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'varnomiksal-web-'));
  const lines = new Map();
  const sockets = new Set();
  let nextLine = 1;

  const server = http.createServer((req, res) => {
    const url = new URL(req.url, 'http://localhost');
    if (url.pathname === '/standin.js') {
      res.writeHead(200, { 'content-type': types['.js'], 'cache-control': 'no-store' });
      res.end(standIn);
      return;
    }
    const name = url.pathname === '/' ? 'index.html' : decodeURIComponent(url.pathname.slice(1));
    const file = path.join(site, path.normalize(name));
    if (!file.startsWith(site) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
      res.writeHead(404);
      res.end();
      return;
    }
    let body = fs.readFileSync(file);
    // The stand-in takes navigator.serial's place before the page's scripts run.
    if (name === 'index.html')
      body = Buffer.from(body.toString().replace('<script src="page.js">',
        '<script src="standin.js"></script>\n<script src="page.js">'));
    res.writeHead(200, { 'content-type': types[path.extname(name)] || 'application/octet-stream',
                         'cache-control': 'no-store' });
    res.end(body);
  });

  // One simulator per opened port: the stand-in's WebSocket at /serial.
  server.on('upgrade', (req, socket) => {
    const url = new URL(req.url, 'http://localhost');
    if (url.pathname !== '/serial') { socket.destroy(); return; }
    const accept = createHash('sha1')
      .update(req.headers['sec-websocket-key'] + '258EAFA5-E914-47DA-95CA-C5AB0DC85B11')
      .digest('base64');
    socket.write('HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n' +
                 `Connection: Upgrade\r\nSec-WebSocket-Accept: ${accept}\r\n\r\n`);
    socket.setNoDelay(true);
    sockets.add(socket);
    const id = nextLine++;
    const simArgs = url.searchParams.has('sim')
      ? url.searchParams.get('sim').split(' ').filter(Boolean) : (options.simArgs || []);
    const line = { id, options: Object.fromEntries(url.searchParams), report: '', done: null };
    lines.set(id, line);
    const socketPath = path.join(dir, `line-${id}.sock`);
    let device = null;
    let sim = null;
    let ended = false;
    const pending = [];
    // The line is closed: the simulator, which waits only for "PUSK" or a
    // hang-up of its own, is told to stop and print its report.
    const end = () => {
      if (ended) return;
      ended = true;
      if (device) device.destroy();
      try { socket.end(frame(8, Buffer.alloc(0))); } catch (e) { /* gone */ }
      setTimeout(() => { if (sim && sim.exitCode === null) sim.kill('SIGTERM'); }, 200);
    };
    const listener = net.createServer((conn) => {
      listener.close();
      device = conn;
      conn.setNoDelay(true);
      for (const p of pending) conn.write(p);
      conn.on('data', (bytes) => { if (!ended) socket.write(frame(2, bytes)); });
      conn.on('close', end);
      conn.on('error', end);
    });
    listener.listen(socketPath, () => {
      sim = spawn(simulator, ['--socket', socketPath, '--once', '--port-dir', dir,
                                    ...simArgs], { stdio: ['ignore', 'pipe', 'inherit'] });
      sim.stdout.on('data', (b) => { line.report += b; });
      line.done = new Promise((resolve) => sim.on('exit', () => { end(); resolve(line.report); }));
    });
    readFrames(socket, (data) => {
      if (device) device.write(data); else pending.push(data);
    }, end);
  });

  return new Promise((resolve) => {
    server.listen(options.port || 0, options.host || '127.0.0.1', () => {
      const { port } = server.address();
      resolve({
        url: `http://${options.host || '127.0.0.1'}:${port}/`,
        lines,
        async close() {
          for (const s of sockets) s.destroy();
          await Promise.all([...lines.values()].map((l) => l.done));
          await new Promise((r) => server.close(r));
          fs.rmSync(dir, { recursive: true, force: true });
        },
      });
    });
  });
}
