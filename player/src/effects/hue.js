// Hue Rotator: the hues turn S degrees a step.
import { gcd } from '../core/pixels.js';
import { stillPixels, stillCanvas, base, own } from './common.js';

export const allImages = false;

const isStill = (e) => e.speed === 0;
const degreesAt = (e, k) => (k * e.speed) % 360;

export function cycle(e) {
  return isStill(e) ? 1 : 360 / gcd(e.speed % 360 || 360, 360);
}

export function pixels(e) {
  const { srcs, W, H } = e;
  const src = srcs[0];
  if (isStill(e)) return stillPixels(src);
  // Hue in 1/256ths of a sixth of the circle, with the pixel's lowest
  // component and its chroma: turning is then integer work.
  const n = W * H, hue = new Int16Array(n), lo = new Uint8Array(n), chroma = new Uint8Array(n);
  for (let i = 0; i < n; i++) {
    const p = src[i];
    const r = p & 255, g = (p >>> 8) & 255, b = (p >>> 16) & 255;
    const max = Math.max(r, g, b), min = Math.min(r, g, b), c = max - min;
    lo[i] = min;
    chroma[i] = c;
    let h = 0;
    if (c > 0) {
      if (max === r) h = (g - b) / c;
      else if (max === g) h = (b - r) / c + 2;
      else h = (r - g) / c + 4;
      if (h < 0) h += 6;
    }
    hue[i] = Math.round(h * 256) % 1536;
  }
  return {
    draw(out, k) {
      const degrees = degreesAt(e, k);
      if (degrees === 0) return out.set(src);
      const turn = Math.round((degrees * 1536) / 360);
      for (let i = 0; i < n; i++) {
        const c = chroma[i];
        if (c === 0) { out[i] = src[i]; continue; }
        let h = hue[i] + turn;
        if (h >= 1536) h -= 1536;
        const sector = h >> 8, f = h & 255, m = lo[i], v = m + c;
        const up = m + ((c * f + 128) >> 8), down = m + ((c * (256 - f) + 128) >> 8);
        let word;
        if (sector === 0) word = (m << 16) | (up << 8) | v;
        else if (sector === 1) word = (m << 16) | (v << 8) | down;
        else if (sector === 2) word = (up << 16) | (v << 8) | m;
        else if (sector === 3) word = (v << 16) | (down << 8) | m;
        else if (sector === 4) word = (v << 16) | (m << 8) | up;
        else word = (down << 16) | (m << 8) | v;
        out[i] = 0xff000000 | word;
      }
    },
  };
}

// The turn as three linear forms per colour component (rows over red,
// green and blue): the turned component is the median of the three, held
// between the pixel's lowest and highest component. Exact for a turn of up
// to a sixth of the circle either way; whole thirds of the circle then
// just pass the components round. Values below 0 or above 1 on the way do
// not change the result (the median and the hold keep their order), so a
// filter may clamp them.
export function turnRows(degrees) {
  const sixths = (((degrees % 360) + 360) % 360) / 60;
  const thirds = Math.round(sixths / 2), rest = sixths - 2 * thirds, d = Math.abs(rest);
  const forms = [0, 1, 2].map((x) => {
    // The components after and before this one round the circle (the
    // other way round when turning back).
    let next = (x + 1) % 3, prev = (x + 2) % 3;
    if (rest < 0) [next, prev] = [prev, next];
    const a = [0, 0, 0], b = [0, 0, 0], z = [0, 0, 0];
    a[x] += 1; a[prev] += d; a[next] -= d;
    b[x] += 2 - d; b[next] -= 1; b[prev] += d;
    z[x] += 2; z[next] += 1; z[prev] -= 2;
    return [a, b, z];
  });
  return [0, 1, 2].map((x) => forms[(x - (thirds % 3) + 3) % 3]);
}

const SVG = 'http://www.w3.org/2000/svg';
let filterCount = 0;

// A matrix row list as feColorMatrix takes it (alpha kept).
const matrixValues = (rows) => rows.map((r) => `${r.join(' ')} 0 0`).join(' ') + ' 0 0 0 1 0';
// Component c copied into all three.
const spread = (c) => matrixValues([0, 1, 2].map(() => [0, 1, 2].map((i) => (i === c ? 1 : 0))));

