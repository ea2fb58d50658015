// The page's upload in headless Chromium through the stand-in for Web Serial
// and the bridge to the simulator: a whole 508-block upload from the click
// on "Записать" to the success display.
//   instant device: wall seconds, and the CPU seconds of the page's thread
//                   and of the whole browser (median of three runs)
//   device paced at 38462 baud: wall seconds against the line-time limit
//                   (every image byte and every acknowledgement on the line),
//                   median of three runs
// Usage: node bench_web.mjs   (after scripts/build-web.sh and the Linux build's
// simulator; BUILD_DIR and WEB_SITE_DIR as for the tests)
import fs from 'node:fs';
import { openPage, startBrowser } from '../../tests/web/page.mjs';

const limit = (130048 * 10 + 508 * 2 * 10) / 38462;
// One block and its acknowledgement on the line, in ms.
const blockLine = ((256 + 2) * 10 * 1000) / 38462;
const median = (xs) => xs.slice().sort((a, b) => a - b)[Math.floor(xs.length / 2)];

// CPU seconds of every process of the browser (clock ticks of 1/100 s).
function browserCpu(browser) {
  const pids = [browser.process().pid];
  for (let i = 0; i < pids.length; i++) {
    try {
      const children = fs.readFileSync(`/proc/${pids[i]}/task/${pids[i]}/children`, 'utf8');
      pids.push(...children.split(' ').filter(Boolean).map(Number));
    } catch (e) { /* gone */ }
  }
  let ticks = 0;
  for (const pid of pids) {
    try {
      const fields = fs.readFileSync(`/proc/${pid}/stat`, 'utf8').split(') ')[1].split(' ');
      ticks += Number(fields[11]) + Number(fields[12]);
    } catch (e) { /* gone */ }
  }
  return ticks / 100;
}

async function uploadOnce(env, sim) {
  const w = await openPage(env, sim ? { sim } : {});
  await w.choose('COM1');
  await w.waitStatus('Устройство');
  // The moment the success display appears, taken in the page.
  // Each block's way, taken in the page: the moments the page hands bytes
  // to the port and the moments bytes come back.
  await w.page.evaluate(() => {
    const t = window.benchTrace = { writes: [], replies: [] };
    const serial = Module.varnoSerial;
    const write = serial.write;
    serial.write = (id, bytes) => { t.writes.push(performance.now()); return write(id, bytes); };
    const received = Module._varno_serial_received;
    Module._varno_serial_received = (...a) => { t.replies.push(performance.now()); return received(...a); };
  });
  await w.page.evaluate(() => {
    const ok = [...document.querySelectorAll('.qe-button')].find((b) => b.textContent === 'OK');
    window.benchDone = new Promise((resolve) => new MutationObserver(() => {
      if (!ok.hidden) resolve(performance.now());
    }).observe(ok, { attributes: true }));
  });
  const before = await w.page.metrics();
  const cpu0 = browserCpu(env.browser);
  const start = await w.page.evaluate(() => {
    const write = [...document.querySelectorAll('.qe-button')].find((b) => b.textContent === 'Записать');
    const t = performance.now();
    write.click();
    return t;
  });
  const end = await w.page.evaluate(() => window.benchDone);
  const cpu1 = browserCpu(env.browser);
  const after = await w.page.metrics();
  const trace = await w.page.evaluate(() => window.benchTrace);
  const shown = await w.visibleTexts();
  const ok = shown.some((t) => t.includes('ПО успешно обновлено!'));
  await w.page.close();
  return { wall: (end - start) / 1000, pageCpu: after.TaskDuration - before.TaskDuration,
           browserCpu: cpu1 - cpu0, ok, ...perBlock(trace) };
}

// Medians over the blocks, in ms: the page's turn (from a reply to the
// first bytes of the next block handed to the port) and the way out and back
// (from those bytes handed over to the first byte of the block's reply: the
// stand-in, the WebSocket through the browser, the simulator's line time and
// its answer). The rest of a block follows while the line carries its start.
function perBlock({ writes, replies }) {
  const turns = [], ways = [];
  let reply = -1; // the index of the last reply taken
  for (const w of writes) {
    const before = replies.findLastIndex((r) => r < w);
    if (before < 0 || before === reply) continue; // not the first write after a reply
    reply = before;
    turns.push(w - replies[before]);
    const after = replies.find((r) => r > w);
    if (after !== undefined) ways.push(after - w);
  }
  return { turn: median(turns), way: median(ways) };
}

const env = await startBrowser();
try {
  const runs = [];
  for (let i = 0; i < 3; i++) runs.push(await uploadOnce(env, ''));
  console.log('page upload through the stand-in, instant device (median of 3):');
  console.log(`  wall ${median(runs.map((r) => r.wall)).toFixed(3)} s, ` +
              `page thread cpu ${median(runs.map((r) => r.pageCpu)).toFixed(3)} s, ` +
              `browser cpu ${median(runs.map((r) => r.browserCpu)).toFixed(3)} s` +
              (runs.every((r) => r.ok) ? '' : '  (FAILED)'));
  const paced = [];
  for (let i = 0; i < 3; i++) paced.push(await uploadOnce(env, 'paced'));
  const ratios = paced.map((r) => r.wall / limit);
  console.log('page upload through the stand-in, device paced at 38462 baud (median of 3):');
  console.log(`  wall ${median(paced.map((r) => r.wall)).toFixed(3)} s, ` +
              `page thread cpu ${median(paced.map((r) => r.pageCpu)).toFixed(3)} s; ` +
              `/line-time limit ${median(ratios).toFixed(4)} ` +
              `(runs ${ratios.map((x) => x.toFixed(4)).join(', ')})` +
              (paced.every((r) => r.ok) ? '' : '  (FAILED)'));
  console.log(`  line-time limit: ${limit.toFixed(3)} s`);
  console.log(`  per block (median): the page's turn ${median(paced.map((r) => r.turn)).toFixed(2)} ms, ` +
              `out and back ${(median(paced.map((r) => r.way)) - blockLine).toFixed(2)} ms beyond ` +
              `the line's ${blockLine.toFixed(2)} ms`);
} finally {
  await env.close();
}
