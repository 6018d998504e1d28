// A twist round the centre that winds up and unwinds in F steps: shared by
// Drain (which also shrinks into the centre) and Whirlpool.
import { TAU, bump } from '../core/timing.js';
import { radii } from '../core/pixels.js';
import { stillPixels, stillCanvas, base } from './common.js';

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

// Rings round the centre, each drawn with its own transform: exact for
// a mapping that depends on the distance alone, up to the ring's width.
function rings(ctx, img, ox, oy, maxR, width, transform) {
  for (let r0 = 0; r0 < maxR; r0 += width) {
    ctx.save();
    ctx.beginPath();
    ctx.arc(ox, oy, r0 + width + 0.5, 0, TAU);
    // Overlapping a pixel, so that no seam shows between rings.
    if (r0 > 1) ctx.arc(ox, oy, r0 - 1, 0, TAU, true);
    ctx.clip();
    ctx.translate(ox, oy);
    transform(ctx, r0 + width / 2);
    ctx.translate(-ox, -oy);
    ctx.drawImage(img, 0, 0);
    ctx.restore();
  }
}

export function twistEffect(shrink) {
  const isStill = (e) => e.frames === 0;
  // The deepest twist at the centre, in radians.
  const most = shrink ? 3 * Math.PI : 2.5 * Math.PI;
  // The twist's share of `most` at distance r of `reach` (0 beyond it).
  const share = (r, reach) => {
    const f = Math.max(0, 1 - r / reach);
    return shrink ? f : f * f;
  };
  // Drain shrinks to a twelfth at the deepest point.
  const scaleAt = (t) => (shrink ? 1 / (1 - 0.92 * t) : 1);
  // Drain twists the whole image; Whirlpool up to 0.6 of the shorter side.
  const reachOf = (maxR, W, H) => (shrink ? maxR : Math.min(W, H) * 0.6);

  return {
    allImages: false,

    cycle(e) {
      return isStill(e) ? 1 : e.frames;
    },

    pixels(e) {
      const { srcs, frames, W, H } = e;
      if (isStill(e)) return stillPixels(srcs[0]);
      const cx = W / 2, cy = H / 2, r = radii(W, H, cx, cy);
      const maxR = Math.ceil(Math.sqrt(cx * cx + cy * cy)) + 1;
      const reach = reachOf(maxR, W, H);
      const cosT = new Float64Array(maxR + 1), sinT = new Float64Array(maxR + 1);
      return {
        draw(out, k) {
          const t = bump(k, frames);
          for (let i = 0; i <= maxR; i++) {
            const angle = most * t * share(i, reach);
            cosT[i] = Math.cos(angle);
            sinT[i] = Math.sin(angle);
          }
          const scale = scaleAt(t);
          if (shrink) drainInto(out, srcs[0], W, H, cx, cy, r, cosT, sinT, scale, e.bg, maxR);
          else whirlInto(out, srcs[0], W, H, cx, cy, r, cosT, sinT, e.bg, reach);
        },
      };
    },

    canvas(e) {
      const { frames, W, H } = e, first = e.imgs[0];
      if (isStill(e)) return stillCanvas(e);
      const cx = W / 2, cy = H / 2, side = Math.min(W, H), maxR = Math.hypot(cx, cy) + 1;
      const reach = reachOf(maxR, W, H);
      return {
        draw(ctx, k) {
          const t = bump(k, frames), scale = scaleAt(t);
          base(e, ctx, shrink && t > 0 ? null : first);
          if (t === 0) return;
          rings(ctx, first, cx, cy, Math.min(maxR, (shrink ? maxR / scale : reach) + 2), Math.max(2, side / 60), (c, r) => {
            c.rotate(-most * t * share(r, reach));
            c.scale(1 / scale, 1 / scale);
          });
        },
      };
    },
  };
}
