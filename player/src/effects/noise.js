// Noise: grey noise mixed in at S percent, renewed every F steps (the first
// F steps of a cycle clean).
import { stillPixels, stillCanvas, base, scratchPool } from './common.js';

export const allImages = false;

// The patterns of one cycle (pattern 0 is the clean image).
const PATTERNS = 64;

const isStill = (e) => e.frames === 0 || e.speed === 0;

// The seed of a pattern's xorshift sequence.
const seedOf = (pattern) => (Math.imul(pattern, 0x9e3779b1) + 0x7f4a7c15) | 0 || 1;

export function cycle(e) {
  return isStill(e) ? 1 : PATTERNS * e.frames;
}

export function pixels(e) {
  const { srcs, frames, speed } = e;
  if (isStill(e)) return stillPixels(srcs[0]);
  const src = srcs[0], w = Math.round((speed / 100) * 256), v = 256 - w;
  return {
    draw(out, k) {
      const pattern = Math.floor(k / frames);
      if (pattern === 0) return out.set(src);
      let r = seedOf(pattern);
      for (let i = 0, n = out.length; i < n; i++) {
        r ^= r << 13;
        r ^= r >>> 17;
        r ^= r << 5;
        const p = src[i], g = ((r >>> 8) & 255) * w;
        out[i] = 0xff000000 | (((((p >>> 16) & 255) * v + g) >> 8) << 16) |
          (((((p >>> 8) & 255) * v + g) >> 8) << 8) | ((((p & 255) * v + g) >> 8));
      }
    },
  };
}

export function canvas(e) {
  const { frames, speed, W, H } = e, first = e.imgs[0];
  if (isStill(e)) return stillCanvas(e);
  const temp = scratchPool(e);
  let shown = -1;
  return {
    draw(ctx, k) {
      const pattern = Math.floor(k / frames);
      base(e, ctx, first);
      if (pattern === 0) return;
      // Grains of two by two pixels: a quarter of the work.
      const [t, c] = temp(0), nw = Math.ceil(W / 2), nh = Math.ceil(H / 2);
      if (shown !== pattern) {
        const d = c.createImageData(nw, nh), words = new Int32Array(d.data.buffer);
        let r = seedOf(pattern);
        for (let i = 0; i < words.length; i++) {
          r ^= r << 13; r ^= r >>> 17; r ^= r << 5;
          const g = (r >>> 8) & 255;
          words[i] = 0xff000000 | (g << 16) | (g << 8) | g;
        }
        c.putImageData(d, 0, 0);
        shown = pattern;
      }
      ctx.globalAlpha = speed / 100;
      ctx.imageSmoothingEnabled = false;
      ctx.drawImage(t, 0, 0, nw, nh, 0, 0, nw * 2, nh * 2);
      ctx.imageSmoothingEnabled = true;
      ctx.globalAlpha = 1;
    },
  };
}
