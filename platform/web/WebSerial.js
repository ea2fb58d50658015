// The page's serial devices on Web Serial (navigator.serial). The page may
// only use ports that the user granted through the browser's chooser; each
// granted port gets a number the first time this page sees it, and keeps it
// while the page lives, so that "COM<n>" names the same device throughout.
// Comm.cpp calls open, configure, write, drain, discardOutput and close;
// received bytes, read errors and the loss of a device go back through the
// exported varno_serial_* functions.
Module.varnoSerial = (function () {
  'use strict';
  const numberOf = new Map(); // SerialPort -> n
  const portOf = new Map(); // n -> SerialPort
  const present = new Set(); // numbers of the ports that are plugged in
  const devices = new Map(); // id -> the state of an open device
  const settled = new Map(); // SerialPort -> promise of its close in progress
  let nextId = 1;
  let changed = () => {};
  let trouble = () => {};

  // Line errors as Web Serial names them, and the flags a driver would set.
  const lineErrors = { FramingError: 0x0008, ParityError: 0x0004, BreakError: 0x0010,
                       BufferOverrunError: 0x0001 };

  function number(port) {
    if (!numberOf.has(port)) {
      let n = 1;
      while (portOf.has(n)) n++;
      numberOf.set(port, n);
      portOf.set(n, port);
    }
    present.add(numberOf.get(port));
    return numberOf.get(port);
  }

  function busy(port) {
    for (const d of devices.values()) if (d.port === port && !d.closed) return true;
    return false;
  }

  function lost(d) {
    if (d.lost || d.closed) return;
    d.lost = true;
    Module._varno_serial_lost(d.id);
  }

  function deliver(d, bytes) {
    if (d.closed || bytes.length === 0) return;
    const p = Module._malloc(bytes.length);
    HEAPU8.set(bytes, p);
    try {
      Module._varno_serial_received(d.id, p, bytes.length);
    } finally {
      Module._free(p);
    }
  }

  // Tells the program of a read error: its name and message, and the flag
  // a driver would set for a line error.
  function readError(d, e) {
    const name = String((e && e.name) || 'Error');
    const text = name + (e && e.message ? ': ' + e.message : '');
    const size = lengthBytesUTF8(text) + 1;
    const p = Module._malloc(size);
    stringToUTF8(text, p, size);
    try {
      Module._varno_serial_read_error(d.id, lineErrors[name] || 0, p);
    } finally {
      Module._free(p);
    }
  }

  // Reads until the device is closed or gone. A line error ends only the
  // stream it came on: Web Serial gives the port a new one, and reading goes on.
  async function readLoop(d) {
    while (!d.closed) {
      const readable = d.port.readable;
      if (!readable) break;
      d.reader = readable.getReader();
      try {
        for (;;) {
          const { value, done } = await d.reader.read();
          if (done) break;
          deliver(d, value);
        }
      } catch (e) {
        if (!d.closed) readError(d, e);
      } finally {
        try { d.reader.releaseLock(); } catch (e) { /* already released */ }
        d.reader = null;
      }
    }
    lost(d);
  }

  // Hands what was written to the device's stream, in order, once it is open.
  function send(d) {
    if (!d.writer || d.out.length === 0) return;
    let size = 0;
    for (const c of d.out) size += c.length;
    const chunk = d.out.length === 1 ? d.out[0] : new Uint8Array(size);
    if (d.out.length > 1) {
      let at = 0;
      for (const c of d.out) { chunk.set(c, at); at += c.length; }
    }
    d.out = [];
    d.pending += size;
    const writer = d.writer;
    writer.write(chunk).then(() => { d.pending -= size; },
                             () => { d.pending -= size; if (!writer.dropped) lost(d); });
  }

  function timeout(ms) {
    return new Promise((resolve) => setTimeout(resolve, ms));
  }

  // Resolves to true once everything written so far has left the line, or
  // to false when it could not within the bound (the rest is dropped, as a
  // write time-out leaves it unsent) or the device is gone. A write resolves
  // once its bytes are queued: only a writer's close() waits until they have
  // gone, so the writer closes, and a new one takes the later writes.
  async function drain(d, constantMs, perByteMs) {
    await d.opened;
    if (!d.writer || d.lost) return false;
    const writer = d.writer;
    send(d);
    d.writer = null; // what is written meanwhile waits in d.out
    const bound = constantMs + perByteMs * d.pending;
    const closed = writer.close().then(() => true, () => false);
    const drained = await Promise.race([closed, timeout(bound).then(() => false)]);
    if (!drained) {
      writer.dropped = true;
      writer.abort().catch(() => {});
    }
    try { writer.releaseLock(); } catch (e) { /* released already */ }
    if (drained && !d.lost && d.port.writable) {
      d.writer = d.port.writable.getWriter();
      send(d);
    }
    return drained && !d.lost;
  }

  // Lets queued output go out (within the bound), then gives the device back.
  // A write resolves once its bytes are queued, and the port's close()
  // throws away what has not left: only writer.close() waits until it has.
  // Past the bound, abort() drops the rest (a line held by flow control).
  // Both streams are released before the port is closed, which a locked
  // stream would refuse.
  async function release(d, constantMs, perByteMs) {
    await d.opened;
    await d.draining;
    if (d.writer) {
      send(d);
      const bound = constantMs + perByteMs * d.pending;
      const drained = d.writer.close().then(() => true, () => false);
      if (!(await Promise.race([drained, timeout(bound).then(() => false)]))) {
        d.writer.dropped = true;
        d.writer.abort().catch(() => {});
      }
      try { d.writer.releaseLock(); } catch (e) { /* released already */ }
    }
    if (d.reader) {
      try { await d.reader.cancel(); } catch (e) { /* gone already */ }
    }
    if (d.isOpen) {
      try { await d.port.close(); } catch (e) { /* unplugged */ }
    }
  }

  return {
    // Takes the ports already granted; called before the program starts.
    async refresh() {
      if (!navigator.serial) return;
      present.clear();
      for (const port of await navigator.serial.getPorts()) number(port);
    },
    // Opens the browser's chooser (inside the user's click); the number of
    // the granted port, or 0 when the user cancelled.
    async request() {
      if (!navigator.serial) return 0;
      try {
        const port = await navigator.serial.requestPort();
        const n = number(port);
        changed();
        return n;
      } catch (e) {
        // NotFoundError: the user cancelled, which needs no word.
        if (e && e.name !== 'NotFoundError')
          trouble(e.name === 'SecurityError' ? 'denied' : 'chooser', 0);
        return 0;
      }
    },
    available() { return !!navigator.serial; },
    // Called whenever a port comes or goes.
    onChange(f) { changed = f; },
    // Called with what went wrong where the window has no word for it:
    // 'busy' (port n would not open: another program or tab has it),
    // 'denied' (this page may not open the chooser), 'chooser' (the chooser
    // failed otherwise), or '' once port n has opened.
    onTrouble(f) { trouble = f; },
    watchPlugging() {
      if (!navigator.serial) return;
      navigator.serial.addEventListener('connect', (e) => { number(e.target); changed(); });
      navigator.serial.addEventListener('disconnect', (e) => {
        if (numberOf.has(e.target)) present.delete(numberOf.get(e.target));
        changed();
      });
    },
    list(out, max) {
      const numbers = [...present].sort((a, b) => a - b).slice(0, max);
      numbers.forEach((n, i) => { HEAP32[(out >> 2) + i] = n; });
      return numbers.length;
    },
    open(n) {
      const port = portOf.get(n);
      if (!port || !present.has(n) || busy(port)) return 0;
      const d = { id: nextId++, port, out: [], pending: 0,
                  opened: Promise.resolve(), draining: Promise.resolve(), isOpen: false,
                  closed: false, lost: false, writer: null, reader: null };
      devices.set(d.id, d);
      return d.id;
    },
    // The line settings: the device opens with them once every earlier
    // close has finished, so that a port chosen after another opens after
    // the other has been given back, as on the other systems.
    configure(id, baudRate, dataBits, stopBits, parity, bufferSize, dtr, rts, hardwareFlow) {
      const d = devices.get(id);
      if (!d) return;
      const options = { baudRate, dataBits, stopBits, bufferSize,
                        parity: ['none', 'odd', 'even'][parity] || 'none',
                        flowControl: hardwareFlow ? 'hardware' : 'none' };
      const before = Promise.all([...settled.values()]);
      const n = numberOf.get(d.port);
      d.opened = before.then(() => d.port.open(options).catch((e) => {
        if (e && e.name === 'NetworkError' && !d.closed) trouble('busy', n);
        throw e;
      })).then(async () => {
        d.isOpen = true;
        trouble('', n);
        try {
          await d.port.setSignals({ dataTerminalReady: !!dtr, requestToSend: !!rts });
        } catch (e) { /* a device without modem lines */ }
        d.writer = d.port.writable.getWriter();
        send(d);
        readLoop(d);
      }).catch(() => lost(d)); // not opened, or gone while opening
    },
    write(id, bytes) {
      const d = devices.get(id);
      if (!d || d.closed) return;
      d.out.push(bytes);
      send(d);
    },
    // Resolves to whether everything written to device id has left the line
    // (see drain); false for a device not open.
    drain(id, constantMs, perByteMs) {
      const d = devices.get(id);
      if (!d || d.closed) return Promise.resolve(false);
      const done = d.draining.then(() => drain(d, constantMs, perByteMs));
      d.draining = done.catch(() => {});
      return done.catch(() => false);
    },
    discardOutput(id) {
      const d = devices.get(id);
      if (d) d.out = [];
    },
    close(id, constantMs, perByteMs) {
      const d = devices.get(id);
      if (!d) return;
      d.closed = true;
      devices.delete(id);
      const done = release(d, constantMs, perByteMs).catch(() => {});
      settled.set(d.port, done);
      done.then(() => { if (settled.get(d.port) === done) settled.delete(d.port); });
    },
  };
})();

// The program starts once the ports granted earlier are known, so that its
// first listing of the ports has them.
Module.preRun = [].concat(Module.preRun || [], function () {
  addRunDependency('varno-serial-ports');
  Module.varnoSerial.refresh().catch(function () {}).then(function () {
    removeRunDependency('varno-serial-ports');
  });
});
