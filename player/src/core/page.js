// The page: finding the applets, putting a canvas (with its link, pause
// button and alternative HTML) in each one's place, preparing it when it
// comes near the viewport and playing it, in the player's worker where one
// can start, on the page's own thread otherwise.
import { CLASS_FILES, DEFAULT_SIZE, MAX_SIZE, parseInteger, parseParams, isSafeLink } from './params.js';
import { createEngine } from './engine.js';

const claimed = typeof WeakSet === 'function' ? new WeakSet() : null;
// The most device pixels one applet draws per step.
const MAX_RENDER_PIXELS = 1300000;
// An image that has not loaded by then counts as failed.
const IMAGE_TIMEOUT_MS = 30000;
// How far from the viewport an applet starts loading its images.
const NEAR_MARGIN = '1500px 1500px';
// Work on the page's own thread is cut into slices of this many ms.
const SLICE_MS = 8;

const players = new Set();
let scriptUrl = null;

// The player's own address, taken when the script was loaded: the worker is
// the same script started again.
export function setScriptUrl(url) {
  if (url && !scriptUrl) scriptUrl = url;
}

// Settings a page (or a test) may give before the script loads:
// window.GlimmeraxPlayerOptions = { imageTimeoutMs, worker: false }.
function option(name, fallback) {
  const o = typeof window !== 'undefined' && window.GlimmeraxPlayerOptions;
  return o && typeof o === 'object' && o[name] !== undefined ? o[name] : fallback;
}

export function listPlayers() {
  return Array.from(players);
}

// The device pixels of an applet shown `cssWidth` CSS pixels wide: the
// screen's density, within the limit.
function backingSize(W, H, cssWidth) {
  const dpr = (typeof window !== 'undefined' && window.devicePixelRatio) || 1;
  const shown = cssWidth > 0 ? Math.min(cssWidth, W) : W;
  let RW = shown * dpr;
  RW = Math.min(RW, Math.sqrt((MAX_RENDER_PIXELS * W) / H));
  RW = Math.max(1, Math.round(RW));
  return [RW, Math.max(1, Math.round((RW * H) / W))];
}

function sizeAttribute(el, name) {
  const v = parseInteger(el.getAttribute(name) || '');
  return v === null || v < 1 ? DEFAULT_SIZE : Math.min(v, MAX_SIZE);
}

function readParams(el) {
  const params = {};
  for (const child of Array.from(el.children)) {
    if (child.tagName !== 'PARAM') continue;
    const name = (child.getAttribute('name') || '').trim().toUpperCase();
    const value = child.getAttribute('value');
    if (name && !(name in params) && value !== null) params[name] = value;
  }
  return params;
}

// Loads and decodes an image off the page's thread; null when it fails or
// has not arrived in time.
function loadImage(name, base, timeoutMs) {
  return new Promise((resolve) => {
    if (!name) return resolve(null);
    let url;
    try {
      url = new URL(name, base).href;
    } catch (e) {
      return resolve(null);
    }
    const img = new Image();
    let done = false;
    const finish = (value) => {
      if (done) return;
      done = true;
      clearTimeout(timer);
      resolve(value);
    };
    const timer = setTimeout(() => {
      img.removeAttribute('src');
      finish(null);
    }, timeoutMs);
    img.decoding = 'async';
    img.onerror = () => finish(null);
    img.onload = () => {
      if (!(img.naturalWidth > 0)) return finish(null);
      if (typeof img.decode !== 'function') return finish(img);
      img.decode().then(() => finish(img), () => finish(img));
    };
    img.src = url;
  });
}

// An image for the worker: fetched and decoded into a bitmap entirely off
// the page's thread where it comes from the page's own site (a bitmap of an
// <img> may be decoded again on the page's thread); null when it fails or
// has not arrived in time.
async function loadBitmap(name, base, timeoutMs) {
  if (!name) return null;
  let url;
  try {
    url = new URL(name, base);
  } catch (e) {
    return null;
  }
  if (typeof fetch !== 'function' || typeof AbortController !== 'function' ||
      typeof location === 'undefined' || url.origin !== location.origin) {
    const img = await loadImage(name, base, timeoutMs);
    return img ? createImageBitmap(img).catch(() => null) : null;
  }
  const abort = new AbortController();
  const timer = setTimeout(() => abort.abort(), timeoutMs);
  try {
    const res = await fetch(url.href, { signal: abort.signal, credentials: 'same-origin' });
    if (!res.ok) return null;
    const blob = await res.blob();
    clearTimeout(timer);
    return await createImageBitmap(blob);
  } catch (e) {
    return null;
  } finally {
    clearTimeout(timer);
  }
}

