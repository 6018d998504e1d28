// Image Cross Fade: each image in turn for one second, then dissolving into
// the next by S percent a step.
import { mixInto } from '../core/pixels.js';
import { stillPixels, stillCanvas, base, passSteps, passed } from './common.js';

export const allImages = true;

const isStill = (e) => e.count < 2 || e.speed === 0;

export function cycle(e) {
  return isStill(e) ? 1 : e.count * passSteps(e).L;
}

export function pixels(e) {
  const { srcs } = e;
  if (isStill(e)) return stillPixels(srcs[0]);
  const { P, L } = passSteps(e);
  return {
    draw(out, k) {
      const i = Math.floor(k / L), j = k % L;
      const a = srcs[i], b = srcs[(i + 1) % srcs.length];
      if (j < P) out.set(a);
      else mixInto(out, a, b, passed(e, j, P));
    },
  };
}

export function canvas(e) {
  const { imgs } = e;
  if (isStill(e)) return stillCanvas(e);
  const { P, L } = passSteps(e);
  return {
    draw(ctx, k) {
      const i = Math.floor(k / L), j = k % L;
      const a = imgs[i], b = imgs[(i + 1) % imgs.length];
      base(e, ctx, a);
      if (j < P) return;
      ctx.globalAlpha = passed(e, j, P);
      ctx.drawImage(b, 0, 0);
      ctx.globalAlpha = 1;
    },
  };
}
