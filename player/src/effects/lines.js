// Line Cross Fade: lines dissolve one by one into the background colour in
// F/2 steps and come back.
import { triangle } from '../core/timing.js';
import { seededRandom } from '../core/pixels.js';
import { stillPixels, stillCanvas, base } from './common.js';

export const allImages = false;

const isStill = (e) => e.frames === 0;
// The number of lines gone at step k.
const goneAt = (e, k) => Math.round(e.H * triangle(k, e.frames));

// A fixed scattered order in which the lines go: the position of each line.
export function lineOrder(H) {
  const rank = new Uint32Array(H), order = Array.from({ length: H }, (_, i) => i);
  const rand = seededRandom(H);
  for (let i = H - 1; i > 0; i--) {
    const j = rand() % (i + 1);
    [order[i], order[j]] = [order[j], order[i]];
  }
  order.forEach((row, position) => { rank[row] = position; });
  return rank;
}

export function cycle(e) {
  return isStill(e) ? 1 : e.frames;
}

export function pixels(e) {
  const { srcs, W, H, bg } = e;
  if (isStill(e)) return stillPixels(srcs[0]);
  const rank = lineOrder(H), src = srcs[0];
  return {
    draw(out, k) {
      const gone = goneAt(e, k);
      for (let y = 0; y < H; y++) {
        const start = y * W;
        if (rank[y] < gone) out.fill(bg, start, start + W);
        else out.set(src.subarray(start, start + W), start);
      }
    },
  };
}

export function canvas(e) {
  const { W, H } = e;
  if (isStill(e)) return stillCanvas(e);
  const rank = lineOrder(H), first = e.imgs[0];
  return {
    draw(ctx, k) {
      base(e, ctx, first);
      const gone = goneAt(e, k);
      ctx.fillStyle = e.bgCss;
      for (let y = 0; y < H; y++) if (rank[y] < gone) ctx.fillRect(0, y, W, 1);
    },
  };
}
