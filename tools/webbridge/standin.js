// A stand-in for Web Serial (navigator.serial) that carries the bytes to the
// device simulator over a loopback WebSocket, straight to the simulator
// that bridge.mjs starts for each port opened. The page's address
// tells it what to play:
//   granted=N  N ports the user granted on an earlier visit (default 1)
//   sim=...    the simulator's faults for each port opened, as scenario
//              names (bridge.mjs lists them)
//   simN=...   the scenarios for port N alone, in place of sim
// A port whose simulator hangs up is unplugged: its streams fail with the
// error Web Serial gives for a lost device, and 'disconnect' is fired.
(function () {
  'use strict';
  const query = new URLSearchParams(location.search);
  const events = new EventTarget();
  // What happened, in order: ['open', n] and ['close', n] in `order`.
  const log = { opens: [], written: 0, received: 0, signals: [], closes: 0, order: [] };

  class StandInPort extends EventTarget {
    constructor(n) {
      super();
      this.n = n;
      this.readable = null;
      this.writable = null;
      this.ws = null;
    }
    getInfo() { return { usbVendorId: 0x0403, usbProductId: 0x6001 }; }
    async setSignals(signals) { log.signals.push(signals); }
    async getSignals() {
      return { dataCarrierDetect: false, clearToSend: false, ringIndicator: false,
               dataSetReady: false };
    }
    open(options) {
      if (this.ws) return Promise.reject(new DOMException('The port is already open.',
                                                           'InvalidStateError'));
      log.opens.push(Object.assign({ port: this.n }, options));
      log.order.push(['open', this.n]);
      const simArgs = query.get('sim' + this.n) ?? query.get('sim') ?? '';
      const lineUrl = `/line?port=${this.n}` + (simArgs ? `&sim=${encodeURIComponent(simArgs)}` : '');
      const opening = {}; // this opening, told apart from any later one
      this.ws = opening;
      const failed = () => {
        if (this.ws === opening) this.ws = null;
        throw new DOMException('Failed to open serial port.', 'NetworkError');
      };
      return fetch(lineUrl).then((r) => r.json())
        .then(({ url }) => this.connect(url, opening)).catch(failed);
    }
    // Joins the port to its device's WebSocket, unless it was closed meanwhile.
    connect(url, opening) {
      if (this.ws !== opening) throw new Error('closed while opening');
      const ws = new WebSocket(url);
      ws.binaryType = 'arraybuffer';
      this.ws = ws;
      return new Promise((resolve, reject) => {
        ws.onerror = () => { // before it opened; after, onclose tells
          if (this.readable) return;
          if (this.ws === ws) this.ws = null;
          reject(new Error('no connection'));
        };
        ws.onopen = () => {
          let source;
          this.readable = new ReadableStream({ start(c) { source = c; } });
          this.writable = new WritableStream({
            write(chunk) {
              if (ws.readyState !== WebSocket.OPEN)
                throw new DOMException('The device has been lost.', 'NetworkError');
              log.written += chunk.byteLength;
              ws.send(chunk);
            },
          });
          ws.onmessage = (e) => {
            const bytes = new Uint8Array(e.data);
            log.received += bytes.length;
            try { source.enqueue(bytes); } catch (err) { /* cancelled */ }
          };
          ws.onclose = () => this.unplugged(source);
          resolve();
        };
      });
    }
    // The device went away: reading and writing fail, as Web Serial's do.
    unplugged(source) {
      if (!this.ws) return;
      this.ws = null;
      const lost = new DOMException('The device has been lost.', 'NetworkError');
      try { source.error(lost); } catch (e) { /* closed */ }
      const writable = this.writable;
      this.readable = null;
      this.writable = null;
      if (writable) writable.abort(lost).catch(() => {});
      events.dispatchEvent(Object.assign(new Event('disconnect'), { port: this }));
    }
    async close() {
      log.closes++;
      log.order.push(['close', this.n]);
      const ws = this.ws;
      this.ws = null;
      this.readable = null;
      this.writable = null;
      if (ws instanceof WebSocket) {
        ws.onclose = null;
        ws.close();
      }
    }
  }

  const granted = [];
  for (let n = 1; n <= Number(query.get('granted') || 1); n++) granted.push(new StandInPort(n));

  const serial = {
    async getPorts() { return granted.slice(); },
    // The chooser: the user picks a new device.
    async requestPort() {
      const port = new StandInPort(granted.length + 1);
      granted.push(port);
      return port;
    },
    addEventListener(type, f) {
      events.addEventListener(type, (e) => f({ type: e.type, target: e.port }));
    },
    removeEventListener() {},
  };
  Object.defineProperty(navigator, 'serial', { value: serial, configurable: true });
  window.varnoStandIn = { log, ports: granted };
})();
