// Noise: grey noise mixed in at S percent, renewed every F steps (the first
// F steps of a cycle clean).
import { stillPixels, stillCanvas, base, scratchPool } from './common.js';

export const allImages = false;

// The patterns of one cycle (pattern 0 is the clean image).
const PATTERNS = 64;

const isStill = (e) => e.frames === 0 || e.speed === 0;

// The noise's weight in 1/256ths: both drawings mix by it.
const weightOf = (e) => Math.round((e.speed / 100) * 256);

// A pattern's grey noise, one word a pixel, from its own xorshift sequence:
// both drawings show these very grains.
function noiseInto(words, pattern) {
  let r = (Math.imul(pattern, 0x9e3779b1) + 0x7f4a7c15) | 0 || 1;
  for (let i = 0, n = words.length; i < n; i++) {
    r ^= r << 13;
    r ^= r >>> 17;
    r ^= r << 5;
    const g = (r >>> 8) & 255;
    words[i] = 0xff000000 | (g << 16) | (g << 8) | g;
  }
}

export function cycle(e) {
  return isStill(e) ? 1 : PATTERNS * e.frames;
}

export function pixels(e) {
  const { srcs, frames } = e;
  if (isStill(e)) return stillPixels(srcs[0]);
  const src = srcs[0], w = weightOf(e), v = 256 - w, grains = new Int32Array(src.length);
  let made = -1;
  return {
    draw(out, k) {
      const pattern = Math.floor(k / frames);
      if (pattern === 0) return out.set(src);
      if (made !== pattern) { noiseInto(grains, pattern); made = pattern; }
      for (let i = 0, n = out.length; i < n; i++) {
        const p = src[i], g = (grains[i] & 255) * w;
        out[i] = 0xff000000 | (((((p >>> 16) & 255) * v + g) >> 8) << 16) |
          (((((p >>> 8) & 255) * v + g) >> 8) << 8) | ((((p & 255) * v + g) >> 8));
      }
    },
  };
}

export function canvas(e) {
  const { frames, W, H } = e, first = e.imgs[0];
  if (isStill(e)) return stillCanvas(e);
  const temp = scratchPool(e), alpha = weightOf(e) / 256;
  let made = -1;
  return {
    draw(ctx, k) {
      const pattern = Math.floor(k / frames);
      base(e, ctx, first);
      if (pattern === 0) return;
      // The noise is the player's own: a canvas may take it as pixels.
      const [t, c] = temp(0);
      if (made !== pattern) {
        const d = c.createImageData(W, H);
        noiseInto(new Int32Array(d.data.buffer, d.data.byteOffset, W * H), pattern);
        c.putImageData(d, 0, 0);
        made = pattern;
      }
      ctx.globalAlpha = alpha;
      ctx.drawImage(t, 0, 0);
      ctx.globalAlpha = 1;
    },
  };
}
