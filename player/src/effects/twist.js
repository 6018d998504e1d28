// A twist round the centre that winds up and unwinds in F steps: shared by
// Drain (which also shrinks into the centre) and Whirlpool.
import { bump } from '../core/timing.js';
import { radii } from '../core/pixels.js';
import { stillPixels, stillCanvas, base } from './common.js';
import { fillRings } from './rings.js';

// Rotation and scale by distance: output (px, py) samples
// centre + s * rotate(angle(r)) * (px, py); background outside.
// Drain: pixels at `reach` / scale or farther from the centre sample
// outside the image. The work goes tile by tile, so that the samples of
// neighbouring pixels lie close together in memory. (Drain and Whirlpool
// have loops of their own: one shared loop slows down when it goes from
// one effect's branches to the other's.)
function drainInto(out, src, W, H, cx, cy, r, cosT, sinT, scale, bg, reach) {
  const limit = reach / scale, T = 16;
  for (let ty = 0; ty < H; ty += T) {
    const yEnd = Math.min(H, ty + T);
    for (let tx = 0; tx < W; tx += T) {
      const xEnd = Math.min(W, tx + T);
      for (let y = ty; y < yEnd; y++) {
        const py = y + 0.5 - cy;
        for (let x = tx, j = y * W + tx; x < xEnd; x++, j++) {
          const ri = r[j];
          if (ri >= limit) { out[j] = bg; continue; }
          const px = x + 0.5 - cx;
          const c = cosT[ri] * scale, s = sinT[ri] * scale;
          // Floor by truncation of a value made positive first.
          const sx = ((cx + px * c - py * s + 65536) | 0) - 65536;
          const sy = ((cy + px * s + py * c + 65536) | 0) - 65536;
          out[j] = sx >= 0 && sx < W && sy >= 0 && sy < H ? src[sy * W + sx] : bg;
        }
      }
    }
  }
}

// Whirlpool: pixels at `reach` or farther keep their place.
function whirlInto(out, src, W, H, cx, cy, r, cosT, sinT, bg, reach) {
  const T = 16;
  for (let ty = 0; ty < H; ty += T) {
    const yEnd = Math.min(H, ty + T);
    for (let tx = 0; tx < W; tx += T) {
      const xEnd = Math.min(W, tx + T);
      for (let y = ty; y < yEnd; y++) {
        const py = y + 0.5 - cy;
        for (let x = tx, j = y * W + tx; x < xEnd; x++, j++) {
          const ri = r[j];
          if (ri >= reach) { out[j] = src[j]; continue; }
          const px = x + 0.5 - cx;
          const c = cosT[ri], s = sinT[ri];
          const sx = ((cx + px * c - py * s + 65536) | 0) - 65536;
          const sy = ((cy + px * s + py * c + 65536) | 0) - 65536;
          out[j] = sx >= 0 && sx < W && sy >= 0 && sy < H ? src[sy * W + sx] : bg;
        }
      }
    }
  }
}

// The twist's shape, shared by both drawings.
function twistShape(shrink, W, H) {
  const cx = W / 2, cy = H / 2;
  // The farthest whole distance from the centre, and one beyond it.
  const maxR = Math.ceil(Math.sqrt(cx * cx + cy * cy)) + 1;
  // Drain twists the whole image. Whirlpool would reach 0.6 of the shorter
  // side, but a point twisted there from near the middle of a long edge
  // comes from outside the image: it reaches half the shorter side, so
  // that every point it twists comes from within the image.
  const reach = shrink ? maxR : Math.floor(Math.min(W, H) / 2);
  // The deepest twist at the centre, in radians.
  const most = shrink ? 3 * Math.PI : 2.5 * Math.PI;
  return {
    cx, cy, maxR, reach,
    // The twist (radians) at whole distance r when the twist is t of its
    // deepest (0 at and beyond reach).
    angle(r, t) {
      const f = Math.max(0, 1 - r / reach);
      return most * t * (shrink ? f : f * f);
    },
    // Drain shrinks to a twelfth at the deepest point.
    scale: (t) => (shrink ? 1 / (1 - 0.92 * t) : 1),
  };
}

export function twistEffect(shrink) {
  const isStill = (e) => e.frames === 0;

  return {
    allImages: false,

    cycle(e) {
      return isStill(e) ? 1 : e.frames;
    },

    pixels(e) {
      const { srcs, frames, W, H } = e;
      if (isStill(e)) return stillPixels(srcs[0]);
      const { cx, cy, maxR, reach, angle, scale } = twistShape(shrink, W, H);
      const r = radii(W, H, cx, cy);
      const cosT = new Float64Array(maxR + 1), sinT = new Float64Array(maxR + 1);
      return {
        draw(out, k) {
          const t = bump(k, frames);
          for (let i = 0; i <= maxR; i++) {
            const a = angle(i, t);
            cosT[i] = Math.cos(a);
            sinT[i] = Math.sin(a);
          }
          if (shrink) drainInto(out, srcs[0], W, H, cx, cy, r, cosT, sinT, scale(t), e.bg, maxR);
          else whirlInto(out, srcs[0], W, H, cx, cy, r, cosT, sinT, e.bg, reach);
        },
      };
    },

    // Rings round the centre (see rings.js); outside the image the
    // background shows, as in the pixel drawing.
    canvas(e) {
      const { frames, W, H } = e, first = e.imgs[0];
      if (isStill(e)) return stillCanvas(e);
      const { cx, cy, maxR, reach, angle, scale } = twistShape(shrink, W, H);
      const maps = new Float64Array(4 * (maxR + 1));
      let pattern = null;
      return {
        draw(ctx, k) {
          const t = bump(k, frames), s = scale(t);
          base(e, ctx, shrink && t > 0 ? null : first);
          if (t === 0) return;
          if (!pattern) pattern = ctx.createPattern(first, 'no-repeat');
          // Drain: nothing lies beyond maxR / s; Whirlpool leaves the image
          // in place from `reach` on.
          const outer = Math.min(maxR, Math.ceil(shrink ? maxR / s : reach));
          for (let r = 0; r <= outer; r++) {
            const a = angle(r, t), c = Math.cos(a) * s, n = Math.sin(a) * s;
            maps.set([c, -n, n, c], 4 * r);
          }
          fillRings(ctx, pattern, cx, cy, outer, maps);
        },
        dispose() { pattern = null; },
      };
    },
  };
}
