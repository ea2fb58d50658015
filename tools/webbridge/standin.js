// A stand-in for Web Serial (navigator.serial) that carries the bytes to the
// device simulator over a loopback WebSocket, straight to the simulator
// that bridge.mjs starts for each port opened. The page's address
// tells it what to play:
//   granted=N  N ports the user granted on an earlier visit (default 1)
//   sim=...    the simulator's faults for each port opened, as scenario
//              names (bridge.mjs lists them)
//   simN=...   the scenarios for port N alone, in place of sim
//   busy=N     port N is open in another program: opening it fails
//   chooser=cancel|denied  the chooser is cancelled by the user, or not
//              allowed to this page (an iframe without allow="serial")
//   readerror=NAME  the first bytes from the device come after a read
//              error of that name (BreakError, FramingError, ..., or any
//              other, which ends the stream as a line error does)
//   hold=1     written bytes stay queued until the writer closes (a slow
//              line at the moment of a close); hold=stuck: for good
//   holdfrom=N the hold starts after the first N bytes written (default 0)
// It is as strict as Chrome where the page depends on it: a write resolves
// once its bytes are queued; writer.close() resolves once they have gone,
// and then `writable` is a new stream; close() and abort() drop what has not
// gone; close() rejects while a stream is locked, and on a port not open;
// open() rejects on an open or busy port. A port whose simulator hangs up is
// unplugged: its streams fail with the error Web Serial gives for a lost
// device, and 'disconnect' is fired. varnoStandIn.unplug(n) and plug(n) pull
// port n's adapter out and put it back ('disconnect', 'connect').
(function () {
  'use strict';
  const query = new URLSearchParams(location.search);
  const events = new EventTarget();
  // What happened, in order: ['open', n] and ['close', n] in `order` (a
  // close only once it succeeded); `written` counts bytes the page wrote,
  // `sent` those that went on the line, `dropped` those a close or an abort
  // threw away.
  const log = { opens: [], written: 0, sent: 0, received: 0, signals: [], closes: 0, order: [],
                dropped: 0 };
  // hold=1: the line takes nothing (after the first holdfrom bytes) until
  // the writer closes; hold=stuck: not even then (a line held by flow control).
  const hold = query.get('hold');
  const holdFrom = Number(query.get('holdfrom') || 0);

  class StandInPort extends EventTarget {
    constructor(n) {
      super();
      this.n = n;
      this.state = 'closed'; // opening, opened, closing
      this.readable = null;
      this.currentWritable = null; // `writable`, until it closes or aborts
      this.ws = null;
      this.unsent = []; // written, not yet on the line
      this.closing = false; // the writer asked to drain
      this.drained = []; // writer.close()s waiting for unsent to go
    }
    getInfo() { return { usbVendorId: 0x0403, usbProductId: 0x6001 }; }
    async setSignals(signals) { log.signals.push(signals); }
    async getSignals() {
      return { dataCarrierDetect: false, clearToSend: false, ringIndicator: false,
               dataSetReady: false };
    }
    open(options) {
      if (this.state !== 'closed')
        return Promise.reject(new DOMException('The port is already open.', 'InvalidStateError'));
      if (query.get('busy') === String(this.n) || this.gone)
        return Promise.reject(new DOMException('Failed to open serial port.', 'NetworkError'));
      log.opens.push(Object.assign({ port: this.n }, options));
      log.order.push(['open', this.n]);
      const sim = query.get('sim' + this.n) ?? query.get('sim') ?? '';
      const lineUrl = `/line?port=${this.n}` + (sim ? `&sim=${encodeURIComponent(sim)}` : '');
      const opening = {}; // this opening, told apart from any later one
      this.ws = opening;
      this.state = 'opening';
      const failed = () => {
        if (this.ws === opening) {
          this.ws = null;
          this.state = 'closed';
        }
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
          this.state = 'opened';
          this.closing = false;
          this.unsent = [];
          let source;
          const newReadable = () => new ReadableStream({ start(c) { source = c; } });
          this.readable = newReadable();
          let readError = query.get('readerror') || '';
          ws.onmessage = (e) => {
            const bytes = new Uint8Array(e.data);
            log.received += bytes.length;
            // A read error ends this stream; the port gives a new one.
            if (readError) {
              source.error(new DOMException('A read error.', readError));
              readError = '';
              this.readable = newReadable();
            }
            try { source.enqueue(bytes); } catch (err) { /* cancelled */ }
          };
          ws.onclose = () => this.unplugged(source);
          resolve();
        };
      });
    }
    // The stream the page writes to while the port is open: once one has
    // closed (drained) or been aborted, the next look gives a new one.
    get writable() {
      if (this.currentWritable) return this.currentWritable;
      const ws = this.ws;
      if (this.state !== 'opened' || !(ws instanceof WebSocket)) return null;
      const port = this;
      const ended = () => { if (port.currentWritable === stream) port.currentWritable = null; };
      this.closing = false;
      const stream = new WritableStream({
        write(chunk) {
          if (ws.readyState !== WebSocket.OPEN)
            throw new DOMException('The device has been lost.', 'NetworkError');
          log.written += chunk.byteLength;
          port.queue(ws, chunk.slice());
        },
        close() {
          return new Promise((resolve, reject) => {
            port.drained.push((e) => {
              ended();
              if (e) reject(e);
              else resolve();
            });
            port.closing = true;
            port.queue(ws);
          });
        },
        abort() {
          port.drop();
          ended();
        },
      });
      this.currentWritable = stream;
      return stream;
    }
    // Puts bytes in the line's queue, which goes out at once unless the line
    // is held (past its first holdfrom bytes); a writer.close() waiting on it
    // resolves once all of it has gone.
    queue(ws, bytes) {
      if (bytes) this.unsent.push(bytes);
      const held = hold === 'stuck' || (hold && !this.closing);
      let room = held ? Math.max(0, holdFrom - log.sent) : Infinity;
      while (this.unsent.length > 0 && room > 0) {
        let b = this.unsent[0];
        if (b.byteLength > room) {
          this.unsent[0] = b.subarray(room);
          b = b.subarray(0, room);
        } else {
          this.unsent.shift();
        }
        if (ws.readyState === WebSocket.OPEN) ws.send(b);
        log.sent += b.byteLength;
        room -= b.byteLength;
      }
      if (this.unsent.length === 0) for (const f of this.drained.splice(0)) f();
    }
    // Throws the queue away; a writer.close() waiting on it fails with error.
    drop(error) {
      for (const b of this.unsent) log.dropped += b.byteLength;
      this.unsent = [];
      for (const f of this.drained.splice(0)) f(error || new DOMException('Aborted.', 'AbortError'));
    }
    // The device went away: reading and writing fail, as Web Serial's do;
    // the port stays open until the page closes it.
    unplugged(source) {
      if (!(this.ws instanceof WebSocket)) return;
      this.ws = null;
      const lost = new DOMException('The device has been lost.', 'NetworkError');
      this.drop(lost);
      try { source.error(lost); } catch (e) { /* closed */ }
      const writable = this.currentWritable;
      this.readable = null;
      this.currentWritable = null;
      if (writable && !writable.locked) writable.abort(lost).catch(() => {});
      events.dispatchEvent(Object.assign(new Event('disconnect'), { port: this }));
    }
    async close() {
      if (this.state !== 'opened')
        throw new DOMException('The port is already closed.', 'InvalidStateError');
      if ((this.readable && this.readable.locked) ||
          (this.currentWritable && this.currentWritable.locked))
        throw new TypeError('Cannot cancel a locked stream');
      this.drop();
      log.closes++;
      log.order.push(['close', this.n]);
      const ws = this.ws;
      this.ws = null;
      this.state = 'closed';
      this.readable = null;
      this.currentWritable = null;
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
    // The chooser: the user picks a new device, or cancels it, or the page
    // may not open it (outside a user's gesture, or not allowed to this page).
    async requestPort() {
      // Only inside the user's gesture (a click, a key), as Chrome asks.
      if (!navigator.userActivation.isActive)
        throw new DOMException('Must be handling a user gesture to show a permission request.',
                               'SecurityError');
      if (query.get('chooser') === 'cancel')
        throw new DOMException('No port selected by the user.', 'NotFoundError');
      if (query.get('chooser') === 'denied')
        throw new DOMException('Access to the feature "serial" is disallowed by permissions policy.',
                               'SecurityError');
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
  // Tests pull a granted port's adapter out and put it back: 'disconnect'
  // and 'connect', as Web Serial raises them; an unplugged port will not open.
  const plugging = (type, n) => {
    const port = granted[n - 1];
    port.gone = type === 'disconnect';
    if (port.gone && port.ws instanceof WebSocket) port.ws.close(); // unplugged() tells
    else events.dispatchEvent(Object.assign(new Event(type), { port }));
  };
  window.varnoStandIn = { log, ports: granted, unplug: (n) => plugging('disconnect', n),
                          plug: (n) => plugging('connect', n) };
})();
