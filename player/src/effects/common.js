import { scratchCanvas } from '../core/sources.js';
import { pauseSteps } from '../core/timing.js';
import { LUMINANCE } from '../core/pixels.js';

// What every effect module shares. Each module under effects/ exports:
//   allImages   true when the effect plays every image in turn (otherwise
//               only the first image is used)
//   cycle(e)    the steps in one full cycle (1: a still image);
//               e = { count, frames, speed, stepMs }
//   pixels(e)   the reference drawing on pixel words: { draw(out, k) },
//               e = { W, H, count, srcs (Int32Array per image), bg (word),
//               bgRGB, frames, speed, stepMs }
//   canvas(e)   the same effect drawn with the canvas's own operations, for
//               images whose pixels cannot be read: { draw(ctx, k) },
//               e = { W, H, count, imgs (canvases of W x H), bg, bgRGB,
//               bgCss, frames, speed, stepMs, owned }
// with 0 <= k < cycle(e); `count` is the number of images used. Either
// drawing may also have dispose(), which lets go of what it holds beyond
// its canvases; canvases it makes go through own(e, canvas), so that the
// renderer can empty them when it is disposed of.

// The first image, unchanged.
export function stillPixels(src) {
  return { draw: (out) => out.set(src) };
}

// Resets the context's state and covers it with the image (or the
// background colour). Images are sampled by nearest pixel, as the pixel
// drawings do.
export function base(e, ctx, img) {
  ctx.imageSmoothingEnabled = false;
  ctx.globalAlpha = 1;
  ctx.globalCompositeOperation = 'source-over';
  ctx.filter = 'none';
  ctx.setTransform(1, 0, 0, 1, 0, 0);
  if (img) ctx.drawImage(img, 0, 0);
  else { ctx.fillStyle = e.bgCss; ctx.fillRect(0, 0, e.W, e.H); }
}

export function stillCanvas(e) {
  return { draw: (ctx) => base(e, ctx, e.imgs[0]) };
}

// A canvas the drawing keeps, listed in e.owned (when given) for the
// renderer's dispose().
export function own(e, canvas) {
  if (Array.isArray(e.owned)) e.owned.push(canvas);
  return canvas;
}

// Scratch canvases of W x H, made when first asked for: temp(n) -> [canvas, ctx].
export function scratchPool(e) {
  const scratch = [];
  return (n) => {
    while (scratch.length <= n) {
      const c = own(e, scratchCanvas(e.W, e.H));
      scratch.push([c, c.getContext('2d')]);
    }
    return scratch[n];
  };
}

// Image Cross Fade and Page Flip: each image for one second (P steps), then
// D steps to pass to the next, S percent a step; L steps an image.
export function passSteps(e) {
  const P = pauseSteps(e.stepMs), D = Math.ceil(100 / e.speed);
  return { P, D, L: P + D };
}

// How far the pass has gone at step j of an image's L steps (0 while still).
export function passed(e, j, P) {
  return Math.min(1, ((j - P + 1) * e.speed) / 100);
}

// The browser's grayscale() weighs red, green and blue as ITU-R BT.709; the
// pixel drawings' luminance weighs them otherwise. A multiply by
// LUMINANCE_TINT before grayscale() gives the pixel drawings' luminance
// times LUMINANCE_SCALE (below 1): brightness(1 / LUMINANCE_SCALE) after it
// restores it.
const BT709 = [0.2126, 0.7152, 0.0722];
const ratios = LUMINANCE.map((w, i) => w / 256 / BT709[i]);
export const LUMINANCE_TINT = ratios.map((r) => Math.round((255 * r) / Math.max(...ratios)));
export const LUMINANCE_SCALE = LUMINANCE_TINT.reduce((sum, t, i) => sum + (BT709[i] * t) / 255, 0);
