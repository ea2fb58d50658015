// The README's pictures of the page's window in its five states (choosing,
// ready, uploading, success, failure), each a picture of the window's
// client area as the other systems' pictures are, against the simulator.
// Usage: node screenshots.mjs <folder>
import fs from 'node:fs';
import path from 'node:path';
import { openPage, startBrowser } from './page.mjs';

const out = process.argv[2];
fs.mkdirSync(out, { recursive: true });
const env = await startBrowser();
const shoot = async (w, name) => {
  const client = await w.page.$('.qe-client');
  await client.screenshot({ path: path.join(out, name + '.png') });
};
try {
  let w = await openPage(env, { sim: 'paced' });
  await shoot(w, 'choosing');
  await w.choose('COM1');
  await w.waitStatus('Устройство');
  await shoot(w, 'ready');
  await w.click('Записать');
  await w.page.waitForFunction(() =>
    Number(document.querySelector('.qe-progress').getAttribute('aria-valuenow')) >= 200,
  { timeout: 60000 });
  await shoot(w, 'uploading');
  await w.page.close();
  for (const [name, sim] of [['success', ''], ['failure', 'early-wrong-crc']]) {
    w = await openPage(env, sim ? { sim } : {});
    await w.choose('COM1');
    await w.waitStatus('Устройство');
    await w.click('Записать');
    await w.waitVisible('OK');
    await shoot(w, name);
    await w.page.close();
  }
} finally {
  await env.close();
}
