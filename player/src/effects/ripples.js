// Circular ripples round a centre: shared by Quad Pool and Ripple.
import { TAU, envelope } from '../core/timing.js';
import { base } from './common.js';

// Ripple table: samples pulled along the radius by a sine of the distance.
export function rippleTable(size, amplitude, wavelength, phase) {
  const t = new Float32Array(size + 1);
  for (let r = 0; r <= size; r++) {
    const d = amplitude * Math.sin((TAU * r) / wavelength - phase);
    t[r] = 1 - d / Math.max(r, 1);
  }
  return t;
}

// The ripples' depth and phase at step k.
export function rippleAt(amplitude, k, frames) {
  return [amplitude * envelope(k, frames), (TAU * k) / frames];
}

// Radial displacement: each pixel samples from its centre's direction,
// scaled by table[r] (1: unchanged), clamped to the image.
export function radialScale(out, src, W, H, cx, cy, r, table) {
  const maxX = W - 1, maxY = H - 1;
  for (let y = 0, i = 0; y < H; y++) {
    const dy = y + 0.5 - cy;
    for (let x = 0; x < W; x++, i++) {
      const f = table[r[i]];
      let sx = (cx + (x + 0.5 - cx) * f) | 0;
      let sy = (cy + dy * f) | 0;
      if (sx < 0) sx = 0; else if (sx > maxX) sx = maxX;
      if (sy < 0) sy = 0; else if (sy > maxY) sy = maxY;
      out[i] = src[sy * W + sx];
    }
  }
}

// The canvas drawing: in square tiles, each the image's piece scaled about
// the centre (as at the tile's middle), drawn from a source rectangle.
// centres: [ox, oy, [x0, y0, w, h]] per pool.
export function drawRipples(e, ctx, k, centres, amplitude, wavelength) {
  const first = e.imgs[0], TILE = Math.max(4, Math.round(Math.min(e.W, e.H) / 20));
  base(e, ctx, first);
  const [a, phase] = rippleAt(amplitude, k, e.frames);
  if (a === 0) return;
  for (const [ox, oy, area] of centres) {
    const [x0, y0, w, h] = area;
    for (let y = y0; y < y0 + h; y += TILE) {
      for (let x = x0; x < x0 + w; x += TILE) {
        const tw = Math.min(TILE, x0 + w - x), th = Math.min(TILE, y0 + h - y);
        const r = Math.hypot(x + tw / 2 - ox, y + th / 2 - oy);
        const f = 1 - (a * Math.sin((TAU * r) / wavelength - phase)) / Math.max(r, 1);
        ctx.drawImage(first, ox + (x - ox) * f, oy + (y - oy) * f, tw * f, th * f, x, y, tw, th);
      }
    }
  }
}
