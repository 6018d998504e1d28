// Emboss: a grey relief whose light circles once in F steps, faded in from
// and out to the image; then the next image.
import { TAU } from '../core/timing.js';
import { luminance } from '../core/pixels.js';
import { stillPixels, stillCanvas, base, scratchPool, LUMINANCE_TINT, LUMINANCE_SCALE } from './common.js';

export const allImages = true;

const isStill = (e) => e.frames === 0;
// The light's direction at step j of an image's F steps.
const lightAt = (e, j) => (TAU * j) / e.frames;
// The relief's share at step j: it fades in from the image and back out to it.
const reliefAt = (e, j) => Math.min(1, (4 * Math.min(j, e.frames - j)) / e.frames);

export function cycle(e) {
  return isStill(e) ? 1 : e.count * e.frames;
}

export function pixels(e) {
  const { srcs, frames, W, H } = e;
  if (isStill(e)) return stillPixels(srcs[0]);
  const gradients = srcs.map(() => null);
  function gradient(index) {
    if (gradients[index]) return gradients[index];
    const src = srcs[index], n = W * H, lum = new Uint8Array(n);
    for (let i = 0; i < n; i++) lum[i] = luminance(src[i]);
    const gx = new Int16Array(n), gy = new Int16Array(n);
    for (let y = 0, i = 0; y < H; y++) {
      const up = (y > 0 ? y - 1 : y) * W, down = (y < H - 1 ? y + 1 : y) * W;
      for (let x = 0; x < W; x++, i++) {
        gx[i] = lum[y * W + (x < W - 1 ? x + 1 : x)] - lum[y * W + (x > 0 ? x - 1 : x)];
        gy[i] = lum[down + x] - lum[up + x];
      }
    }
    return (gradients[index] = { gx, gy });
  }
  return {
    draw(out, k) {
      const index = Math.floor(k / frames), j = k % frames, src = srcs[index];
      if (j === 0) return out.set(src);
      const { gx, gy } = gradient(index);
      const angle = lightAt(e, j), c = Math.cos(angle), s = Math.sin(angle);
      const w = Math.round(256 * reliefAt(e, j)), v = 256 - w;
      for (let i = 0, n = out.length; i < n; i++) {
        let grey = (128 + gx[i] * c + gy[i] * s) | 0;
        if (grey < 0) grey = 0; else if (grey > 255) grey = 255;
        if (w === 256) {
          out[i] = 0xff000000 | (grey << 16) | (grey << 8) | grey;
        } else {
          const p = src[i], gw = grey * w;
          out[i] = 0xff000000 | (((((p >>> 16) & 255) * v + gw) >> 8) << 16) |
            (((((p >>> 8) & 255) * v + gw) >> 8) << 8) | ((((p & 255) * v + gw) >> 8));
        }
      }
    },
  };
}

// The canvas relief: the pixel drawing's grey is 128 plus R, the sum of the
// four neighbours' luminances weighted by the light (c, s): right c, left
// -c, below s, above -s. The canvas keeps the image's luminance (see
// LUMINANCE_TINT) and its inverse, adds the neighbours' (the inverse where
// the weight is negative) scaled by k = 1 / (2 (|c| + |s|)), which gives
// 0.5 + k R, and scales back to 0.5 + R with contrast().
export function canvas(e) {
  const { imgs, frames, W, H } = e;
  if (isStill(e)) return stillCanvas(e);
  const temp = scratchPool(e);
  let made = -1;
  // The image's luminance in temp(1), its inverse in temp(2).
  const luminanceOf = (index) => {
    const [grey, g] = temp(1), [inverse, v] = temp(2);
    if (made !== index) {
      base(e, g, imgs[index]);
      g.globalCompositeOperation = 'multiply';
      g.fillStyle = `rgb(${LUMINANCE_TINT.join(',')})`;
      g.fillRect(0, 0, W, H);
      g.globalCompositeOperation = 'copy';
      g.filter = `grayscale(1) brightness(${1 / LUMINANCE_SCALE})`;
      g.drawImage(grey, 0, 0);
      g.filter = 'none';
      g.globalCompositeOperation = 'source-over';
      base(e, v, null);
      v.filter = 'invert(1)';
      v.drawImage(grey, 0, 0);
      v.filter = 'none';
      made = index;
    }
    return [grey, inverse];
  };
  return {
    draw(ctx, k) {
      const index = Math.floor(k / frames) % imgs.length, j = k % frames;
      base(e, ctx, imgs[index]);
      if (j === 0) return;
      const angle = lightAt(e, j), c = Math.cos(angle), s = Math.sin(angle);
      const scale = 1 / (2 * (Math.abs(c) + Math.abs(s)));
      const [grey, inverse] = luminanceOf(index);
      const [t, x] = temp(0);
      base(e, x, null);
      x.fillStyle = '#000';
      x.fillRect(0, 0, W, H);
      x.globalCompositeOperation = 'lighter';
      // [offset x, offset y, weight]: the neighbour at p + offset.
      for (const [ox, oy, w] of [[1, 0, c], [-1, 0, -c], [0, 1, s], [0, -1, -s]]) {
        if (w === 0) continue;
        x.globalAlpha = Math.abs(w) * scale;
        // Through a filter the browser mixes by the alpha without the
        // rounding of a plain draw, which the contrast below would
        // multiply.
        x.filter = 'brightness(1.001)';
        x.drawImage(w < 0 ? inverse : grey, -ox, -oy);
      }
      x.filter = 'none';
      x.globalAlpha = 1;
      x.globalCompositeOperation = 'source-over';
      ctx.globalAlpha = reliefAt(e, j);
      ctx.filter = `contrast(${1 / scale})`;
      ctx.drawImage(t, 0, 0);
      ctx.filter = 'none';
      ctx.globalAlpha = 1;
    },
  };
}