// Two SVG filters on the page: `turn` computes turnRows (feColorMatrix for
// the forms, lighten and darken blends for the median and the hold);
// `pass` only passes the components round (a turn by whole thirds). Null
// where there is no page (a worker) to hold them.
function turnFilters(W, H) {
  const doc = typeof document !== 'undefined' ? document : null;
  if (!doc || !doc.createElementNS || !(doc.body || doc.documentElement)) return null;
  const svg = doc.createElementNS(SVG, 'svg');
  svg.setAttribute('width', '0');
  svg.setAttribute('height', '0');
  svg.setAttribute('aria-hidden', 'true');
  svg.style.position = 'absolute';
  const filter = () => {
    const f = doc.createElementNS(SVG, 'filter');
    f.id = `glimmerax-hue-${++filterCount}`;
    for (const [k, v] of [['filterUnits', 'userSpaceOnUse'], ['x', '0'], ['y', '0'], ['width', W], ['height', H],
      ['color-interpolation-filters', 'sRGB']]) f.setAttribute(k, String(v));
    svg.appendChild(f);
    return f;
  };
  const add = (f, name, attrs) => {
    const el = doc.createElementNS(SVG, name);
    for (const k of Object.keys(attrs)) el.setAttribute(k, attrs[k]);
    f.appendChild(el);
    return el;
  };
  const turn = filter();
  const forms = ['a', 'b', 'z'].map((name) =>
    add(turn, 'feColorMatrix', { in: 'SourceGraphic', type: 'matrix', values: spread(0), result: name }));
  add(turn, 'feBlend', { in: 'a', in2: 'b', mode: 'darken', result: 'lo' });
  add(turn, 'feBlend', { in: 'a', in2: 'b', mode: 'lighten', result: 'hi' });
  add(turn, 'feBlend', { in: 'hi', in2: 'z', mode: 'darken', result: 'cut' });
  add(turn, 'feBlend', { in: 'lo', in2: 'cut', mode: 'lighten', result: 'median' });
  ['r', 'g', 'b'].forEach((c, i) =>
    add(turn, 'feColorMatrix', { in: 'SourceGraphic', type: 'matrix', values: spread(i), result: c }));
  add(turn, 'feBlend', { in: 'r', in2: 'g', mode: 'darken', result: 'low2' });
  add(turn, 'feBlend', { in: 'low2', in2: 'b', mode: 'darken', result: 'low' });
  add(turn, 'feBlend', { in: 'r', in2: 'g', mode: 'lighten', result: 'high2' });
  add(turn, 'feBlend', { in: 'high2', in2: 'b', mode: 'lighten', result: 'high' });
  add(turn, 'feBlend', { in: 'median', in2: 'low', mode: 'lighten', result: 'held' });
  add(turn, 'feBlend', { in: 'held', in2: 'high', mode: 'darken' });
  const pass = filter();
  const passMatrix = add(pass, 'feColorMatrix', { in: 'SourceGraphic', type: 'matrix', values: spread(0) });
  (doc.body || doc.documentElement).appendChild(svg);
  return {
    // The filter for a turn by `degrees`.
    turn(degrees) {
      const rows = turnRows(degrees);
      forms.forEach((el, f) => el.setAttribute('values', matrixValues(rows.map((r) => r[f]))));
      return `url(#${turn.id})`;
    },
    // The filter for a turn by `thirds` thirds of the circle.
    pass(thirds) {
      passMatrix.setAttribute('values', matrixValues(turnRows(120 * thirds).map((r) => r[0])));
      return `url(#${pass.id})`;
    },
    remove() { svg.remove(); },
  };
}

export function canvas(e) {
  if (isStill(e)) return stillCanvas(e);
  const { W, H } = e, first = e.imgs[0];
  let filters = null, tried = false, sixths = [];
  // A canvas of the page holding `img` through `filter`: an OffscreenCanvas
  // does not see the page's filters.
  const filtered = (img, filter) => {
    const t = own(e, document.createElement('canvas'));
    t.width = W;
    t.height = H;
    const c = t.getContext('2d');
    base(e, c, null);
    c.filter = filter;
    c.drawImage(img, 0, 0);
    c.filter = 'none';
    return t;
  };
  // The image turned by n sixths of the circle, exactly, each made once: a
  // half turn through the whole filter, the rest by passing the components
  // of the image or of the half turn round.
  const sixth = (n) => {
    if (n === 0) return first;
    if (!sixths[n]) {
      if (n === 3) sixths[n] = filtered(first, filters.turn(180));
      else if (n % 2 === 0) sixths[n] = filtered(first, filters.pass(n / 2));
      else sixths[n] = filtered(sixth(3), filters.pass(((n - 3) / 2 + 3) % 3));
    }
    return sixths[n];
  };
  return {
    draw(ctx, k) {
      const degrees = degreesAt(e, k);
      if (degrees === 0) return base(e, ctx, first);
      if (!tried) { filters = turnFilters(W, H); tried = true; }
      if (!filters) {
        // No page to hold the filters: the browser's own hue-rotate(),
        // which turns hues only roughly.
        base(e, ctx, null);
        ctx.filter = `hue-rotate(${degrees}deg)`;
        ctx.drawImage(first, 0, 0);
        ctx.filter = 'none';
        return;
      }
      // Between whole sixths the two exact turns are mixed: running the
      // whole filter at every step would take many times a step's time.
      const n = Math.floor(degrees / 60), f = degrees / 60 - n;
      base(e, ctx, sixth(n));
      if (f > 0) {
        ctx.globalAlpha = f;
        ctx.drawImage(sixth((n + 1) % 6), 0, 0);
        ctx.globalAlpha = 1;
      }
    },
    dispose() {
      if (filters) filters.remove();
      filters = null;
      sixths = [];
    },
  };
}
