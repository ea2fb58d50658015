// Serves the page's folder on the loopback address, with the stand-in for
// Web Serial put into the page, and starts a device simulator for each port
// the stand-in opens: GET /line starts one listening for a WebSocket
// (varnomiksal-sim --websocket) and answers with its address, to which the
// stand-in connects directly, with nothing in between. Closing either side
// ends the line, as unplugging a cable would.
// Used by the page's tests (tests/web), its benchmark and scripts/run.sh --web
// (serve.mjs).
// Any page the user visits can send requests to a loopback port, so the
// server answers only requests addressed to itself from its own pages (Host
// and Origin), starts simulators only for the named scenarios below (never
// with options from a request), at most maxLines at once, serves only files
// inside the site's folder, and answers a malformed request with 400.
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

// The simulator's faults a page may ask for, by name (sim=NAME, or several
// names separated by spaces).
export const scenarios = {
  'split-reply': ['--split-reply-at', '6'],
  'slow-dribble': ['--dribble-us', '2000'],
  'dribble': ['--dribble-us', '200'],
  'modem': ['--reply', 'MODEM-OK'],
  'late-reply': ['--reply-after-ms', '5000'],
  'split-ack': ['--split-ack-at', '3', '--ack-split-ms', '5'],
  'wrong-crc': ['--wrong-crc-at', '100'],
  'early-wrong-crc': ['--wrong-crc-at', '3'],
  'silence': ['--silence-from', '10'],
  'hangup': ['--hangup-at', '50'],
  'paced': ['--baud', '38462'],
};
// Simulators running at once, at most.
export const maxLines = 4;

// The simulator's options for a request's sim=..., or null if it names
// anything but scenarios.
function scenarioArgs(value) {
  const names = value.split(' ').filter(Boolean);
  if (!names.every((n) => Object.hasOwn(scenarios, n))) return null;
  return names.flatMap((n) => scenarios[n]);
}

// The file a request's path names inside the site's folder, or null: each
// segment decoded on its own (a decoding error throws), then the whole
// resolved and checked to lie inside the folder, segment by segment.
function siteFile(site, pathname) {
  const segments = pathname.split('/').slice(1).map(decodeURIComponent);
  if (segments.some((s) => s.includes('\0'))) return null;
  const file = path.resolve(site, ...segments);
  const inside = (root, f) => {
    const rel = path.relative(root, f);
    return rel !== '' && rel.split(path.sep)[0] !== '..' && !path.isAbsolute(rel);
  };
  if (!inside(site, file) || !fs.existsSync(file)) return null;
  // A link inside the folder may not lead out of it either.
  const real = fs.realpathSync(file);
  if (!inside(fs.realpathSync(site), real) || !fs.statSync(real).isFile()) return null;
  return file;
}

// Starts the server. options: site (the page's folder), simulator (the
// varnomiksal-sim program), host and port (127.0.0.1 and any free one), and
// simArgs (the simulator's options when the page's address names none), and
// cacheControl (what the site's files are sent with; no-store, or what a
// caching host sends, for the page's offline copy's tests).
// Resolves to { url, close(), lines: Map(id -> { report, options, done }) }.
export function startBridge(options) {
  const { simulator } = options;
  const site = path.resolve(options.site);
  const standIn = fs.readFileSync(path.join(here, 'standin.js'));
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'varnomiksal-web-'));
  const lines = new Map();
  let nextLine = 1;

  let running = 0;
  let own = new Set(); // the Host values that name this server, once it listens

  // A simulator for a port the stand-in opens, with the scenario's options
  // and answering only pages of `origin`; resolves to its address.
  function startLine(params, simArgs, origin) {
    const id = nextLine++;
    const line = { id, options: Object.fromEntries(params), report: '', done: null, sim: null };
    lines.set(id, line);
    running++;
    const sim = spawn(simulator, ['--websocket', '0', '--origin', origin, '--once',
                                  '--port-dir', dir, ...simArgs],
                      { stdio: ['ignore', 'pipe', 'inherit'] });
    line.sim = sim;
    line.done = new Promise((resolve) => {
      let ended = false;
      const end = () => {
        if (ended) return;
        ended = true;
        running--;
        resolve(line.report);
      };
      sim.on('exit', end);
      sim.on('error', end); // could not start: a 503, never an exit
    });
    return new Promise((resolve, reject) => {
      sim.stdout.on('data', (b) => {
        line.report += b;
        const address = /on (ws:\/\/\S+)/.exec(line.report);
        if (address) resolve(address[1]);
      });
      line.done.then(() => reject(new Error('the simulator ended before it listened')));
    });
  }

  const answer = (res, status) => {
    res.writeHead(status, { 'cache-control': 'no-store' });
    res.end();
  };

  async function serve(req, res) {
    // Only requests to this server by its own name, from its own pages: a
    // page elsewhere (or one reached by a name rebound to 127.0.0.1) is refused.
    const host = (req.headers.host || '').toLowerCase();
    const origin = req.headers.origin;
    if (!own.has(host) || (origin !== undefined && origin.toLowerCase() !== `http://${host}`))
      return answer(res, 403);
    if (req.method !== 'GET' && req.method !== 'HEAD') return answer(res, 405);
    if (!req.url.startsWith('/')) return answer(res, 400);
    const url = new URL(`http://${host}${req.url}`);
    if (url.pathname === '/standin.js') {
      res.writeHead(200, { 'content-type': types['.js'], 'cache-control': 'no-store' });
      res.end(standIn);
      return;
    }
    if (url.pathname === '/line') {
      // Only the page itself asks for a line: a browser names a request that
      // another site's page sends, even one without an Origin (a no-cors GET).
      const fetchSite = req.headers['sec-fetch-site'];
      if (fetchSite !== undefined && fetchSite !== 'same-origin') return answer(res, 403);
      const simArgs = url.searchParams.has('sim')
        ? scenarioArgs(url.searchParams.get('sim')) : (options.simArgs || []);
      if (!simArgs) return answer(res, 400);
      if (running >= maxLines) return answer(res, 503);
      try {
        const address = await startLine(url.searchParams, simArgs, `http://${host}`);
        res.writeHead(200, { 'content-type': 'application/json', 'cache-control': 'no-store' });
        res.end(JSON.stringify({ url: address }));
      } catch (e) {
        answer(res, 503);
      }
      return;
    }
    const file = siteFile(site, url.pathname === '/' ? '/index.html' : url.pathname);
    if (!file) return answer(res, 404);
    const name = path.relative(site, file);
    let body = fs.readFileSync(file);
    // The stand-in takes navigator.serial's place before the page's scripts run.
    if (name === 'index.html')
      body = Buffer.from(body.toString().replace('<script src="page.js">',
        '<script src="standin.js"></script>\n<script src="page.js">'));
    res.writeHead(200, { 'content-type': types[path.extname(name)] || 'application/octet-stream',
                         'cache-control': options.cacheControl || 'no-store' });
    res.end(body);
  }

  const server = http.createServer((req, res) => {
    serve(req, res).catch(() => {
      // A malformed request (a path that does not decode, say) ends here.
      if (!res.headersSent) answer(res, 400);
      else res.destroy();
    });
  });

  return new Promise((resolve) => {
    server.listen(options.port || 0, options.host || '127.0.0.1', () => {
      const { port } = server.address();
      own = new Set([`127.0.0.1:${port}`, `localhost:${port}`, `[::1]:${port}`,
                     `${options.host || '127.0.0.1'}:${port}`.toLowerCase()]);
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
