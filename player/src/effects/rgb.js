// Color Layers: the red, green and blue layers drift apart (S x 5% of the
// shorter side) and back in F steps.
import { TAU, bump } from '../core/timing.js';
import { stillPixels, stillCanvas, base, scratchPool } from './common.js';

export const allImages = false;

const isStill = (e) => e.frames === 0 || e.speed === 0;

// Each layer's offset [x, y] at step k: a third of a turn apart, turning
// once a cycle.
function offsetsAt(e, k) {
  const d = (e.speed * 5 / 100) * Math.min(e.W, e.H) * bump(k, e.frames), turn = (TAU * k) / e.frames;
  return [0, 1, 2].map((c) => {
    const a = turn + (c * TAU) / 3 - Math.PI / 2;
    return [Math.round(d * Math.cos(a)), Math.round(d * Math.sin(a))];
  });
}

export function cycle(e) {
  return isStill(e) ? 1 : e.frames;
}

export function pixels(e) {
  const { srcs, W, H, bgRGB } = e;
  if (isStill(e)) return stillPixels(srcs[0]);
  const src = srcs[0];
  return {
    draw(out, k) {
      // One pass per layer: the shifted source where it lies, the
      // background's part elsewhere.
      out.fill(0xff000000);
      offsetsAt(e, k).forEach(([ox, oy], c) => {
        const shift = 8 * c, mask = 255 << shift, fill = (c === 0 ? bgRGB.r : c === 1 ? bgRGB.g : bgRGB.b) << shift;
        const from = Math.max(0, ox), to = Math.min(W, W + ox);
        for (let y = 0; y < H; y++) {
          const i = y * W, sy = y - oy;
          if (sy < 0 || sy >= H || from >= to) {
            for (let x = 0; x < W; x++) out[i + x] |= fill;
            continue;
          }
          for (let x = 0; x < from; x++) out[i + x] |= fill;
          for (let x = to; x < W; x++) out[i + x] |= fill;
          const s0 = sy * W - ox;
          for (let x = from; x < to; x++) out[i + x] |= src[s0 + x] & mask;
        }
      });
    },
  };
}

export function canvas(e) {
  const { W, H } = e, first = e.imgs[0];
  if (isStill(e)) return stillCanvas(e);
  const temp = scratchPool(e);
  return {
    draw(ctx, k) {
      ctx.setTransform(1, 0, 0, 1, 0, 0);
      ctx.globalAlpha = 1;
      ctx.filter = 'none';
      ctx.globalCompositeOperation = 'source-over';
      ctx.fillStyle = '#000';
      ctx.fillRect(0, 0, W, H);
      const [t, c] = temp(0);
      const offsets = offsetsAt(e, k);
      ['#FF0000', '#00FF00', '#0000FF'].forEach((channel, i) => {
        base(e, c, null);
        c.drawImage(first, offsets[i][0], offsets[i][1]);
        c.globalCompositeOperation = 'multiply';
        c.fillStyle = channel;
        c.fillRect(0, 0, W, H);
        c.globalCompositeOperation = 'source-over';
        ctx.globalCompositeOperation = 'lighter';
        ctx.drawImage(t, 0, 0);
      });
      ctx.globalCompositeOperation = 'source-over';
    },
  };
}
