// Stretcher: stretches to 1.5x and squeezes to 0.5x across in F/2 steps,
// then down; the background colour shows where it uncovers it.
import { TAU } from '../core/timing.js';
import { stillPixels, stillCanvas, base } from './common.js';

export const allImages = false;

const isStill = (e) => e.frames === 0;

// The scale across and down at step k: stretched, then squeezed.
function scalesAt(e, k) {
  const half = e.frames / 2, across = k < half;
  const t = across ? k / half : (k - half) / half;
  const f = 1 + 0.5 * Math.sin(TAU * t);
  return across ? [f, 1] : [1, f];
}

export function cycle(e) {
  return isStill(e) ? 1 : e.frames;
}

export function pixels(e) {
  const { srcs, W, H, bg } = e;
  if (isStill(e)) return stillPixels(srcs[0]);
  const cx = W / 2, cy = H / 2, src = srcs[0];
  const col = new Int32Array(W), rowOf = new Int32Array(H);
  return {
    draw(out, k) {
      const [fx, fy] = scalesAt(e, k);
      for (let x = 0; x < W; x++) {
        const s = Math.floor(cx + (x + 0.5 - cx) / fx);
        col[x] = s >= 0 && s < W ? s : -1;
      }
      for (let y = 0; y < H; y++) {
        const s = Math.floor(cy + (y + 0.5 - cy) / fy);
        rowOf[y] = s >= 0 && s < H ? s * W : -1;
      }
      for (let y = 0, i = 0; y < H; y++) {
        const row = rowOf[y];
        for (let x = 0; x < W; x++, i++) {
          const c = col[x];
          out[i] = row >= 0 && c >= 0 ? src[row + c] : bg;
        }
      }
    },
  };
}

export function canvas(e) {
  const { W, H } = e;
  if (isStill(e)) return stillCanvas(e);
  const cx = W / 2, cy = H / 2, first = e.imgs[0];
  return {
    draw(ctx, k) {
      const [fx, fy] = scalesAt(e, k);
      base(e, ctx, null);
      ctx.drawImage(first, cx - cx * fx, cy - cy * fy, W * fx, H * fy);
    },
  };
}
