// The page: finding the applets, putting a canvas in each one's place,
// loading its images and playing it with the animation loop.
import { CLASS_FILES, DEFAULT_SIZE, MAX_SIZE, parseInteger, parseParams, isSafeLink } from './params.js';
import { stepClock, stepsDue } from './timing.js';
import { createRenderer } from './renderer.js';

const claimed = typeof WeakSet === 'function' ? new WeakSet() : null;
// The most device pixels one applet draws per step.
const MAX_RENDER_PIXELS = 1300000;

function renderScale(W, H) {
  const dpr = (typeof window !== 'undefined' && window.devicePixelRatio) || 1;
  return Math.max(Math.min(1, Math.sqrt(MAX_RENDER_PIXELS / (W * H))),
    Math.min(dpr, Math.sqrt(MAX_RENDER_PIXELS / (W * H))));
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

function loadImage(name, base) {
  return new Promise((resolve) => {
    if (!name) return resolve(null);
    let url;
    try {
      url = new URL(name, base).href;
    } catch (e) {
      return resolve(null);
    }
    const img = new Image();
    img.onload = () => resolve(img.naturalWidth > 0 ? img : null);
    img.onerror = () => resolve(null);
    img.src = url;
  });
}

function followLink(url, target) {
  const frame = target || '_self';
  if (frame.toLowerCase() === '_blank') window.open(url, '_blank', 'noopener');
  else window.open(url, frame);
}

function startApplet(el, code) {
  const W = sizeAttribute(el, 'width'), H = sizeAttribute(el, 'height');
  const params = readParams(el);
  const settings = parseParams(params, code);
  const scale = renderScale(W, H);
  const RW = Math.max(1, Math.round(W * scale)), RH = Math.max(1, Math.round(H * scale));

  const canvas = document.createElement('canvas');
  canvas.width = RW;
  canvas.height = RH;
  canvas.style.width = W + 'px';
  canvas.style.height = H + 'px';
  for (const attr of ['id', 'class', 'title', 'align', 'hspace', 'vspace', 'name']) {
    const v = el.getAttribute(attr);
    if (v !== null) canvas.setAttribute(attr, v);
  }
  canvas.setAttribute('data-glimmerax-player', code);
  canvas.setAttribute('role', 'img');
  canvas.setAttribute('aria-label', el.getAttribute('alt') || settings.effect.name);
  const ctx = canvas.getContext('2d');

  const base = document.baseURI;
  if (settings.link && isSafeLink(settings.link, base)) {
    const url = new URL(settings.link, base).href;
    canvas.style.cursor = 'pointer';
    canvas.tabIndex = 0;
    canvas.setAttribute('role', 'link');
    canvas.setAttribute('aria-label', settings.link);
    canvas.addEventListener('click', () => followLink(url, settings.target));
    canvas.addEventListener('keydown', (ev) => {
      if (ev.key === 'Enter') {
        ev.preventDefault();
        followLink(url, settings.target);
      }
    });
  }

  el.parentNode.replaceChild(canvas, el);

  const player = {
    state: 'loading',
    renderer: null,
    step: 0,
    advanced: 0,
    missing: [],
    get onScreen() { return onScreen; },
    show(step) { player.pause(); player.step = step; draw(); },
    pause() { paused = true; setState('paused'); stop(); },
    resume() { paused = false; update(); },
  };
  canvas.glimmerax = player;

  function setState(s) {
    player.state = s;
    canvas.setAttribute('data-glimmerax-state', s);
  }

  function message(lines, background, colour) {
    ctx.save();
    if (background) {
      ctx.fillStyle = background;
      ctx.fillRect(0, 0, RW, RH);
    }
    const size = Math.max(9, Math.round(12 * scale));
    ctx.font = `${size}px sans-serif`;
    ctx.textAlign = 'center';
    ctx.textBaseline = 'middle';
    ctx.fillStyle = colour;
    const top = RH / 2 - ((lines.length - 1) * size * 1.3) / 2;
    lines.forEach((line, i) => ctx.fillText(line, RW / 2, top + i * size * 1.3, RW - 4));
    ctx.restore();
  }

  function draw() {
    const r = player.renderer;
    if (!r) return;
    r.render(ctx, player.step);
    if (player.missing.length) {
      const size = Math.max(9, Math.round(12 * scale));
      const lines = player.missing.map((n) => `Cannot load the image "${n}"`);
      const band = lines.length * size * 1.3 + size * 0.6;
      ctx.save();
      ctx.fillStyle = 'rgba(0,0,0,0.7)';
      ctx.fillRect(0, RH - band, RW, band);
      ctx.font = `${size}px sans-serif`;
      ctx.textAlign = 'center';
      ctx.textBaseline = 'middle';
      ctx.fillStyle = '#FFFFFF';
      lines.forEach((line, i) => ctx.fillText(line, RW / 2, RH - band + size * 0.95 + i * size * 1.3, RW - 4));
      ctx.restore();
    }
  }

  message(settings.loadText ? [settings.loadText] : [], settings.loadBackground.css, settings.loadColour.css);
  canvas.setAttribute('data-glimmerax-state', 'loading');

  // Timing state.
  let raf = 0, paused = false, onScreen = true;
  const clock = stepClock();
  const reduced = typeof window.matchMedia === 'function'
    ? window.matchMedia('(prefers-reduced-motion: reduce)') : null;

  function stop() {
    if (raf) cancelAnimationFrame(raf);
    raf = 0;
    clock.last = null;
  }

  function frame(now) {
    raf = 0;
    const r = player.renderer;
    const steps = stepsDue(clock, now, r.stepMs);
    if (steps > 0) {
      player.step = (player.step + steps) % r.cycleLength;
      player.advanced += steps;
      draw();
    }
    raf = requestAnimationFrame(frame);
  }

  function update() {
    const r = player.renderer;
    if (!r || paused) return;
    if ((reduced && reduced.matches) || r.cycleLength === 1) {
      stop();
      player.step = 0;
      clock.acc = 0;
      draw();
      setState('still');
      return;
    }
    if (document.hidden || !onScreen) {
      stop();
      setState('playing');
      return;
    }
    setState('playing');
    if (!raf) raf = requestAnimationFrame(frame);
  }

  Promise.all(settings.imageNames.map((n) => loadImage(n, base))).then((images) => {
    const names = settings.imageNames;
    let renderer = null;
    const readable = images.map((img, i) => {
      if (!img) {
        if (names[i]) player.missing.push(names[i]);
        return null;
      }
      return img;
    });
    try {
      renderer = createRenderer({ code, width: RW, height: RH, params, images: readable });
    } catch (err) {
      if (typeof console !== 'undefined') console.error('Glimmerax player:', err);
      renderer = createRenderer({ code, width: RW, height: RH, params, images: [] });
    }
    player.renderer = renderer;
    player.step = 0;
    draw();
    if (typeof IntersectionObserver === 'function') {
      new IntersectionObserver((entries) => {
        onScreen = entries[entries.length - 1].isIntersecting;
        update();
      }).observe(canvas);
    }
    document.addEventListener('visibilitychange', update);
    if (reduced) {
      if (typeof reduced.addEventListener === 'function') reduced.addEventListener('change', update);
      else if (typeof reduced.addListener === 'function') reduced.addListener(update);
    }
    update();
    canvas.dispatchEvent(new Event('glimmerax:ready'));
  });
}

export function scan() {
  if (typeof document === 'undefined') return 0;
  let started = 0;
  for (const el of Array.from(document.getElementsByTagName('applet'))) {
    if ((claimed && claimed.has(el)) || !el.parentNode) continue;
    const code = (el.getAttribute('code') || '').trim().toLowerCase();
    if (!CLASS_FILES.includes(code)) continue;
    if (claimed) claimed.add(el);
    try {
      startApplet(el, code);
      started++;
    } catch (err) {
      // One broken applet never stops the others.
      if (typeof console !== 'undefined') console.error('Glimmerax player:', err);
    }
  }
  return started;
}

export function scanWhenReady() {
  if (typeof document === 'undefined') return;
  if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', scan, { once: true });
  else scan();
}
