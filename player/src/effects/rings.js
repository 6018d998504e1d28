// Drawing a mapping that depends on the distance from a centre alone
// (Drain, Whirlpool, Ripple, Quad Pool) with the canvas's own operations:
// rings round the centre, each filled with the image through the linear
// map of its distance. The pixel drawings work by whole distances, so where
// the map changes fast the rings are one pixel wide, as theirs; where it
// changes slowly several whole distances share a ring (fewer fills).
import { TAU } from '../core/timing.js';
import { scratchCanvas } from '../core/sources.js';
import { own } from './common.js';

// The widest ring, and how far (pixels) a ring's map may move the image
// from the map of any whole distance within it.
const WIDEST = 16;
const SLACK = 0.5;

// Fills rings round (cx, cy) from distance `outer` in: at whole distance r
// the output point p shows the pattern's image at
// centre + M(r) * (p - centre), M(r) = [m[0], m[1]; m[2], m[3]] (rows).
// `maps` holds M for r = 0..outer (4 numbers each). `shift` is where the
// image's top left lies in the pattern (for a padded image). Each ring is
// filled a pixel wider inwards than it shows, so that the next one in
// covers its inner edge and no seam lets the background through. Nearest
// pixels, as the pixel drawings.
export function fillRings(ctx, pattern, cx, cy, outer, maps, shift = 0) {
  const at = (r, i) => maps[4 * r + i];
  // How far the map of whole distance `mid` moves the image at distance r
  // from the map of r (the maps turn and scale only: [a, -b; b, a]).
  const off = (mid, r) => Math.max(1, r) * Math.hypot(at(mid, 0) - at(r, 0), at(mid, 2) - at(r, 2));
  ctx.imageSmoothingEnabled = false;
  ctx.fillStyle = pattern;
  while (outer > 0) {
    let w = 1;
    for (let wider = 2; wider <= WIDEST && outer - wider >= 0; wider *= 2) {
      const mid = outer - (wider >> 1);
      let fits = true;
      for (let r = outer - wider; r < outer && fits; r++) fits = off(mid, r) <= SLACK;
      if (!fits) break;
      w = wider;
    }
    const inner = outer - w, mid = w === 1 ? inner : outer - (w >> 1);
    const a = at(mid, 0), b = at(mid, 1), c = at(mid, 2), d = at(mid, 3), det = a * d - b * c;
    // The pattern's transform is the inverse: image point q lies at
    // centre + M^-1 * (q - centre) on the canvas.
    const ia = d / det, ib = -b / det, ic = -c / det, id = a / det;
    const qx = cx + shift, qy = cy + shift;
    pattern.setTransform(new DOMMatrix([ia, ic, ib, id, cx - ia * qx - ib * qy, cy - ic * qx - id * qy]));
    ctx.beginPath();
    ctx.arc(cx, cy, outer, 0, TAU);
    if (inner > 1) ctx.arc(cx, cy, inner - 1, 0, TAU, true);
    ctx.fill();
    outer = inner;
  }
  ctx.imageSmoothingEnabled = true;
}

// The image with its edge pixels repeated `pad` pixels outwards on every
// side, for maps that sample beyond the image and clamp to its edge.
export function paddedImage(e, img, W, H, pad) {
  const c = own(e, scratchCanvas(W + 2 * pad, H + 2 * pad)), x = c.getContext('2d');
  x.imageSmoothingEnabled = false;
  const P = pad, R = W + pad, B = H + pad;
  // Corners, edges stretched outwards, then the image.
  for (const [sx, dx] of [[0, 0], [W - 1, R]]) {
    for (const [sy, dy] of [[0, 0], [H - 1, B]]) x.drawImage(img, sx, sy, 1, 1, dx, dy, P, P);
  }
  x.drawImage(img, 0, 0, W, 1, P, 0, W, P);
  x.drawImage(img, 0, H - 1, W, 1, P, B, W, P);
  x.drawImage(img, 0, 0, 1, H, 0, P, P, H);
  x.drawImage(img, W - 1, 0, 1, H, R, P, P, H);
  x.drawImage(img, P, P);
  return c;
}
