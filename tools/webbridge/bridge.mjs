// Serves the page's folder on the loopback address, with the stand-in for
// Web Serial put into the page, and starts a device simulator for each port
// the stand-in opens: GET /line starts one listening for a WebSocket
// (varnomiksal-sim --websocket) and answers with its address, to which the
// stand-in connects directly, with nothing in between. Closing either side
// ends the line, as unplugging a cable would.
// Used by the page's tests (tests/web), its benchmark and scripts/run.sh --web
// (serve.mjs).
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const types = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8', '.wasm': 'application/wasm',
  '.webmanifest': 'application/manifest+json', '.svg': 'image/svg+xml', '.png': 'image/png',
};

// Starts the server. options: site (the page's folder), simulator (the
// varnomiksal-sim program), host and port (127.0.0.1 and any free one), and
// simArgs (the simulator's options when the page's address names none).
// Resolves to { url, close(), lines: Map(id -> { report, options, done }) }.
export function startBridge(options) {
  const { site, simulator } = options;
  const standIn = fs.readFileSync(path.join(here, 'standin.js'));
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'varnomiksal-web-'));
  const lines = new Map();
  let nextLine = 1;

  // A simulator for a port the stand-in opens; resolves to its address.
  function startLine(params) {
    const id = nextLine++;
    const simArgs = params.has('sim')
      ? params.get('sim').split(' ').filter(Boolean) : (options.simArgs || []);
    const line = { id, options: Object.fromEntries(params), report: '', done: null, sim: null };
    lines.set(id, line);
    const sim = spawn(simulator, ['--websocket', '0', '--once', '--port-dir', dir, ...simArgs],
                      { stdio: ['ignore', 'pipe', 'inherit'] });
    line.sim = sim;
    line.done = new Promise((resolve) => sim.on('exit', () => resolve(line.report)));
    return new Promise((resolve, reject) => {
      sim.stdout.on('data', (b) => {
        line.report += b;
        const address = /on (ws:\/\/\S+)/.exec(line.report);
        if (address) resolve(address[1]);
      });
      line.done.then(() => reject(new Error('the simulator ended before it listened')));
    });
  }

  const server = http.createServer(async (req, res) => {
    const url = new URL(req.url, 'http://localhost');
    if (url.pathname === '/standin.js') {
      res.writeHead(200, { 'content-type': types['.js'], 'cache-control': 'no-store' });
      res.end(standIn);
      return;
    }
    if (url.pathname === '/line') {
      try {
        const address = await startLine(url.searchParams);
        res.writeHead(200, { 'content-type': 'application/json', 'cache-control': 'no-store' });
        res.end(JSON.stringify({ url: address }));
      } catch (e) {
        res.writeHead(503);
        res.end();
      }
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

  return new Promise((resolve) => {
    server.listen(options.port || 0, options.host || '127.0.0.1', () => {
      const { port } = server.address();
      resolve({
        url: `http://${options.host || '127.0.0.1'}:${port}/`,
        lines,
        async close() {
          for (const l of lines.values()) if (l.sim.exitCode === null) l.sim.kill('SIGTERM');
          await Promise.all([...lines.values()].map((l) => l.done));
          await new Promise((r) => server.close(r));
          fs.rmSync(dir, { recursive: true, force: true });
        },
      });
    });
  });
}
