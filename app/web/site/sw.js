// The page's offline copy: every file of the page is kept at the first
// visit, and served from the copy afterwards, so the page opens without a
// network. A new build has a new version, which replaces the copy.
const version = 'varnomiksal-@VERSION@';
const files = ['./', 'index.html', 'page.js', 'style.css', 'manifest.webmanifest', 'icon.svg',
               'varnomiksal.js', 'varnomiksal.wasm'];

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(version).then((cache) => cache.addAll(files))
    .then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((keys) => Promise.all(keys.filter((k) => k !== version).map((k) => caches.delete(k))))
    .then(() => self.clients.claim()));
});

self.addEventListener('fetch', (event) => {
  if (event.request.method !== 'GET') return;
  event.respondWith(caches.open(version).then((cache) =>
    cache.match(event.request, { ignoreSearch: true }).then((hit) => hit || fetch(event.request))));
});
