// Circular ripples round a centre: shared by Quad Pool and Ripple.
import { TAU, envelope } from '../core/timing.js';
import { base } from './common.js';
import { fillRings, paddedImage } from './rings.js';

// Ripple table: samples pulled along the radius by a sine of the distance.
export function rippleTable(size, amplitude, wavelength, phase) {
  const t = new Float32Array(size + 1);
  for (let r = 0; r <= size; r++) {
    const d = amplitude * Math.sin((TAU * r) / wavelength - phase);
    t[r] = 1 - d / Math.max(r, 1);
  }
  return t;
}

// The ripples' depth and phase at step k.
export function rippleAt(amplitude, k, frames) {
  return [amplitude * envelope(k, frames), (TAU * k) / frames];
}

// Radial displacement: each pixel samples from its centre's direction,
// scaled by table[r] (1: unchanged), clamped to the image.
export function radialScale(out, src, W, H, cx, cy, r, table) {
  const maxX = W - 1, maxY = H - 1;
  for (let y = 0, i = 0; y < H; y++) {
    const dy = y + 0.5 - cy;
    for (let x = 0; x < W; x++, i++) {
      const f = table[r[i]];
      let sx = (cx + (x + 0.5 - cx) * f) | 0;
      let sy = (cy + dy * f) | 0;
      if (sx < 0) sx = 0; else if (sx > maxX) sx = maxX;
      if (sy < 0) sy = 0; else if (sy > maxY) sy = maxY;
      out[i] = src[sy * W + sx];
    }
  }
}

// The canvas drawing: rings round each pool's centre (see rings.js), each
// the image scaled about the centre by the table at its distance, from an
// image whose edge pixels repeat as far as the ripples reach beyond it.
// pools: [ox, oy, [x0, y0, w, h]] per pool, each drawn within its area.
export function rippleCanvas(e, pools, amplitude, wavelength) {
  const { W, H, frames } = e, first = e.imgs[0];
  const pad = Math.ceil(amplitude) + 2;
  const reach = pools.map(([ox, oy, [x0, y0, w, h]]) =>
    Math.ceil(Math.hypot(Math.max(ox - x0, x0 + w - ox), Math.max(oy - y0, y0 + h - oy))) + 1);
  const maps = new Float64Array(4 * (Math.max(...reach) + 1));
  let padded = null, pattern = null;
  return {
    draw(ctx, k) {
      base(e, ctx, first);
      const [a, phase] = rippleAt(amplitude, k, frames);
      if (a === 0) return;
      if (!pattern) {
        padded = paddedImage(e, first, W, H, pad);
        pattern = ctx.createPattern(padded, 'no-repeat');
      }
      const table = rippleTable(Math.max(...reach), a, wavelength, phase);
      for (let r = 0; r < table.length; r++) maps.set([table[r], 0, 0, table[r]], 4 * r);
      pools.forEach(([ox, oy, [x0, y0, w, h]], i) => {
        ctx.save();
        ctx.beginPath();
        ctx.rect(x0, y0, w, h);
        ctx.clip();
        fillRings(ctx, pattern, ox, oy, reach[i], maps, pad);
        ctx.restore();
      });
    },
    dispose() { padded = pattern = null; },
  };
}
