// Page Flip: each image for one second, then turned over from the right like
// a book page (S percent a step), its shaded back showing, revealing the next.
import { stillPixels, stillCanvas, base, passSteps, passed } from './common.js';

export const allImages = true;

// The grey of the page's back, and the image seen faintly through it (a
// quarter of it).
const PAPER = 236;
// The width of the shadows either side of the turning page (whole pixels).
const shadowWidth = (W) => Math.max(4, Math.round(W / 12));
// How dark each shadow is at its deepest: on the next page beside the fold,
// on the page's back at the fold, on the current page beside the back's
// edge.
const FOLD_SHADOW = 0.45, BACK_SHADOW = 0.3, EDGE_SHADOW = 0.3;

const isStill = (e) => e.count < 2 || e.speed === 0;

export function cycle(e) {
  return isStill(e) ? 1 : e.count * passSteps(e).L;
}

export function pixels(e) {
  const { srcs, W, H } = e;
  if (isStill(e)) return stillPixels(srcs[0]);
  const { P, L } = passSteps(e);
  const mode = new Uint8Array(W), col = new Int32Array(W), shade = new Uint16Array(W);
  const shadow = shadowWidth(W);
  return {
    draw(out, k) {
      const i = Math.floor(k / L), j = k % L;
      const a = srcs[i], b = srcs[(i + 1) % srcs.length];
      if (j < P) return out.set(a);
      const t = passed(e, j, P);
      if (t >= 1) return out.set(b);
      const fold = W * (1 - t), backEdge = 2 * fold - W, backWidth = Math.max(1, W - fold);
      // Per column: 0 current page, 1 back of the turning page, 2 next page.
      for (let x = 0; x < W; x++) {
        const cx = x + 0.5;
        if (cx >= fold) {
          mode[x] = 2; col[x] = x;
          const d = (cx - fold) / shadow;
          shade[x] = d < 1 ? Math.round(256 * (1 - FOLD_SHADOW * (1 - d))) : 256;
        } else if (cx >= backEdge) {
          mode[x] = 1;
          col[x] = Math.min(W - 1, Math.max(0, Math.floor(2 * fold - cx)));
          shade[x] = Math.round(256 * (1 - BACK_SHADOW * (1 - Math.min(1, (fold - cx) / backWidth))));
        } else {
          mode[x] = 0; col[x] = x;
          const d = (backEdge - cx) / shadow;
          shade[x] = d < 1 ? Math.round(256 * (1 - EDGE_SHADOW * (1 - d))) : 256;
        }
      }
      for (let y = 0, o = 0; y < H; y++) {
        const row = y * W;
        for (let x = 0; x < W; x++, o++) {
          const m = mode[x], s = shade[x];
          let p;
          if (m === 2) p = b[row + x];
          else if (m === 0) p = a[row + x];
          else {
            // The back of the page: paper with the image faintly through it.
            const q = a[row + col[x]];
            const r = (PAPER * 3 + (q & 255)) >> 2, g = (PAPER * 3 + ((q >>> 8) & 255)) >> 2;
            const bl = (PAPER * 3 + ((q >>> 16) & 255)) >> 2;
            p = (bl << 16) | (g << 8) | r;
          }
          if (s !== 256) {
            p = ((((p >>> 16) & 255) * s >> 8) << 16) | ((((p >>> 8) & 255) * s >> 8) << 8) | (((p & 255) * s) >> 8);
          }
          out[o] = 0xff000000 | p;
        }
      }
    },
  };
}

export function canvas(e) {
  const { imgs, W, H } = e;
  if (isStill(e)) return stillCanvas(e);
  const { P, L } = passSteps(e), shadowW = shadowWidth(W);
  // A shadow darkest (`depth`) at x = from, gone at x = to.
  const shadow = (ctx, from, to, depth) => {
    const g = ctx.createLinearGradient(from, 0, to, 0);
    g.addColorStop(0, `rgba(0,0,0,${depth})`);
    g.addColorStop(1, 'rgba(0,0,0,0)');
    ctx.fillStyle = g;
    ctx.fillRect(Math.min(from, to), 0, Math.abs(to - from), H);
  };
  return {
    draw(ctx, k) {
      const i = Math.floor(k / L), j = k % L;
      const a = imgs[i], b = imgs[(i + 1) % imgs.length];
      base(e, ctx, a);
      if (j < P) return;
      const t = passed(e, j, P);
      if (t >= 1) return base(e, ctx, b);
      const fold = W * (1 - t), backEdge = 2 * fold - W;
      ctx.save();
      ctx.beginPath(); ctx.rect(fold, 0, W - fold, H); ctx.clip();
      ctx.drawImage(b, 0, 0);
      shadow(ctx, fold, fold + shadowW, FOLD_SHADOW);
      ctx.restore();
      // The current page, darkened beside the back's edge.
      if (backEdge > 0) shadow(ctx, backEdge, backEdge - shadowW, EDGE_SHADOW);
      ctx.save();
      ctx.beginPath(); ctx.rect(Math.max(0, backEdge), 0, fold - Math.max(0, backEdge), H); ctx.clip();
      ctx.setTransform(-1, 0, 0, 1, 2 * fold, 0);
      ctx.drawImage(a, 0, 0);
      ctx.setTransform(1, 0, 0, 1, 0, 0);
      ctx.fillStyle = `rgba(${PAPER},${PAPER},${PAPER},0.75)`;
      ctx.fillRect(0, 0, W, H);
      shadow(ctx, fold, fold - Math.max(1, W - fold), BACK_SHADOW);
      ctx.restore();
    },
  };
}
