// Zoom: zooms in to 3x at the centre and back out.
import { bump } from '../core/timing.js';
import { stillPixels, stillCanvas, base } from './common.js';

export const allImages = false;

const isStill = (e) => e.frames === 0;
const zoomAt = (e, k) => 1 + 2 * bump(k, e.frames);

export function cycle(e) {
  return isStill(e) ? 1 : e.frames;
}

export function pixels(e) {
  const { srcs, W, H } = e;
  if (isStill(e)) return stillPixels(srcs[0]);
  const cx = W / 2, cy = H / 2, src = srcs[0];
  const col = new Int32Array(W);
  return {
    draw(out, k) {
      const z = zoomAt(e, k);
      for (let x = 0; x < W; x++) col[x] = Math.min(W - 1, Math.max(0, Math.floor(cx + (x + 0.5 - cx) / z)));
      for (let y = 0, i = 0; y < H; y++) {
        const row = Math.min(H - 1, Math.max(0, Math.floor(cy + (y + 0.5 - cy) / z))) * W;
        for (let x = 0; x < W; x++, i++) out[i] = src[row + col[x]];
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
      const z = zoomAt(e, k);
      base(e, ctx, null);
      ctx.drawImage(first, cx - cx * z, cy - cy * z, W * z, H * z);
    },
  };
}
