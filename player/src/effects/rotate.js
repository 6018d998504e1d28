// Rotate: one clockwise turn round the centre in F steps, the background
// colour in the corners.
import { TAU } from '../core/timing.js';
import { stillPixels, stillCanvas, base } from './common.js';

export const allImages = false;

const isStill = (e) => e.frames === 0;
const angleAt = (e, k) => (TAU * k) / e.frames;

export function cycle(e) {
  return isStill(e) ? 1 : e.frames;
}

export function pixels(e) {
  const { srcs, W, H, bg } = e;
  if (isStill(e)) return stillPixels(srcs[0]);
  const cx = W / 2, cy = H / 2, src = srcs[0], T = 16, ONE = 65536;
  return {
    draw(out, k) {
      const angle = angleAt(e, k);
      // Exact quarter turns, so that no pixel is lost to rounding.
      const c = Math.round(Math.cos(angle) * 1e12) / 1e12, s = Math.round(Math.sin(angle) * 1e12) / 1e12;
      const dc = Math.round(c * ONE), ds = Math.round(s * ONE);
      // Tile by tile (see twist.js), in 16.16 fixed point. Clockwise on
      // screen: each pixel samples the source turned back.
      for (let ty = 0; ty < H; ty += T) {
        const yEnd = Math.min(H, ty + T);
        for (let tx = 0; tx < W; tx += T) {
          const xEnd = Math.min(W, tx + T), px = tx + 0.5 - cx;
          for (let y = ty; y < yEnd; y++) {
            const py = y + 0.5 - cy;
            let fx = Math.floor((cx + px * c + py * s) * ONE), fy = Math.floor((cy - px * s + py * c) * ONE);
            for (let x = tx, i = y * W + tx; x < xEnd; x++, i++) {
              const sx = fx >> 16, sy = fy >> 16;
              out[i] = sx >= 0 && sx < W && sy >= 0 && sy < H ? src[sy * W + sx] : bg;
              fx += dc;
              fy -= ds;
            }
          }
        }
      }
    },
  };
}

export function canvas(e) {
  if (isStill(e)) return stillCanvas(e);
  const cx = e.W / 2, cy = e.H / 2, first = e.imgs[0];
  return {
    draw(ctx, k) {
      base(e, ctx, null);
      ctx.translate(cx, cy);
      ctx.rotate(angleAt(e, k));
      ctx.drawImage(first, -cx, -cy);
      ctx.setTransform(1, 0, 0, 1, 0, 0);
    },
  };
}
