// Underwater: the image wobbles as seen through moving water, one period in
// F steps, S x 1% of the shorter side deep; the image's edge pixels repeat.
import { TAU, envelope } from '../core/timing.js';
import { stillPixels, stillCanvas, base, scratchPool } from './common.js';
import { waveTable, shiftInto, shiftRows, shiftColumns } from './shift.js';

export const allImages = false;

const isStill = (e) => e.frames === 0 || e.speed === 0;

// The rows' wave at step k, and the columns' wave: 0.6 as deep, 1.3 as long,
// travelling the other way.
function waves(e, k) {
  const { W, H, frames } = e, side = Math.min(W, H);
  const a = (e.speed / 100) * side * envelope(k, frames), phase = (TAU * k) / frames;
  const wavelength = Math.max(8, side / 3);
  return [waveTable(H, a, wavelength, phase), waveTable(W, a * 0.6, wavelength * 1.3, -phase)];
}

export function cycle(e) {
  return isStill(e) ? 1 : e.frames;
}

export function pixels(e) {
  const { srcs, W, H } = e;
  if (isStill(e)) return stillPixels(srcs[0]);
  const tmp = new Int32Array(W * H);
  return {
    draw(out, k) {
      const [dx, dy] = waves(e, k);
      shiftInto(out, srcs[0], W, H, dx, dy, true, e.bg, tmp);
    },
  };
}

export function canvas(e) {
  const { W, H } = e, first = e.imgs[0];
  if (isStill(e)) return stillCanvas(e);
  const temp = scratchPool(e);
  return {
    draw(ctx, k) {
      const [dx, dy] = waves(e, k);
      const [t, c] = temp(0);
      base(e, c, first);
      shiftRows(c, first, W, H, dx);
      base(e, ctx, t);
      shiftColumns(ctx, t, W, H, dy);
    },
  };
}
