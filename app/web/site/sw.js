// The page's offline copy: every file of the page is kept at the first
// visit, and served from the copy afterwards, so the page opens without a
// network. The copy carries the firmware image (in varnomiksal.wasm), so:
// - each build's copy is a cache of its own, named by the build, and the
//   page is served from that one cache, so its script and its wasm always
//   come from one build; a copy whose script and wasm are not the pair this
//   worker was built with is refused (a deploy in the middle of the fetch);
// - a new copy is fetched past the browser's HTTP cache, which a host may
//   keep for minutes;
// - a new build waits until no tab runs the old one, or until the page, which
//   tells the user it is waiting, asks for it; it then deletes the old
//   build's copy, and no other cache of the origin.
const prefix = 'varnomiksal-';
const version = prefix + '@VERSION@';
const build = '@BUILD@'; // the SHA-256 of varnomiksal.js and varnomiksal.wasm, begun
const files = ['./', 'index.html', 'page.js', 'style.css', 'manifest.webmanifest', 'icon.svg',
               'varnomiksal.js', 'varnomiksal.wasm'];

// Fetches every file past the HTTP cache, checks that the script and the
// wasm are this build's, and only then keeps them.
async function fill() {
  const got = await Promise.all(files.map(async (f) => {
    const r = await fetch(new Request(f, { cache: 'reload' }));
    if (!r.ok) throw new Error(`${f}: ${r.status}`);
    return { body: await r.arrayBuffer(), headers: r.headers };
  }));
  const [js, wasm] = ['varnomiksal.js', 'varnomiksal.wasm'].map((f) => got[files.indexOf(f)].body);
  const both = new Uint8Array(js.byteLength + wasm.byteLength);
  both.set(new Uint8Array(js));
  both.set(new Uint8Array(wasm), js.byteLength);
  const digest = new Uint8Array(await crypto.subtle.digest('SHA-256', both));
  const hex = [...digest].map((b) => b.toString(16).padStart(2, '0')).join('');
  if (!hex.startsWith(build)) throw new Error('the script and the wasm are of another build');
  const cache = await caches.open(version);
  await Promise.all(files.map((f, i) => cache.put(f, new Response(got[i].body,
                                                                   { headers: got[i].headers }))));
}

self.addEventListener('install', (event) => {
  event.waitUntil(fill().catch(async (e) => {
    await caches.delete(version);
    throw e;
  }));
});

// The page asks for the waiting build once the user chose to reload.
self.addEventListener('message', (event) => {
  if (event.data === 'varnomiksal-update') self.skipWaiting();
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((keys) => Promise.all(keys.filter((k) => k.startsWith(prefix) && k !== version)
      .map((k) => caches.delete(k))))
    .then(() => self.clients.claim()));
});

self.addEventListener('fetch', (event) => {
  if (event.request.method !== 'GET') return;
  event.respondWith(caches.open(version).then((cache) =>
    cache.match(event.request, { ignoreSearch: true }).then((hit) => hit || fetch(event.request))));
});
