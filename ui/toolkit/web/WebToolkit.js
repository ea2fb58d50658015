// The window toolkit's HTML side: each control is an element of the page,
// placed where the program places it (pixels in its parent's client area),
// showing the text, colours, font and state WebControl.cpp gives it. What
// the user does goes back through the exported varno_ui_* functions.
Module.varnoUi = (function () {
  'use strict';
  const nodes = new Map(); // node number -> { kind, control, el, client, ... }
  let nextNode = 1;
  const kinds = ['form', 'button', 'label', 'picture', 'edit', 'combo', 'progress'];
  const WS_CAPTION = 0x00C00000, WS_BORDER = 0x00800000, WS_EX_CLIENTEDGE = 0x200,
    WS_EX_STATICEDGE = 0x20000, ES_READONLY = 0x800, ES_PASSWORD = 0x20, ES_CENTER = 1,
    ES_RIGHT = 2, SS_CENTER = 1, SS_RIGHT = 2, BS_DEFPUSHBUTTON = 1;
  let desktop = null;
  let measurer = null;

  function css(color) { // 0x00BBGGRR
    const r = color & 0xFF, g = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
    return `rgb(${r}, ${g}, ${b})`;
  }

  function fontCss(face, pixels, style) {
    const faces = [face, 'MS Sans Serif', 'Tahoma', 'DejaVu Sans', 'sans-serif']
      .filter((f, i, all) => f && all.indexOf(f) === i)
      .map((f) => (f === 'sans-serif' ? f : `'${f}'`)).join(', ');
    return `${style & 2 ? 'italic ' : ''}${style & 1 ? 'bold ' : ''}${pixels}px ${faces}`;
  }

  function host() {
    if (!desktop) desktop = document.getElementById('desktop') || document.body;
    return desktop;
  }

  function call(name, ...args) {
    Module['_' + name](...args);
  }

  function makeForm(n) {
    const el = document.createElement('div');
    el.className = 'qe-form';
    el.setAttribute('role', 'dialog');
    const bar = document.createElement('div');
    bar.className = 'qe-caption';
    const icon = document.createElement('img');
    icon.className = 'qe-icon';
    icon.alt = '';
    const title = document.createElement('span');
    title.className = 'qe-title';
    const close = document.createElement('button');
    close.className = 'qe-close';
    close.type = 'button';
    close.title = 'Закрыть';
    close.textContent = '\u00D7';
    close.addEventListener('click', () => call('varno_ui_close_requested', n.control));
    bar.append(icon, title, close);
    const client = document.createElement('div');
    client.className = 'qe-client';
    el.append(bar, client);
    n.title = title;
    n.icon = icon;
    n.bar = bar;
    n.client = client;
    host().appendChild(el);
    return el;
  }

  function make(kind, n, parent) {
    let el;
    switch (kind) {
      case 'form': return makeForm(n);
      case 'button':
        el = document.createElement('button');
        el.type = 'button';
        el.addEventListener('click', () => call('varno_ui_clicked', n.control));
        break;
      case 'label':
        el = document.createElement('div');
        el.addEventListener('click', () => call('varno_ui_clicked', n.control));
        break;
      case 'picture':
        el = document.createElement('canvas');
        el.addEventListener('click', () => call('varno_ui_clicked', n.control));
        break;
      case 'edit':
        el = document.createElement('input');
        el.type = 'text';
        el.spellcheck = false;
        el.addEventListener('input', () => {
          const p = stringToNewUTF8(el.value);
          try { call('varno_ui_text_changed', n.control, p); } finally { _free(p); }
        });
        break;
      case 'combo':
        el = document.createElement('select');
        n.items = [];
        n.extra = null;
        el.addEventListener('change', () => {
          if (n.extra && el.selectedIndex === n.items.length) {
            el.selectedIndex = n.chosen;
            Module.varnoUi.comboExtra.action();
            return;
          }
          n.chosen = el.selectedIndex;
          const p = stringToNewUTF8(el.selectedIndex >= 0 ? n.items[el.selectedIndex] : '');
          try { call('varno_ui_text_changed', n.control, p); } finally { _free(p); }
          call('varno_ui_selection_changed', n.control);
        });
        n.chosen = -1;
        break;
      case 'progress':
        el = document.createElement('div');
        el.setAttribute('role', 'progressbar');
        n.bar = document.createElement('div');
        n.bar.className = 'qe-bar';
        el.appendChild(n.bar);
        break;
    }
    el.classList.add('qe-' + kind);
    (parent ? parent.client : host()).appendChild(el);
    return el;
  }

  function stringToNewUTF8(s) {
    const size = lengthBytesUTF8(s) + 1;
    const p = _malloc(size);
    stringToUTF8(s, p, size);
    return p;
  }

  // A combo box's list: the items, and the page's extra entry at the end.
  function renderItems(n) {
    const el = n.el;
    el.textContent = '';
    for (const text of n.items) {
      const o = document.createElement('option');
      o.textContent = text;
      el.appendChild(o);
    }
    const extra = Module.varnoUi.comboExtra;
    n.extra = extra && extra.text ? extra : null;
    if (n.extra) {
      const o = document.createElement('option');
      o.textContent = n.extra.text;
      o.className = 'qe-extra';
      el.appendChild(o);
    }
    el.selectedIndex = n.chosen;
  }

  return {
    // Set by the page: an entry at the end of every combo box's list that
    // runs `action` instead of being chosen ({ text, action }).
    comboExtra: null,
    onClosed: () => {},
    create(kind, parent, control) {
      const id = nextNode++;
      const n = { kind: kinds[kind], control, parent: parent ? nodes.get(parent) : null };
      n.el = make(n.kind, n, n.parent);
      n.el.dataset.node = id;
      nodes.set(id, n);
      return id;
    },
    destroy(id) {
      const n = nodes.get(id);
      if (!n) return;
      n.el.remove();
      nodes.delete(id);
    },
    styles(id, style, exStyle) {
      const n = nodes.get(id);
      n.style = style;
      const el = n.el;
      const edge = exStyle & WS_EX_CLIENTEDGE ? 'sunken' : exStyle & WS_EX_STATICEDGE ? 'static'
        : style & WS_BORDER ? 'border' : 'none';
      if (n.kind === 'form') {
        n.bar.hidden = (style & WS_CAPTION) !== WS_CAPTION;
        return;
      }
      // A button draws its own raised edge.
      if (n.kind !== 'button') el.dataset.edge = edge;
      if (n.kind === 'edit') {
        el.readOnly = !!(style & ES_READONLY);
        el.type = style & ES_PASSWORD ? 'password' : 'text';
        el.style.textAlign = style & ES_CENTER ? 'center' : style & ES_RIGHT ? 'right' : 'left';
      } else if (n.kind === 'label') {
        const a = style & 0x1F;
        el.style.textAlign = a === SS_CENTER ? 'center' : a === SS_RIGHT ? 'right' : 'left';
      } else if (n.kind === 'button') {
        el.classList.toggle('qe-default', !!(style & BS_DEFPUSHBUTTON));
      }
    },
    place(id, left, top, width, height) {
      const n = nodes.get(id);
      if (n.kind === 'form') {
        n.client.style.width = width + 'px';
        n.client.style.height = height + 'px';
        return;
      }
      Object.assign(n.el.style, { left: left + 'px', top: top + 'px', width: width + 'px',
                                  height: height + 'px' });
      if (n.kind === 'picture' && (n.el.width !== width || n.el.height !== height)) {
        n.el.width = Math.max(width, 0);
        n.el.height = Math.max(height, 0);
        call('varno_ui_paint', n.control);
      }
    },
    visible(id, on) {
      const n = nodes.get(id);
      n.el.hidden = !on;
      if (on && n.kind === 'picture') call('varno_ui_paint', n.control);
    },
    enabled(id, on) {
      const n = nodes.get(id);
      if (n.kind === 'form') {
        n.client.inert = !on; // refuses input; its controls keep their look
        n.el.classList.toggle('qe-refusing', !on);
      } else {
        n.el.disabled = !on;
        n.el.classList.toggle('qe-disabled', !on);
      }
    },
    text(id, text) {
      const n = nodes.get(id);
      switch (n.kind) {
        case 'form': n.title.textContent = text; document.title = text; break;
        case 'edit': n.el.value = text; break;
        case 'combo': n.chosen = n.items.indexOf(text); n.el.selectedIndex = n.chosen; break;
        case 'picture': case 'progress': break;
        default: n.el.textContent = text;
      }
    },
    getText(id) {
      const n = nodes.get(id);
      switch (n.kind) {
        case 'form': return n.title.textContent;
        case 'edit': return n.el.value;
        case 'combo': return n.el.selectedIndex >= 0 && n.el.selectedIndex < n.items.length
          ? n.items[n.el.selectedIndex] : '';
        default: return n.el.textContent;
      }
    },
    colors(id, background, text, bar, transparent) {
      const n = nodes.get(id);
      const el = n.kind === 'form' ? n.client : n.el;
      el.style.backgroundColor = transparent ? 'transparent' : css(background);
      el.style.color = css(text);
      if (n.kind === 'progress') n.bar.style.backgroundColor = css(bar);
    },
    font(id, face, pixels, style) {
      const n = nodes.get(id);
      const el = n.kind === 'form' ? n.client : n.el;
      el.style.font = fontCss(face, pixels, style);
      el.style.textDecoration = [style & 4 ? 'underline' : '', style & 8 ? 'line-through' : '']
        .join(' ').trim() || 'none';
    },
    tooltip(id, text) { nodes.get(id).el.title = text; },
    // The bar is drawn at the browser's next frame, from the last range
    // given: an upload moves it once a block, and the next block should not
    // wait for the page's styles. Even asking for the frame takes a while,
    // so it is asked once the program's run is over: the block that follows
    // an acknowledgement has begun to leave by then.
    progress(id, max, position) {
      const n = nodes.get(id);
      n.range = [max, position];
      if (n.drawing) return;
      n.drawing = true;
      queueMicrotask(() => requestAnimationFrame(() => {
        n.drawing = false;
        const [max, position] = n.range;
        const share = max > 0 ? Math.min(Math.max(position / max, 0), 1) : 0;
        n.bar.style.width = (share * 100) + '%';
        n.el.setAttribute('aria-valuemax', max);
        n.el.setAttribute('aria-valuenow', position);
      }));
    },
    insertItem(id, index, text) {
      const n = nodes.get(id);
      n.items.splice(index, 0, text);
      if (n.chosen >= index) n.chosen++;
      renderItems(n);
    },
    itemText(id, index, text) {
      const n = nodes.get(id);
      n.items[index] = text;
      renderItems(n);
    },
    clearItems(id) {
      const n = nodes.get(id);
      n.items = [];
      n.chosen = -1;
      renderItems(n);
    },
    select(id, index) {
      const n = nodes.get(id);
      n.chosen = index;
      n.el.selectedIndex = index;
    },
    selected(id) {
      const n = nodes.get(id);
      return n.el.selectedIndex < n.items.length ? n.el.selectedIndex : -1;
    },
    caret(id) { return nodes.get(id).el.selectionStart || 0; },
    setCaret(id, pos) {
      const el = nodes.get(id).el;
      if (el.setSelectionRange) el.setSelectionRange(pos, pos);
    },
    focus(id) { nodes.get(id).el.focus(); },
    focused(id) { return document.activeElement === nodes.get(id).el; },
    shown(id) {
      const n = nodes.get(id);
      return !!n && n.el.isConnected && n.el.offsetParent !== null;
    },
    raise(id) {
      const el = nodes.get(id).el;
      el.parentNode.appendChild(el);
    },
    measure(text, face, pixels, style) {
      if (!measurer) measurer = document.createElement('canvas').getContext('2d');
      measurer.font = fontCss(face, pixels, style);
      const lines = text.split('\n');
      let width = 0, line = 0;
      for (const l of lines) {
        const m = measurer.measureText(l);
        width = Math.max(width, Math.ceil(m.width));
        if (m.fontBoundingBoxAscent !== undefined)
          line = Math.max(line, Math.ceil(m.fontBoundingBoxAscent + m.fontBoundingBoxDescent));
      }
      if (!line) line = Math.ceil(pixels * 1.2);
      return [width, line * lines.length, line];
    },
    fill(id, left, top, width, height, color) {
      const g = nodes.get(id).el.getContext('2d');
      g.fillStyle = css(color);
      g.fillRect(left, top, width, height);
    },
    image(id, argb, width, height, left, top, drawWidth, drawHeight, smooth) {
      const pixels = new ImageData(width, height);
      for (let i = 0; i < argb.length; i++) {
        const v = argb[i];
        pixels.data[4 * i] = (v >>> 16) & 0xFF;
        pixels.data[4 * i + 1] = (v >>> 8) & 0xFF;
        pixels.data[4 * i + 2] = v & 0xFF;
        pixels.data[4 * i + 3] = 0xFF;
      }
      const source = document.createElement('canvas');
      source.width = width;
      source.height = height;
      source.getContext('2d').putImageData(pixels, 0, 0);
      const g = nodes.get(id).el.getContext('2d');
      g.imageSmoothingEnabled = smooth;
      g.drawImage(source, left, top, drawWidth, drawHeight);
    },
    // The window's icon: PNG bytes, or 0xAARRGGBB pixels of the given size.
    icon(png, argb, width, height) {
      let url;
      if (png) {
        url = URL.createObjectURL(new Blob([png], { type: 'image/png' }));
      } else {
        const c = document.createElement('canvas');
        c.width = width;
        c.height = height;
        const pixels = new ImageData(width, height);
        for (let i = 0; i < argb.length; i++) {
          const v = argb[i];
          pixels.data.set([(v >>> 16) & 0xFF, (v >>> 8) & 0xFF, v & 0xFF, v >>> 24], 4 * i);
        }
        c.getContext('2d').putImageData(pixels, 0, 0);
        url = c.toDataURL('image/png');
      }
      for (const n of nodes.values()) if (n.kind === 'form') n.icon.src = url;
    },
    // A box with one OK button over the window; it does not hold the caller.
    messageBox(caption, text) {
      const shade = document.createElement('div');
      shade.className = 'qe-shade';
      const box = document.createElement('div');
      box.className = 'qe-form qe-message';
      box.setAttribute('role', 'alertdialog');
      const bar = document.createElement('div');
      bar.className = 'qe-caption';
      bar.textContent = caption;
      const body = document.createElement('div');
      body.className = 'qe-message-text';
      body.textContent = text;
      const ok = document.createElement('button');
      ok.type = 'button';
      ok.textContent = 'OK';
      ok.className = 'qe-message-ok';
      ok.addEventListener('click', () => shade.remove());
      box.append(bar, body, ok);
      shade.appendChild(box);
      document.body.appendChild(shade);
      ok.focus();
    },
    closed() { Module.varnoUi.onClosed(); },
    // The extra entry changed: every combo box shows it anew.
    refreshExtras() {
      for (const n of nodes.values()) if (n.kind === 'combo') renderItems(n);
    },
  };
})();
