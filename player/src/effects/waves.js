// Horizontal, Vertical and Dual Waves: rows shift sideways and/or columns
// up and down along a wave that travels one wavelength in F steps, S x 2% of
// the shorter side deep; the background colour shows where they uncover it.
// Each of the three modules is made here with its directions.
import { TAU, envelope } from '../core/timing.js';
import { stillPixels, stillCanvas, base, scratchPool } from './common.js';
import { waveTable, shiftInto, shiftRows, shiftColumns } from './shift.js';

export function wavesEffect(across, down) {
  const isStill = (e) => e.frames === 0 || e.speed === 0;

  // The rows' wave (null unless across) and the columns' wave (null unless
  // down) at step k: half the image's height or width long.
  function waves(e, k) {
    const { W, H, frames } = e;
    const a = (e.speed * 2 / 100) * Math.min(W, H) * envelope(k, frames), phase = (TAU * k) / frames;
    return [across ? waveTable(H, a, Math.max(8, H / 2), phase) : null,
      down ? waveTable(W, a, Math.max(8, W / 2), phase) : null];
  }

  return {
    allImages: false,

    cycle(e) {
      return isStill(e) ? 1 : e.frames;
    },

    pixels(e) {
      const { srcs, W, H } = e;
      if (isStill(e)) return stillPixels(srcs[0]);
      const tmp = down ? new Int32Array(W * H) : null;
      return {
        draw(out, k) {
          const [dx, dy] = waves(e, k);
          shiftInto(out, srcs[0], W, H, dx, dy, false, e.bg, tmp);
        },
      };
    },

    canvas(e) {
      const { W, H } = e, first = e.imgs[0];
      if (isStill(e)) return stillCanvas(e);
      const temp = scratchPool(e);
      return {
        draw(ctx, k) {
          const [dx, dy] = waves(e, k);
          let img = first;
          if (across) {
            const [t, c] = temp(0);
            base(e, c, null);
            shiftRows(c, first, W, H, dx);
            img = t;
          }
          if (down) {
            base(e, ctx, null);
            shiftColumns(ctx, img, W, H, dy);
          } else {
            base(e, ctx, img);
          }
        },
      };
    },
  };
}
