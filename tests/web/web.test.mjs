// The page in headless Chromium, on the stand-in for Web Serial, against the
// device simulator: what the window shows, what went over the line, and what
// the device received.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import crypto from 'node:crypto';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { startBridge } from '../../tools/webbridge/bridge.mjs';
import { openPage, simulator, site, startBrowser } from './page.mjs';

const found = 'Устройство: VMX-1   Текущая версия ПО: 8.3';
const success = '     ПО успешно обновлено!\nСбросте настройки по умолчанию!';
const failure = ['Ошибка при передаче данных!', 'Проверьте все соединения и попробуйте ещё раз.'];

let env;
before(async () => { env = await startBrowser(); });
after(async () => { await env.close(); });

// What the simulator behind the page's last opened port reported at its end.
async function deviceReport() {
  const line = [...env.bridge.lines.values()].at(-1);
  return line.done;
}

async function identified(params) {
  const w = await openPage(env, params);
  await w.choose('COM1');
  assert.equal(await w.waitStatus('Устройство'), found);
  return w;
}

async function upload(params) {
  const w = await identified(params);
  await w.click('Записать');
  await w.waitVisible('OK', 60000);
  return w;
}

// Closes the window with OK; the session's log, which the close ends.
async function sessionLog(w) {
  await w.click('OK');
  await w.page.waitForSelector('#log:not([hidden])');
  return w.page.evaluate(() => new TextDecoder().decode(
    Module.varnoFiles.read('/varnomiksal/last-session.log')));
}

describe('identification', () => {
  test('a granted port is listed, opened at 38462 8N1 without flow control, and identified',
    async () => {
      const w = await openPage(env, { granted: 1 });
      assert.deepEqual(await w.ports(), ['COM1', 'Другой порт…']);
      assert.equal(await w.status(), 'Выберите порт с подключённым устройством.');
      await w.choose('COM1');
      assert.equal(await w.waitStatus('Устройство'), found);
      const log = await w.standIn();
      assert.deepEqual(log.opens, [{ port: 1, baudRate: 38462, dataBits: 8, stopBits: 1,
                                     parity: 'none', flowControl: 'none', bufferSize: 4096 }]);
      assert.deepEqual(log.signals, [{ dataTerminalReady: false, requestToSend: false }]);
      assert.equal(log.written, 4); // "VERS"
      assert.equal(await w.page.$eval('.qe-combo', (s) => s.disabled), true);
      const write = await w.button('Записать');
      assert.equal(await write.evaluate((b) => b.disabled), false);
      assert.deepEqual(w.errors, []);
      await w.page.close();
    });

  test('the chooser entry grants a new port, which is then probed', async () => {
    const w = await openPage(env, { granted: 0 });
    assert.deepEqual(await w.ports(), ['Другой порт…']);
    await w.choose('Другой порт…');
    assert.equal(await w.waitStatus('Устройство'), found);
    assert.deepEqual(await w.ports(), ['COM1', 'Другой порт…']);
    await w.page.close();
  });

  test('a reply in two bursts or byte by byte is still one reply', async () => {
    for (const sim of ['split-reply', 'slow-dribble']) {
      const w = await identified({ sim });
      await w.page.close();
    }
  });

  test('a device that is no Varnomiksal is reported as none; choosing another port closes it first',
    async () => {
      const w = await openPage(env, { granted: 2, sim1: 'modem' });
      await w.choose('COM1');
      assert.equal(await w.waitStatus('не найдено', 15000), 'На этом порту устройств не найдено.');
      await w.choose('COM2');
      assert.equal(await w.waitStatus('Устройство'), found);
      const log = await w.standIn();
      assert.deepEqual(log.order, [['open', 1], ['close', 1], ['open', 2]]);
      await w.page.close();
    });

  test('a device silent after "VERS" is shown as none, and identified when it answers late',
    async () => {
      const w = await openPage(env, { sim: 'late-reply' });
      await w.choose('COM1');
      assert.equal(await w.waitStatus('не найдено', 10000), 'На этом порту устройств не найдено.');
      const write = await w.button('Записать');
      assert.equal(await write.evaluate((b) => b.disabled), true);
      assert.equal(await w.waitStatus('Устройство', 10000), found);
      await w.page.close();
    });
});

