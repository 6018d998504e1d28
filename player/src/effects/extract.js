// Color Extractor: full colour drains to the red part, then the green, the
// blue and back to full colour, S percent of each change a step; then the
// next image.
import { stillPixels, stillCanvas, base } from './common.js';

export const allImages = true;

// The colour kept at each key of a round: full, red, green, blue, full.
const KEYS = [[1, 1, 1], [1, 0, 0], [0, 1, 0], [0, 0, 1], [1, 1, 1]];

const isStill = (e) => e.speed === 0;
// T steps from one key to the next; one round of four changes an image.
const changeSteps = (e) => Math.ceil(100 / e.speed);

// The share of red, green and blue kept at step j of a round.
function weights(T, j) {
  const phase = Math.floor(j / T), t = (j % T) / T;
  const a = KEYS[phase], b = KEYS[phase + 1];
  return [0, 1, 2].map((c) => a[c] + (b[c] - a[c]) * t);
}

export function cycle(e) {
  return isStill(e) ? 1 : e.count * 4 * changeSteps(e);
}

export function pixels(e) {
  const { srcs } = e;
  if (isStill(e)) return stillPixels(srcs[0]);
  const T = changeSteps(e), round = 4 * T;
  const lr = new Uint8Array(256), lg = new Uint8Array(256), lb = new Uint8Array(256);
  return {
    draw(out, k) {
      const src = srcs[Math.floor(k / round)];
      const w = weights(T, k % round);
      for (let v = 0; v < 256; v++) {
        lr[v] = Math.round(v * w[0]); lg[v] = Math.round(v * w[1]); lb[v] = Math.round(v * w[2]);
      }
      for (let i = 0, n = out.length; i < n; i++) {
        const p = src[i];
        out[i] = 0xff000000 | (lb[(p >>> 16) & 255] << 16) | (lg[(p >>> 8) & 255] << 8) | lr[p & 255];
      }
    },
  };
}

export function canvas(e) {
  const { imgs, W, H } = e;
  if (isStill(e)) return stillCanvas(e);
  return {
    draw(ctx, k) {
      const T = changeSteps(e), round = 4 * T;
      const w = weights(T, k % round).map((v) => Math.round(255 * v));
      base(e, ctx, imgs[Math.floor(k / round) % imgs.length]);
      ctx.globalCompositeOperation = 'multiply';
      ctx.fillStyle = `rgb(${w[0]},${w[1]},${w[2]})`;
      ctx.fillRect(0, 0, W, H);
      ctx.globalCompositeOperation = 'source-over';
    },
  };
}
