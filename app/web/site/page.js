// The page around the program: the entry of the port list that opens the
// browser's chooser, the download of the last session's log, the notices
// when the browser has no Web Serial, when a port is busy and when the
// chooser may not open, and the offline copy of the page with
// the notice that a newer page is waiting.
var Module = {
  onRuntimeInitialized() {
    const serial = Module.varnoSerial;
    if (!serial.available()) document.getElementById('no-serial').hidden = false;
    // A page may only use the ports the user granted: the list ends with an
    // entry that asks the browser for another one.
    Module.varnoUi.comboExtra = serial.available() ? {
      text: 'Другой порт…',
      action: async () => {
        const n = await serial.request();
        if (n) Module._varno_ports_changed(n);
      },
    } : null;
    serial.onChange(() => Module._varno_ports_changed(0));
    serial.onTrouble(showTrouble);
    serial.watchPlugging();
    Module.varnoUi.onClosed = () => {
      document.getElementById('closed').hidden = false;
      showLog();
    };
  },
  postRun: [() => {
    Module.varnoUi.refreshExtras();
    setInterval(showLog, 1000);
  }],
};

const logPath = '/varnomiksal/last-session.log';

// What the window has no words for, below it; gone once a port opens.
function showTrouble(kind, n) {
  const texts = {
    busy: `Порт COM${n} не открылся: он занят другой программой или вкладкой браузера. ` +
          'Закройте её и выберите порт снова.',
    denied: 'Браузер не даёт этой странице выбрать порт: она встроена в другую страницу ' +
            'без разрешения на последовательные порты. Откройте её в отдельной вкладке.',
    chooser: 'Браузер не открыл список последовательных портов.',
  };
  const notice = document.getElementById('serial-notice');
  notice.textContent = texts[kind] || '';
  notice.hidden = !texts[kind];
}

function showLog() {
  if (Module.varnoFiles && Module.varnoFiles.read(logPath))
    document.getElementById('log').hidden = false;
}

document.getElementById('log-link').addEventListener('click', (e) => {
  e.preventDefault();
  Module.varnoFiles.download(logPath, 'varnomiksal-last-session.log');
});

// A newer build of the page (and of the image it carries) waits until the
// user reloads through the notice: this page's script and wasm stay one build.
function watchUpdates(registration) {
  const notice = document.getElementById('update');
  const waiting = () => {
    if (registration.waiting && navigator.serviceWorker.controller) notice.hidden = false;
  };
  registration.addEventListener('updatefound', () => {
    const worker = registration.installing;
    worker.addEventListener('statechange', waiting);
  });
  waiting();
  document.getElementById('update-now').addEventListener('click', (e) => {
    e.preventDefault();
    if (!registration.waiting) return location.reload();
    navigator.serviceWorker.addEventListener('controllerchange', () => location.reload());
    registration.waiting.postMessage('varnomiksal-update');
  });
}

if ('serviceWorker' in navigator && location.protocol !== 'file:')
  navigator.serviceWorker.register('sw.js', { updateViaCache: 'none' })
    .then(watchUpdates).catch(() => {});
