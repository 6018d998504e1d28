// Quad Pool: four pools of ripples, one per quarter, S x 1% of the shorter
// side deep; the image's edge pixels repeat.
import { rippleTable, rippleAt, rippleCanvas } from './ripples.js';
import { stillPixels, stillCanvas } from './common.js';

export const allImages = false;

const isStill = (e) => e.frames === 0 || e.speed === 0;
const depth = (e) => (e.speed / 100) * Math.min(e.W, e.H);
const wavelength = (e) => Math.max(4, Math.min(e.W, e.H) / 10);

export function cycle(e) {
  return isStill(e) ? 1 : e.frames;
}

export function pixels(e) {
  const { srcs, frames, W, H } = e;
  if (isStill(e)) return stillPixels(srcs[0]);
  const hw = Math.ceil(W / 2), hh = Math.ceil(H / 2);
  // Each quarter round its own centre.
  const r = new Uint16Array(W * H), centreX = new Float32Array(W), centreY = new Float32Array(H);
  for (let x = 0; x < W; x++) centreX[x] = x < hw ? hw / 2 : hw + (W - hw) / 2;
  for (let y = 0; y < H; y++) centreY[y] = y < hh ? hh / 2 : hh + (H - hh) / 2;
  let maxR = 0;
  for (let y = 0, i = 0; y < H; y++) {
    for (let x = 0; x < W; x++, i++) {
      const dx = x + 0.5 - centreX[x], dy = y + 0.5 - centreY[y];
      r[i] = Math.sqrt(dx * dx + dy * dy) | 0;
      if (r[i] > maxR) maxR = r[i];
    }
  }
  const amplitude = depth(e), length = wavelength(e);
  return {
    draw(out, k) {
      const [a, phase] = rippleAt(amplitude, k, frames);
      const table = rippleTable(maxR, a, length, phase);
      const src = srcs[0], maxX = W - 1, maxY = H - 1;
      for (let y = 0, i = 0; y < H; y++) {
        const cy = centreY[y], dy = y + 0.5 - cy;
        for (let x = 0; x < W; x++, i++) {
          const f = table[r[i]], cx = centreX[x];
          let sx = (cx + (x + 0.5 - cx) * f) | 0;
          let sy = (cy + dy * f) | 0;
          if (sx < 0) sx = 0; else if (sx > maxX) sx = maxX;
          if (sy < 0) sy = 0; else if (sy > maxY) sy = maxY;
          out[i] = src[sy * W + sx];
        }
      }
    },
  };
}

export function canvas(e) {
  const { W, H } = e;
  if (isStill(e)) return stillCanvas(e);
  const hw = Math.ceil(W / 2), hh = Math.ceil(H / 2);
  const centres = [[0, 0], [1, 0], [0, 1], [1, 1]].map(([i, j]) => {
    const x0 = i ? hw : 0, y0 = j ? hh : 0, w = i ? W - hw : hw, h = j ? H - hh : hh;
    return [x0 + w / 2, y0 + h / 2, [x0, y0, w, h]];
  });
  return rippleCanvas(e, centres, depth(e), wavelength(e));
}