// The page's own thread gives way between slices of work.
function yieldToPage() {
  return new Promise((resolve) => setTimeout(resolve, 0));
}

const STYLE = `
.glimmerax{display:inline-block;position:relative;max-width:100%;vertical-align:baseline;line-height:0}
.glimmerax>canvas,.glimmerax>a>canvas{display:block}
.glimmerax>a{display:block}
.glimmerax-pause{position:absolute;top:6px;right:6px;z-index:1;margin:0;padding:0;width:32px;height:32px;border:2px solid #fff;
border-radius:4px;background:#000;color:#fff;font:bold 14px/1 sans-serif;cursor:pointer;opacity:0}
.glimmerax:hover .glimmerax-pause,.glimmerax-pause:focus{opacity:1}
.glimmerax-pause:focus-visible{outline:2px solid #fff;outline-offset:1px;box-shadow:0 0 0 4px #000}
.glimmerax-pause[hidden]{display:none}
.glimmerax-loading{position:absolute;left:0;top:0;right:0;bottom:0;display:flex;align-items:center;justify-content:center;
overflow:hidden;pointer-events:none;font:12px/1.3 sans-serif;text-align:center;white-space:nowrap}
.glimmerax-alt:not(:focus-within){position:absolute;width:1px;height:1px;margin:-1px;padding:0;overflow:hidden;
clip:rect(0 0 0 0);white-space:nowrap;border:0}
.glimmerax-alt:focus-within{line-height:normal}
`;

let styled = false;
function addStyle() {
  if (styled) return;
  styled = true;
  const style = document.createElement('style');
  style.setAttribute('data-glimmerax-player', '');
  style.textContent = STYLE;
  (document.head || document.documentElement).appendChild(style);
}

// The worker, shared by the applets of the page: started when the first
// applet is prepared; null where it cannot start (a page opened from disk
// in Chromium, a browser without OffscreenCanvas).
let workerPromise = null;
function theWorker() {
  if (workerPromise) return workerPromise;
  workerPromise = new Promise((resolve) => {
    if (!scriptUrl || option('worker', true) === false || typeof Worker !== 'function' ||
        typeof OffscreenCanvas !== 'function' || typeof createImageBitmap !== 'function' ||
        typeof HTMLCanvasElement === 'undefined' ||
        typeof HTMLCanvasElement.prototype.transferControlToOffscreen !== 'function') {
      return resolve(null);
    }
    let worker;
    try {
      worker = new Worker(scriptUrl);
    } catch (e) {
      return resolve(null);
    }
    const listeners = new Map();
    const client = {
      worker,
      post(message, transfer) { worker.postMessage(message, transfer || []); },
      listen(id, f) { listeners.set(id, f); },
      forget(id) {
        listeners.delete(id);
        // The last applet gone: the worker goes too.
        if (listeners.size === 0) {
          client.dead = true;
          worker.terminate();
          workerPromise = null;
        }
      },
    };
    const timer = setTimeout(() => {
      worker.terminate();
      resolve(null);
    }, 10000);
    worker.onerror = (ev) => {
      if (ev && typeof ev.preventDefault === 'function') ev.preventDefault();
      clearTimeout(timer);
      resolve(null);
    };
    worker.onmessage = (ev) => {
      const m = ev.data || {};
      if (m.type === 'hello') {
        clearTimeout(timer);
        worker.onerror = null;
        resolve(client);
        return;
      }
      const f = listeners.get(m.id);
      if (f) f(m);
    };
  });
  return workerPromise;
}

// Shared observers (one each for all the applets of the page).
let nearObserver = null, screenObserver = null, sizeObserver = null, removalObserver = null;
const byCanvas = new WeakMap();

function observe(player, canvas) {
  byCanvas.set(canvas, player);
  if (typeof IntersectionObserver === 'function') {
    if (!nearObserver) {
      nearObserver = new IntersectionObserver((entries) => {
        for (const e of entries) {
          const p = byCanvas.get(e.target);
          if (p && e.isIntersecting) p.near(e.boundingClientRect.width);
        }
      }, { rootMargin: NEAR_MARGIN });
      screenObserver = new IntersectionObserver((entries) => {
        for (const e of entries) {
          const p = byCanvas.get(e.target);
          if (p) p.seen(e.isIntersecting);
        }
      });
    }
    nearObserver.observe(canvas);
    screenObserver.observe(canvas);
  } else {
    setTimeout(() => player.near(0), 0);
  }
  if (typeof ResizeObserver === 'function') {
    if (!sizeObserver) {
      sizeObserver = new ResizeObserver((entries) => {
        for (const e of entries) {
          const p = byCanvas.get(e.target);
          if (p) p.resized(e.contentRect.width);
        }
      });
    }
    sizeObserver.observe(canvas);
  }
  if (typeof MutationObserver === 'function' && !removalObserver) {
    // A canvas taken out of the page stops its player.
    removalObserver = new MutationObserver((records) => {
      if (!records.some((r) => r.removedNodes.length)) return;
      for (const p of Array.from(players)) if (!p.canvas.isConnected) p.destroy();
    });
    removalObserver.observe(document, { childList: true, subtree: true });
  }
}

