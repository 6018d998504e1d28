// A renderer: one applet's effect, images and parameters, drawing any step.
import { DEFAULT_SIZE, MAX_SIZE, parseParams } from './params.js';
import { isPixelObject, sourceFromImage, canvasFromImage, isUnreadable } from './sources.js';
import { stillPixels } from '../effects/common.js';
import { EFFECT_MODULES } from '../effects/index.js';

export function createRenderer(options) {
  const o = options || {};
  const W = Math.max(1, Math.min(MAX_SIZE, Math.floor(Number(o.width)) || DEFAULT_SIZE));
  const H = Math.max(1, Math.min(MAX_SIZE, Math.floor(Number(o.height)) || DEFAULT_SIZE));
  const settings = parseParams(o.params, o.code);
  const bgRGB = settings.background;
  const images = (Array.isArray(o.images) ? o.images : []).filter(Boolean);
  const stepMs = settings.constant;
  const module = EFFECT_MODULES[settings.effect.kind];
  const used = module.allImages ? images : images.slice(0, 1);
  const parts = { W, H, count: used.length, bg: bgRGB.word, bgRGB, frames: settings.frames, speed: settings.speed, stepMs };

  let srcs = null;
  if (!o.drawn || used.some(isPixelObject)) {
    try {
      srcs = used.map((image) => sourceFromImage(image, W, H, bgRGB));
    } catch (err) {
      if (!isUnreadable(err)) throw err;
    }
  }
  // The canvases made for the canvas drawing, emptied by dispose().
  const owned = [];
  let effect = null, drawn = null, cycle = 1;
  if (used.length === 0) {
    effect = stillPixels(new Int32Array(W * H).fill(bgRGB.word));
  } else if (srcs) {
    effect = module.pixels({ ...parts, srcs });
    cycle = module.cycle(parts);
  } else {
    // The images cannot be read back: the canvas draws them.
    const imgs = used.map((image) => canvasFromImage(image, W, H, bgRGB));
    owned.push(...imgs);
    drawn = module.canvas({ ...parts, imgs, bgCss: bgRGB.css, owned });
    cycle = module.cycle(parts);
  }
  cycle = Math.max(1, Math.floor(cycle) || 1);
  let imageData = null, words = null, disposed = false;
  return {
    width: W,
    height: H,
    settings,
    cycleLength: cycle,
    stepMs,
    // True when the images could not be read back and the canvas draws.
    drawn: Boolean(drawn),
    render(ctx, step) {
      if (disposed) return;
      let k = Math.floor(Number(step)) || 0;
      k = ((k % cycle) + cycle) % cycle;
      if (drawn) {
        ctx.save();
        drawn.draw(ctx, k);
        ctx.restore();
        return;
      }
      if (!imageData) {
        imageData = ctx.createImageData(W, H);
        words = new Int32Array(imageData.data.buffer, imageData.data.byteOffset, W * H);
      }
      effect.draw(words, k);
      ctx.putImageData(imageData, 0, 0);
    },
    // Lets go of the pixel buffers, the prepared images and the drawing's
    // canvases (emptied at once, not when collected) and page filters;
    // render() draws nothing afterwards. Safe to call more than once.
    dispose() {
      if (disposed) return;
      disposed = true;
      for (const d of [drawn, effect]) if (d && typeof d.dispose === 'function') d.dispose();
      for (const c of owned) {
        c.width = 0;
        c.height = 0;
      }
      owned.length = 0;
      srcs = effect = drawn = imageData = words = null;
    },
    get disposed() {
      return disposed;
    },
  };
}
