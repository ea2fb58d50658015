// What the page's tests and benchmark share: the server with the simulator
// behind it, headless Chromium (the system's browser), and the window's
// controls as the page draws them.
import puppeteer from 'puppeteer-core';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { startBridge } from '../../tools/webbridge/bridge.mjs';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
export const site = process.env.WEB_SITE_DIR || path.join(root, 'build-web/site');
export const simulator = process.env.VARNO_SIMULATOR ||
  path.join(process.env.BUILD_DIR || path.join(root, 'build'), 'tools/simulator/varnomiksal-sim');

export async function startBrowser() {
  const bridge = await startBridge({ site, simulator });
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage', '--font-render-hinting=none',
           // One process less on every WebSocket message's way.
           '--enable-features=NetworkServiceInProcess2',
           '--disable-background-timer-throttling', '--disable-renderer-backgrounding',
           '--disable-backgrounding-occluded-windows'],
  });
  return {
    bridge,
    browser,
    async close() {
      await browser.close();
      await bridge.close();
    },
  };
}

// Opens the page with the stand-in's options (granted, sim) and waits for the window.
export async function openPage(env, params = {}) {
  const page = await env.browser.newPage();
  await page.setViewport({ width: 640, height: 360 });
  const errors = [];
  page.on('pageerror', (e) => errors.push(String(e)));
  const query = new URLSearchParams(params).toString();
  await page.goto(env.bridge.url + (query ? '?' + query : ''));
  await page.waitForSelector('.qe-form .qe-combo');
  return new Window(page, errors);
}

// The window's controls, found by what they show.
export class Window {
  constructor(page, errors) {
    this.page = page;
    this.errors = errors;
  }
  status() { return this.page.$eval('.qe-edit', (e) => e.value); }
  ports() {
    return this.page.$eval('.qe-combo', (s) => [...s.options].map((o) => o.textContent));
  }
  // Chooses an entry of the port list. The last one opens the chooser, which
  // the browser allows only inside the user's gesture: it is taken with the
  // keyboard, as a user would.
  async choose(text) {
    const ports = await this.ports();
    if (text !== ports.at(-1)) return this.page.select('.qe-combo', text);
    await this.page.focus('.qe-combo');
    await this.page.keyboard.press('End');
  }
  async waitStatus(test, timeout = 10000) {
    await this.page.waitForFunction((t) => {
      const e = document.querySelector('.qe-edit');
      return e && e.value.includes(t);
    }, { timeout }, test);
    return this.status();
  }
  // A button by its caption.
  button(caption) {
    return this.page.evaluateHandle((c) => [...document.querySelectorAll('.qe-button')]
      .find((b) => b.textContent === c), caption);
  }
  async click(caption) {
    const b = await this.button(caption);
    await b.click();
  }
  // The texts of the controls the user sees now: shown, and inside the
  // window's client area.
  visibleTexts() {
    return this.page.$$eval('.qe-client > *', (all) => all.filter((e) => {
      const r = e.getBoundingClientRect(), c = e.parentNode.getBoundingClientRect();
      return e.offsetParent !== null && r.top < c.bottom && r.left < c.right;
    })
      .map((e) => e.value !== undefined && e.tagName !== 'BUTTON' ? e.value : e.textContent)
      .filter((t) => t));
  }
  async waitVisible(text, timeout = 60000) {
    await this.page.waitForFunction((t) => [...document.querySelectorAll('.qe-client > *')]
      .some((e) => e.offsetParent !== null && e.textContent === t), { timeout }, text);
  }
  standIn() { return this.page.evaluate(() => window.varnoStandIn.log); }
  progress() {
    return this.page.$eval('.qe-progress', (p) => Number(p.getAttribute('aria-valuenow')));
  }
}
