// Shared pixel helpers. Pixels are 32-bit words (Int32Array, which keeps the
// engines' fast integer paths) in the byte order of every browser's
// platform (little-endian): 0xAABBGGRR.

export function gcd(a, b) {
  while (b) [a, b] = [b, a % b];
  return a;
}

// out = a mixed with b by t (0: a, 1: b).
export function mixInto(out, a, b, t) {
  const w = Math.round(t * 256);
  if (w <= 0) return out.set(a);
  if (w >= 256) return out.set(b);
  const v = 256 - w;
  for (let i = 0, n = out.length; i < n; i++) {
    const p = a[i], q = b[i];
    const r = ((p & 255) * v + (q & 255) * w) >> 8;
    const g = (((p >>> 8) & 255) * v + ((q >>> 8) & 255) * w) >> 8;
    const bl = (((p >>> 16) & 255) * v + ((q >>> 16) & 255) * w) >> 8;
    out[i] = 0xff000000 | (bl << 16) | (g << 8) | r;
  }
}

// The luminance's weights of red, green and blue, in 256ths.
export const LUMINANCE = Object.freeze([77, 150, 29]);

export function luminance(word) {
  return ((word & 255) * LUMINANCE[0] + ((word >>> 8) & 255) * LUMINANCE[1] + ((word >>> 16) & 255) * LUMINANCE[2]) >> 8;
}

// Per pixel distance (whole pixels) from a centre, for the radial effects.
export function radii(W, H, cx, cy) {
  const r = new Uint16Array(W * H);
  for (let y = 0, i = 0; y < H; y++) {
    const dy = y + 0.5 - cy;
    for (let x = 0; x < W; x++, i++) {
      const dx = x + 0.5 - cx;
      r[i] = Math.sqrt(dx * dx + dy * dy) | 0;
    }
  }
  return r;
}

// Deterministic pseudo-random numbers (the effects are pure functions).
export function seededRandom(seed) {
  let s = (Math.imul(seed, 0x9e3779b1) + 0x7f4a7c15) | 0 || 1;
  return () => {
    s ^= s << 13;
    s ^= s >>> 17;
    s ^= s << 5;
    return s >>> 0;
  };
}
