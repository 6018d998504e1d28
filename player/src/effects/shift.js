// Shifting rows and columns along waves: shared by Underwater and the three
// wave effects.
import { TAU } from '../core/timing.js';

// Whole-pixel offsets along a sine: amplitude * sin(TAU i / wavelength - phase).
export function waveTable(n, amplitude, wavelength, phase) {
  const t = new Int32Array(n);
  for (let i = 0; i < n; i++) t[i] = Math.round(amplitude * Math.sin((TAU * i) / wavelength - phase));
  return t;
}

// Rows shifted by dx[y], then columns by dy[x]; `clamp` repeats the
// edges, otherwise the background shows. `tmp` is scratch of one image.
export function shiftInto(out, src, W, H, dx, dy, clamp, bg, tmp) {
  const first = dy ? tmp : out;
  if (dx) {
    for (let y = 0; y < H; y++) {
      const start = y * W, ox = Math.max(-W, Math.min(W, dx[y]));
      if (ox >= 0) {
        first.set(src.subarray(start, start + W - ox), start + ox);
        first.fill(clamp ? src[start] : bg, start, start + ox);
      } else {
        first.set(src.subarray(start - ox, start + W), start);
        first.fill(clamp ? src[start + W - 1] : bg, start + W + ox, start + W);
      }
    }
  } else {
    first.set(src);
  }
  if (!dy) return;
  if (clamp) shiftColumnsClamped(out, tmp, W, H, dy);
  else shiftColumnWords(out, tmp, W, H, dy, bg);
}

function shiftColumnsClamped(out, tmp, W, H, dy) {
  const maxY = H - 1;
  for (let y = 0, i = 0; y < H; y++) {
    for (let x = 0; x < W; x++, i++) {
      let sy = y - dy[x];
      if (sy < 0) sy = 0;
      else if (sy > maxY) sy = maxY;
      out[i] = tmp[sy * W + x];
    }
  }
}

function shiftColumnWords(out, tmp, W, H, dy, bg) {
  for (let y = 0, i = 0; y < H; y++) {
    for (let x = 0; x < W; x++, i++) {
      const sy = y - dy[x];
      out[i] = sy >= 0 && sy < H ? tmp[sy * W + x] : bg;
    }
  }
}

// The canvas drawings: each run of neighbouring rows (columns) that shift
// alike is one call, so that the result is the pixel drawing's.
export function shiftRows(ctx, img, W, H, dx) {
  for (let y = 0; y < H;) {
    let end = y + 1;
    while (end < H && dx[end] === dx[y]) end++;
    ctx.drawImage(img, 0, y, W, end - y, dx[y], y, W, end - y);
    y = end;
  }
}

export function shiftColumns(ctx, img, W, H, dy) {
  for (let x = 0; x < W;) {
    let end = x + 1;
    while (end < W && dy[end] === dy[x]) end++;
    ctx.drawImage(img, x, 0, end - x, H, x, dy[x], end - x, H);
    x = end;
  }
}