describe('upload', () => {
  test('the whole image reaches the device byte for byte, then "PUSK"; success is shown',
    async () => {
      const w = await upload({});
      assert.equal(await w.progress(), 507);
      assert.deepEqual(await w.visibleTexts(), ['OK', success]);
      const report = await deviceReport();
      assert.match(report, /received 130048 bytes \(0 beyond the image\)/);
      assert.match(report, /image matches the embedded image/);
      assert.match(report, /PUSK received/);
      // OK closes the window, which closes the port; the session's log is
      // then offered as a download.
      const log = await sessionLog(w);
      await w.page.waitForSelector('#closed:not([hidden])');
      assert.match(log, /identified: device VMX-1, firmware 8.3/);
      assert.deepEqual(w.errors, []);
      await w.page.close();
    });

  test('acknowledgements in pieces and replies byte by byte still make a whole upload',
    async () => {
      for (const sim of ['split-ack', 'dribble']) {
        const w = await upload({ sim });
        assert.deepEqual(await w.visibleTexts(), ['OK', success], sim);
        assert.match(await deviceReport(), /image matches the embedded image[^]*PUSK received/);
        await w.page.close();
      }
    });

  test('a wrong CRC or silence ends in the failure display, and nothing more is sent',
    async () => {
      for (const sim of ['wrong-crc', 'silence']) {
        const w = await upload({ sim });
        const texts = await w.visibleTexts();
        assert.deepEqual(texts.filter((t) => failure.includes(t)), failure, sim);
        assert.ok(!texts.includes(success), sim);
        assert.ok(await w.page.$eval('.qe-picture', (p) => p.offsetParent !== null), sim);
        await w.click('OK');
        assert.match(await deviceReport(), /PUSK not received/, sim);
        await w.page.close();
      }
    });

  test('success is shown once "PUSK" has left the line; a line that never takes it fails',
    async () => {
      // The line takes "VERS" and the image at once, and holds what follows
      // until the writer closes, or for good.
      const before = 4 + 130048;
      let w = await upload({ hold: 1, holdfrom: before });
      assert.deepEqual(await w.visibleTexts(), ['OK', success]);
      const line = await w.standIn();
      assert.deepEqual([line.written, line.sent], [before + 4, before + 4]);
      await w.click('OK');
      assert.match(await deviceReport(), /PUSK received/);
      await w.page.close();

      w = await upload({ hold: 'stuck', holdfrom: before });
      const texts = await w.visibleTexts();
      assert.deepEqual(texts.filter((t) => failure.includes(t)), failure);
      assert.ok(!texts.includes(success));
      assert.match(await sessionLog(w),
        /"PUSK" did not leave the port[^]*outcome: failure, 130048 bytes written/);
      assert.match(await deviceReport(), /PUSK not received/);
      assert.deepEqual(w.errors, []);
      await w.page.close();
    });

  test('a port unplugged in the middle of the upload ends in the failure display', async () => {
    const w = await upload({ sim: 'hangup' });
    const texts = await w.visibleTexts();
    assert.deepEqual(texts.filter((t) => failure.includes(t)), failure);
    assert.match(await deviceReport(), /line hung up/);
    assert.deepEqual(w.errors, []);
    await w.page.close();
  });
});

describe('the port, as strict as Chrome', () => {
  // Writes, then closes in the same turn, on a line that keeps the bytes
  // queued until the writer closes (or for good); resolves to the stand-in's
  // log and the device's report.
  async function writeThenClose(hold) {
    const w = await openPage(env, { hold });
    await w.page.evaluate(() => {
      const serial = Module.varnoSerial;
      const id = serial.open(1);
      serial.configure(id, 38462, 8, 1, 0, 4096, 0, 0, 0);
      serial.write(id, new TextEncoder().encode('VERS'));
      serial.close(id, 200, 1);
    });
    await w.page.waitForFunction(() => window.varnoStandIn.log.closes === 1);
    const result = { log: await w.standIn(), report: await deviceReport() };
    assert.deepEqual(w.errors, []);
    await w.page.close();
    return result;
  }

  test('bytes written just before a close still reach the device; the close comes after release',
    async () => {
      const { log, report } = await writeThenClose(1);
      assert.match(report, /VERS requests 1,/);
      assert.equal(log.dropped, 0);
      assert.deepEqual(log.order, [['open', 1], ['close', 1]]);
    });

  test('a line that never drains does not hold the close up past the write time-out',
    async () => {
      const { log, report } = await writeThenClose('stuck');
      assert.match(report, /VERS requests 0,/);
      assert.equal(log.dropped, 4);
      assert.deepEqual(log.order, [['open', 1], ['close', 1]]);
    });

  test('a busy port and a chooser the page may not open are told; a cancelled one is not',
    async () => {
      let w = await openPage(env, { granted: 2, busy: 1 });
      await w.choose('COM1');
      await w.page.waitForSelector('#serial-notice:not([hidden])');
      assert.match(await w.page.$eval('#serial-notice', (p) => p.textContent),
        /^Порт COM1 не открылся: он занят/);
      await w.choose('COM2');
      assert.equal(await w.waitStatus('Устройство'), found);
      assert.equal(await w.page.$eval('#serial-notice', (p) => p.hidden), true);
      await w.page.close();

      for (const chooser of ['denied', 'cancel']) {
        w = await openPage(env, { granted: 0, chooser });
        await w.choose('Другой порт…');
        await w.page.evaluate(() => new Promise((r) => setTimeout(r, 0)));
        assert.equal(await w.page.$eval('#serial-notice', (p) => p.hidden), chooser === 'cancel');
        if (chooser === 'denied')
          assert.match(await w.page.$eval('#serial-notice', (p) => p.textContent),
            /не даёт этой странице выбрать порт/);
        assert.deepEqual(await w.ports(), ['Другой порт…']);
        await w.page.close();
      }
    });

  test('an adapter pulled out leaves the list, and is back when plugged in again', async () => {
    const w = await openPage(env, { granted: 2 });
    const listed = (ports) => w.page.waitForFunction((want) => JSON.stringify(
      [...document.querySelector('.qe-combo').options].map((o) => o.textContent)) === want,
    {}, JSON.stringify(ports));
    await w.page.evaluate(() => window.varnoStandIn.unplug(2));
    await listed(['COM1', 'Другой порт…']);
    await w.page.evaluate(() => window.varnoStandIn.plug(2));
    await listed(['COM1', 'COM2', 'Другой порт…']);
    await w.page.close();
  });

  test('after a read error the port reads on, on the stream Web Serial gives next; the log names it',
    async () => {
      for (const readerror of ['BreakError', 'FramingError', 'ParityError', 'BufferOverrunError',
                               'UnknownError']) {
        const w = await upload({ readerror });
        assert.match(await sessionLog(w),
          new RegExp(`read error on COM1: ${readerror}: A read error\\.`), readerror);
        assert.deepEqual(w.errors, [], readerror);
        await w.page.close();
      }
    });
});

