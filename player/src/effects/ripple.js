// Ripple: circular ripples spreading from the centre, S x 1.5% of the
// shorter side deep; the image's edge pixels repeat.
import { radii } from '../core/pixels.js';
import { rippleTable, rippleAt, radialScale, rippleCanvas } from './ripples.js';
import { stillPixels, stillCanvas } from './common.js';

export const allImages = false;

const isStill = (e) => e.frames === 0 || e.speed === 0;
const depth = (e) => (e.speed * 1.5 / 100) * Math.min(e.W, e.H);
const wavelength = (e) => Math.max(4, Math.min(e.W, e.H) / 8);

export function cycle(e) {
  return isStill(e) ? 1 : e.frames;
}

export function pixels(e) {
  const { srcs, frames, W, H } = e;
  if (isStill(e)) return stillPixels(srcs[0]);
  const cx = W / 2, cy = H / 2, r = radii(W, H, cx, cy);
  const maxR = Math.ceil(Math.sqrt(cx * cx + cy * cy)) + 1;
  const amplitude = depth(e), length = wavelength(e);
  return {
    draw(out, k) {
      const [a, phase] = rippleAt(amplitude, k, frames);
      radialScale(out, srcs[0], W, H, cx, cy, r, rippleTable(maxR, a, length, phase));
    },
  };
}

export function canvas(e) {
  const { W, H } = e;
  if (isStill(e)) return stillCanvas(e);
  const centres = [[W / 2, H / 2, [0, 0, W, H]]];
  return rippleCanvas(e, centres, depth(e), wavelength(e));
}
