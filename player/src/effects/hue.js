// Hue Rotator: the hues turn S degrees a step.
import { gcd } from '../core/pixels.js';
import { stillPixels, stillCanvas, base } from './common.js';

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

export function canvas(e) {
  if (isStill(e)) return stillCanvas(e);
  const first = e.imgs[0];
  return {
    draw(ctx, k) {
      base(e, ctx, null);
      ctx.filter = `hue-rotate(${degreesAt(e, k)}deg)`;
      ctx.drawImage(first, 0, 0);
      ctx.filter = 'none';
    },
  };
}