describe('the page', () => {
  test('is installable and opens without a network after its first load', async () => {
    const w = await openPage(env, {});
    const manifest = await w.page.evaluate(async () =>
      (await fetch(document.querySelector('link[rel=manifest]').href)).json());
    assert.equal(manifest.name, 'Varnomiksal bootloader');
    assert.equal(manifest.display, 'standalone');
    assert.ok(manifest.icons.length > 0);
    await w.page.evaluate(async () => {
      await navigator.serviceWorker.ready;
      if (!navigator.serviceWorker.controller)
        await new Promise((r) => navigator.serviceWorker.addEventListener('controllerchange', r));
    });
    await w.page.setOfflineMode(true);
    await w.page.reload();
    await w.page.waitForSelector('.qe-form .qe-combo');
    assert.ok(await w.page.evaluate(() => navigator.serviceWorker.controller !== null));
    assert.equal(await w.page.$eval('.qe-title', (t) => t.textContent), 'Varnomiksal bootloader');
    assert.deepEqual(w.errors, []);
    await w.page.close();
  });
});

// Deploys build B over the site in dir: build A's program with a mark in its
// script (varnoBuildMark) and in its wasm (a custom section), and its offline
// copy's worker stamped as scripts/build-web.sh stamps it.
function deployB(dir) {
  fs.appendFileSync(path.join(dir, 'varnomiksal.js'), "\nvar varnoBuildMark = 'B';\n");
  fs.appendFileSync(path.join(dir, 'varnomiksal.wasm'),
    Buffer.from([0, 7, 5, ...Buffer.from('buildB')]));
  const sha = (names) => {
    const h = crypto.createHash('sha256');
    for (const n of names) h.update(fs.readFileSync(path.join(dir, n)));
    return h.digest('hex').slice(0, 16);
  };
  const template = fileURLToPath(new URL('../../app/web/site/sw.js', import.meta.url));
  const version = sha(fs.readdirSync(dir).filter((n) => n !== 'sw.js').sort());
  const build = sha(['varnomiksal.js', 'varnomiksal.wasm']);
  fs.writeFileSync(path.join(dir, 'sw.js'), fs.readFileSync(template, 'utf8')
    .replace('@VERSION@', version).replace('@BUILD@', build));
  return fs.statSync(path.join(dir, 'varnomiksal.wasm')).size;
}

describe('the offline copy', () => {
  test('behind a host that caches, a new deploy is announced, then runs whole; other caches stay',
    async () => {
      const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'varnomiksal-deploy-'));
      fs.cpSync(site, dir, { recursive: true });
      const host = await startBridge({ site: dir, simulator, cacheControl: 'max-age=600' });
      const at = { browser: env.browser, bridge: host };
      try {
        let w = await openPage(at, {});
        await w.page.evaluate(async () => {
          await caches.open('another-app');
          await navigator.serviceWorker.ready;
        });
        await w.page.close();

        const wasmB = deployB(dir);
        w = await openPage(at, {});
        await w.page.waitForSelector('#update:not([hidden])', { timeout: 30000 });
        assert.equal(await w.page.$eval('#update', (p) => p.textContent),
          'Доступна новая версия страницы. Обновить страницу');
        assert.equal(await w.page.evaluate(() => window.varnoBuildMark), undefined);
        await Promise.all([w.page.waitForNavigation(), w.page.click('#update-now')]);
        await w.page.waitForSelector('.qe-form .qe-combo');
        const now = await w.page.evaluate(async () => ({
          mark: window.varnoBuildMark,
          wasm: (await (await fetch('varnomiksal.wasm')).arrayBuffer()).byteLength,
          caches: await caches.keys(),
          notice: document.getElementById('update').hidden,
        }));
        assert.equal(now.mark, 'B');
        assert.equal(now.wasm, wasmB);
        assert.equal(now.notice, true);
        assert.deepEqual(now.caches.filter((k) => !k.startsWith('varnomiksal-')), ['another-app']);
        assert.equal(now.caches.length, 2);
        assert.deepEqual(w.errors, []);
        await w.page.close();
      } finally {
        await host.close();
        fs.rmSync(dir, { recursive: true, force: true });
      }
    });
});