function unobserve(canvas) {
  byCanvas.delete(canvas);
  for (const o of [nearObserver, screenObserver, sizeObserver]) if (o) o.unobserve(canvas);
  if (players.size === 0 && removalObserver) {
    removalObserver.disconnect();
    removalObserver = null;
  }
}

// The accessible name when the alternative HTML has no text: the effect
// and the images' file names.
function fallbackName(settings) {
  const files = settings.imageNames.filter(Boolean).map((n) => {
    const last = n.split(/[\\/]/).pop().split(/[?#]/)[0];
    try {
      return decodeURIComponent(last);
    } catch (e) {
      return last;
    }
  }).filter(Boolean);
  return files.length ? `${settings.effect.name}: ${files.join(', ')}` : settings.effect.name;
}

const FOCUSABLE = 'a[href],area[href],button,input,select,textarea,iframe,[tabindex],[contenteditable]';

function startApplet(el, code) {
  const W = sizeAttribute(el, 'width'), H = sizeAttribute(el, 'height');
  const params = readParams(el);
  const settings = parseParams(params, code);
  const [RW, RH] = backingSize(W, H, W);
  addStyle();

  const canvas = document.createElement('canvas');
  canvas.width = RW;
  canvas.height = RH;
  // Its own size at most, never wider than its container, always its shape
  // (a page's canvas{height:auto} keeps it too).
  canvas.style.width = W + 'px';
  canvas.style.maxWidth = '100%';
  canvas.style.height = 'auto';
  canvas.style.aspectRatio = `${W} / ${H}`;
  for (const attr of ['id', 'class', 'title', 'align', 'hspace', 'vspace', 'name']) {
    const v = el.getAttribute(attr);
    if (v !== null) canvas.setAttribute(attr, v);
  }
  canvas.setAttribute('data-glimmerax-player', code);

  // The alternative HTML stays in the page: as the canvas's fallback
  // content, or, when it holds links or other controls (hidden from
  // assistive technology inside an image), beside it, visually hidden.
  const alternative = Array.from(el.childNodes).filter((n) => !(n.nodeType === 1 && n.tagName === 'PARAM'));
  const holder = document.createElement('div');
  for (const n of alternative) holder.appendChild(n);
  const text = (holder.textContent || '').replace(/\s+/g, ' ').trim();
  let altBox = null;
  if (holder.querySelector(FOCUSABLE)) {
    altBox = holder;
    altBox.className = 'glimmerax-alt';
  } else {
    while (holder.firstChild) canvas.appendChild(holder.firstChild);
  }
  canvas.setAttribute('role', 'img');
  canvas.setAttribute('aria-label', text || fallbackName(settings));

  const box = document.createElement('span');
  box.className = 'glimmerax';
  let link = null;
  const base = document.baseURI;
  if (settings.link && isSafeLink(settings.link, base)) {
    link = document.createElement('a');
    link.href = new URL(settings.link, base).href;
    const frame = settings.target;
    if (frame && frame.toLowerCase() !== '_self') link.target = frame;
    if (frame.toLowerCase() === '_blank') link.rel = 'noopener';
    link.appendChild(canvas);
    box.appendChild(link);
  } else {
    box.appendChild(canvas);
  }
  const button = document.createElement('button');
  button.type = 'button';
  button.className = 'glimmerax-pause';
  button.hidden = true;
  box.appendChild(button);
  if (altBox) box.appendChild(altBox);
  // The load message also as text over the canvas until the first step is
  // drawn: browsers count a canvas drawn by a worker as no content at all,
  // so the page would have no first contentful paint.
  let cover = null;
  if (settings.loadText) {
    cover = document.createElement('span');
    cover.className = 'glimmerax-loading';
    cover.setAttribute('aria-hidden', 'true');
    cover.style.background = settings.loadBackground.css;
    cover.style.color = settings.loadColour.css;
    cover.textContent = settings.loadText;
    box.appendChild(cover);
  }

  el.parentNode.replaceChild(box, el);

  const reduced = typeof window.matchMedia === 'function'
    ? window.matchMedia('(prefers-reduced-motion: reduce)') : null;
  let paused = false, onScreen = true, prepared = false, destroyed = false;
  let cssWidth = 0, resizeTimer = 0;
  // Where the drawing happens: { kind: 'page' | 'worker', ... }.
  let backend = null, backendSet = null;
  const backendReady = new Promise((resolve) => { backendSet = resolve; });
  let asks = 0;
  const waiting = new Map();

  const player = {
    canvas,
    state: 'loading',
    // The drawing's figures: cycleLength, stepMs, drawn, width, height.
    renderer: null,
    step: 0,
    advanced: 0,
    missing: [],
    worker: false,
    get onScreen() { return onScreen; },
    get paused() { return paused; },
    show(step) {
      pause();
      if (!backend) return;
      if (backend.kind === 'page') {
        backend.engine.show(step);
        player.step = backend.engine.step;
      } else {
        backend.client.post({ type: 'show', id: backend.id, step });
        const n = player.renderer ? player.renderer.cycleLength : 1;
        player.step = ((Math.floor(Number(step)) || 0) % n + n) % n;
      }
    },
    pause,
    resume() {
      paused = false;
      update();
    },
    // The canvas's pixels now: a promise of { width, height, data }.
    async pixels() {
      await backendReady;
      if (!backend) return null;
      if (backend.kind === 'page') {
        const d = backend.engine.pixels();
        return Promise.resolve({ width: d.width, height: d.height, data: d.data });
      }
      const ask = ++asks;
      return new Promise((resolve) => {
        waiting.set(ask, resolve);
        backend.client.post({ type: 'pixels', id: backend.id, ask });
      });
    },
    destroy,
    // Called by the shared observers.
    near(width) {
      if (width > 0) cssWidth = width;
      if (!prepared) prepare();
    },
    seen(flag) {
      onScreen = flag;
      update();
    },
    resized(width) {
      if (!(width > 0) || width === cssWidth) return;
      cssWidth = width;
      // A window being dragged wider sends many sizes: the last one counts.
      clearTimeout(resizeTimer);
      resizeTimer = setTimeout(applySize, 150);
    },
  };
  canvas.glimmerax = player;
  players.add(player);

  function setState(s) {
    player.state = s;
    canvas.setAttribute('data-glimmerax-state', s);
  }
  setState('loading');

  function pause() {
    paused = true;
    run(false);
    setState('paused');
    label();
  }

  function label() {
    button.textContent = paused ? '\u25B6' : '\u275A\u275A';
    button.setAttribute('aria-label', paused ? 'Play animation' : 'Pause animation');
  }
  label();
  button.addEventListener('click', () => (paused ? player.resume() : pause()));
  // Space on the link around the canvas pauses and plays; Enter and a
  // click follow the link as links do.
  if (link) {
    link.addEventListener('keydown', (ev) => {
      if (ev.key === ' ' || ev.key === 'Spacebar') {
        ev.preventDefault();
        button.click();
      }
    });
  }

  function run(flag) {
    if (!backend) return;
    if (backend.kind === 'page') backend.engine.run(flag);
    else backend.client.post({ type: 'run', id: backend.id, on: flag });
  }

  function update() {
    if (destroyed || !player.renderer) return;
    const still = (reduced && reduced.matches) || player.renderer.cycleLength === 1;
    button.hidden = still;
    label();
    if (paused) return;
    if (still) {
      player.show(0);
      paused = false;
      setState('still');
      return;
    }
    setState('playing');
    run(!(document.hidden || !onScreen));
  }

  function applySize() {
    if (destroyed || !backend) return;
    const [w, h] = backingSize(W, H, cssWidth);
    if (backend.kind === 'page') {
      const info = backend.engine.resize(w, h);
      if (info) ready(info);
    } else {
      backend.client.post({ type: 'resize', id: backend.id, width: w, height: h });
    }
  }

  function onStep(step, advanced) {
    player.step = step;
    player.advanced = advanced;
  }

  async function prepare() {
    prepared = true;
    let client = await theWorker();
    // The worker may have just gone with the page's last other applet.
    if (client && client.dead) client = await theWorker();
    if (destroyed) return;
    const [w, h] = backingSize(W, H, cssWidth || W);
    if (client) {
      let offscreen = null;
      try {
        canvas.width = w;
        canvas.height = h;
        offscreen = canvas.transferControlToOffscreen();
      } catch (e) {
        offscreen = null;
      }
      if (offscreen) {
        const id = `${Math.random().toString(36).slice(2)}-${players.size}`;
        backend = { kind: 'worker', client, id };
        player.worker = true;
        client.listen(id, (m) => {
          if (m.type === 'step') onStep(m.step, m.advanced);
          else if (m.type === 'ready') ready(m.info);
          else if (m.type === 'pixels') {
            const f = waiting.get(m.ask);
            waiting.delete(m.ask);
            if (f) f({ width: m.width, height: m.height, data: m.data });
          }
        });
        client.post({ type: 'start', id, canvas: offscreen, code, params, width: W, height: H }, [offscreen]);
      }
    }
    if (!backend) {
      canvas.width = w;
      canvas.height = h;
      backend = { kind: 'page', engine: createEngine({ canvas, code, params, settings, width: W, height: H, onStep }) };
      backend.engine.loading();
    }
    backendSet();
    const timeout = Number(option('imageTimeoutMs', IMAGE_TIMEOUT_MS)) || IMAGE_TIMEOUT_MS;
    const names = settings.imageNames;
    if (backend.kind === 'worker') {
      // Bitmaps travel to the worker without a copy.
      const bitmaps = await Promise.all(names.map((n) => loadBitmap(n, base, timeout)));
      if (destroyed) return bitmaps.forEach((b) => b && b.close());
      player.missing = names.filter((n, i) => n && !bitmaps[i]);
      backend.client.post({ type: 'images', id: backend.id, images: bitmaps, missing: player.missing },
        bitmaps.filter(Boolean));
    } else {
      const loaded = await Promise.all(names.map((n) => loadImage(n, base, timeout)));
      if (destroyed) return;
      player.missing = names.filter((n, i) => n && !loaded[i]);
      // The images' preparation in a slice of its own.
      await yieldToPage();
      if (destroyed) return;
      ready(backend.engine.setImages(loaded, player.missing));
    }
  }

  let announced = false;
  function ready(info) {
    if (destroyed) return;
    player.renderer = { ...info, settings };
    if (!announced) {
      announced = true;
      if (cover) cover.remove();
      player.step = 0;
      update();
      canvas.dispatchEvent(new Event('glimmerax:ready'));
      // The size may have changed while loading.
      const [w, h] = backingSize(W, H, cssWidth);
      if (w !== info.width || h !== info.height) applySize();
    } else {
      update();
    }
  }

  document.addEventListener('visibilitychange', update);
  if (reduced) {
    if (typeof reduced.addEventListener === 'function') reduced.addEventListener('change', update);
    else if (typeof reduced.addListener === 'function') reduced.addListener(update);
  }

  function destroy() {
    if (destroyed) return;
    destroyed = true;
    clearTimeout(resizeTimer);
    players.delete(player);
    unobserve(canvas);
    document.removeEventListener('visibilitychange', update);
    if (reduced) {
      if (typeof reduced.removeEventListener === 'function') reduced.removeEventListener('change', update);
      else if (typeof reduced.removeListener === 'function') reduced.removeListener(update);
    }
    if (backend && backend.kind === 'page') backend.engine.destroy();
    else if (backend) {
      backend.client.post({ type: 'destroy', id: backend.id });
      backend.client.forget(backend.id);
    }
    for (const f of waiting.values()) f(null);
    waiting.clear();
    backend = null;
    backendSet();
    player.renderer = null;
    setState('stopped');
  }

  observe(player, canvas);
  return player;
}

function claim(el) {
  if ((claimed && claimed.has(el)) || !el.parentNode) return null;
  const code = (el.getAttribute('code') || '').trim().toLowerCase();
  if (!CLASS_FILES.includes(code)) return null;
  if (claimed) claimed.add(el);
  return code;
}

function startOne(el, code) {
  try {
    startApplet(el, code);
    return 1;
  } catch (err) {
    // One broken applet never stops the others.
    if (typeof console !== 'undefined') console.error('Glimmerax player:', err);
    return 0;
  }
}

export function scan() {
  if (typeof document === 'undefined') return 0;
  let started = 0;
  for (const el of Array.from(document.getElementsByTagName('applet'))) {
    const code = claim(el);
    if (code) started += startOne(el, code);
  }
  return started;
}

// The same as scan(), a slice at a time, so that a page of many applets
// never holds its thread long.
async function scanInSlices() {
  const list = Array.from(document.getElementsByTagName('applet'));
  let start = performance.now();
  for (const el of list) {
    const code = claim(el);
    if (!code) continue;
    startOne(el, code);
    if (performance.now() - start > SLICE_MS) {
      await yieldToPage();
      start = performance.now();
    }
  }
}

export function scanWhenReady() {
  if (typeof document === 'undefined') return;
  if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', scanInSlices, { once: true });
  else scanInSlices();
}
