// Image Layer: the image is built up in F brightness layers, darkest first
// (background elsewhere), then starts again.
import { luminance } from '../core/pixels.js';
import { stillPixels, stillCanvas, base, scratchPool, LUMINANCE_TINT, LUMINANCE_SCALE } from './common.js';

export const allImages = false;

const isStill = (e) => e.frames === 0;
// The layers shown at step k: step 0 is the whole image; then one more
// layer each step.
const shownAt = (e, k) => ((k + e.frames - 1) % e.frames) + 1;

export function cycle(e) {
  return isStill(e) ? 1 : e.frames;
}

export function pixels(e) {
  const { srcs, frames, W, H, bg } = e;
  if (isStill(e)) return stillPixels(srcs[0]);
  const src = srcs[0], n = W * H, layer = new Uint16Array(n);
  for (let i = 0; i < n; i++) layer[i] = Math.floor((luminance(src[i]) * frames) / 256);
  return {
    draw(out, k) {
      const shown = shownAt(e, k);
      for (let i = 0; i < n; i++) out[i] = layer[i] < shown ? src[i] : bg;
    },
  };
}

export function canvas(e) {
  const { frames, W, H } = e, first = e.imgs[0];
  if (isStill(e)) return stillCanvas(e);
  const temp = scratchPool(e);
  return {
    draw(ctx, k) {
      const shown = shownAt(e, k);
      base(e, ctx, first);
      if (shown >= frames) return;
      // White where the brightness reaches the layers not yet shown.
      const [mask, m] = temp(0), [layered, b] = temp(1);
      // The pixel drawing's luminance (see LUMINANCE_TINT) over 256, against
      // shown / frames.
      base(e, m, first);
      m.globalCompositeOperation = 'multiply';
      m.fillStyle = `rgb(${LUMINANCE_TINT.join(',')})`;
      m.fillRect(0, 0, W, H);
      m.globalCompositeOperation = 'copy';
      m.filter = `grayscale(1) brightness(${((0.5 * frames) / shown) * (255 / 256) / LUMINANCE_SCALE}) contrast(100)`;
      m.drawImage(mask, 0, 0);
      m.filter = 'none';
      m.globalCompositeOperation = 'source-over';
      ctx.globalCompositeOperation = 'multiply';
      ctx.filter = 'invert(1)';
      ctx.drawImage(mask, 0, 0);
      ctx.filter = 'none';
      base(e, b, mask);
      b.globalCompositeOperation = 'multiply';
      b.fillStyle = e.bgCss;
      b.fillRect(0, 0, W, H);
      b.globalCompositeOperation = 'source-over';
      ctx.globalCompositeOperation = 'lighter';
      ctx.drawImage(layered, 0, 0);
      ctx.globalCompositeOperation = 'source-over';
    },
  };
}
