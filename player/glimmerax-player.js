/*
 * Glimmerax HTML5 player: plays the applets that Glimmerax writes in browsers
 * that have no Java, with our own drawing of each effect.
 *
 * When the page has been parsed (or at once, if it already has), every
 * <APPLET> whose CODE is one of fade.class, huecycle.class, colorwarp.class,
 * pageflip.class, underwater.class or warp.class (any letter case) is replaced
 * by a <canvas> of its WIDTH x HEIGHT (missing or bad: 150), backed by
 * device pixels on high-density screens. Other applets are left alone. The
 * applet's content (the alternative HTML) goes with it. Loading the script
 * twice plays nothing twice.
 *
 * Parameters (PARAM names in any case; values exactly as Glimmerax writes
 * them, fields separated by "|"):
 *   GENERAL       count|7|RRGGBB|constant|frames|variant|speed|
 *                 count: number of images (informative: IMAGES decides);
 *                 RRGGBB: background colour in hexadecimal; constant: the
 *                 step time in ms (33, 50 or 70); frames 0..10000;
 *                 variant picks the effect inside colorwarp.class and
 *                 warp.class; speed 0..100.
 *   IMAGES        name|name|...|  (an empty entry is " ||", " " alone: none).
 *                 Names are resolved against the page's address.
 *   LINK          link|frame| |   (" " for an empty link or frame). The
 *                 frame is _self (also when empty), _blank, _top, _parent
 *                 or the name of a frame or window. Only http, https, mailto
 *                 and relative links are ever followed.
 *   LOAD MESSAGE  RRGGBB|RRGGBB|text  (background, text colour, text; " |"
 *                 for no text). Shown while the images load.
 * A malformed or missing field takes the effect's default from the program's
 * catalogue (numbers out of range are limited to it); it never stops the
 * other applets. The images are drawn scaled to the applet's size over the
 * background colour. An image that cannot be loaded is named in a message
 * inside the canvas; the others play.
 *
 * Timing: one step every `constant` ms, from requestAnimationFrame with an
 * accumulated clock; paused while the canvas is off screen or the tab is
 * hidden; under prefers-reduced-motion: reduce the first image stands still.
 *
 * The effects ("frames" F and "speed" S are the GENERAL fields; a step k;
 * every effect shows the first image unchanged at step 0, and shows it still
 * when its own count (S for the first four and Noise, F for the others) is 0):
 *   fade.class            Image Cross Fade: each image in turn for one second,
 *                         then dissolving into the next by S percent a step.
 *   huecycle.class        Hue Rotator: the hues turn S degrees a step.
 *   colorwarp.class  0    Color Extractor: full colour drains to the red part,
 *                         then the green, the blue and back to full colour,
 *                         S percent of each change a step; then the next image.
 *                    1    Emboss: a grey relief whose light circles once in F
 *                         steps, faded in from and out to the image; then the
 *                         next image.
 *                    2    Image Layer: the image is built up in F brightness
 *                         layers, darkest first (background elsewhere), then
 *                         starts again.
 *                    3    Color Layers: the red, green and blue layers drift
 *                         apart (S x 5% of the shorter side) and back in F steps.
 *   pageflip.class        Page Flip: each image for one second, then turned
 *                         over from the right like a book page (S percent a
 *                         step), its shaded back showing, revealing the next.
 *   underwater.class      Underwater: the image wobbles as seen through moving
 *                         water, one period in F steps, S x 1% of the shorter
 *                         side deep.
 *   warp.class       0    Quad Pool: four pools of ripples, one per quarter.
 *                    1    Drain: swirls and shrinks into the centre in F/2
 *                         steps, then flows back.
 *                    2    Vertical Waves: columns shift up and down along a
 *                         wave that travels one wavelength in F steps.
 *                    3    Horizontal Waves: the same for rows, sideways.
 *                    4    Dual Waves: both at once.
 *                         (Wave depth S x 2% of the shorter side; ripples
 *                         S x 1%, Ripple S x 1.5%.)
 *                    5    Line Cross Fade: lines dissolve one by one into the
 *                         background colour in F/2 steps and come back.
 *                    6    Stretcher: stretches and squeezes across, then down.
 *                    7    Whirlpool: a twist round the centre that winds up
 *                         and unwinds in F steps.
 *                    8    Ripple: circular ripples spreading from the centre.
 *                    9    Rotate: one clockwise turn round the centre in F
 *                         steps, the background colour in the corners.
 *                    10   Noise: grey noise mixed in at S percent, renewed
 *                         every F steps (the first F steps of a cycle clean).
 *                    11   Zoom: zooms in to 3x at the centre and back out.
 *                    (another variant plays as variant 0)
 * Waves and the stretcher uncover the background colour; water and ripples
 * repeat the image's edge pixels.
 *
 * API (window.GlimmeraxPlayer; module.exports under Node):
 *   createRenderer({ code, width, height, params, images }) -> renderer
 *     code: class file name (any case); params: { GENERAL, IMAGES, LINK,
 *     "LOAD MESSAGE" } raw values (names in any case); images: one entry
 *     per IMAGES name in order: a CanvasImageSource, an object
 *     { width, height, data } of RGBA bytes, or null (not loaded: skipped).
 *     drawn: true draws with the canvas's own operations (below) even when
 *     the images' pixels can be read.
 *     renderer.cycleLength  steps in one full cycle (1 for a still image)
 *     renderer.stepMs       the step time in ms (the constant)
 *     renderer.settings     the parsed parameters
 *     renderer.render(ctx, step)  draws step `step` (any integer, taken
 *       modulo cycleLength) into a 2D context of width x height pixels; a
 *       pure function of images, parameters and step. Needs only the
 *       context's createImageData and putImageData.
 *     renderer.drawn  true when the images could not be read back (a page
 *       opened from disk, images from another site): the same effects, steps
 *       and timing are then drawn with canvas operations (transforms, clips,
 *       filters, blending; coarser rings for the bending effects).
 *   parseParams(params, code) -> settings, isSafeLink(link, base)
 *   scan(): replaces the page's applets now; idempotent.
 * Each canvas made by scan() carries `glimmerax` (state, renderer, step,
 * advanced (steps played so far), missing (names of images that did not
 * load), show(step), pause(), resume()) and a data-glimmerax-state attribute:
 * loading, playing, still, paused; a "glimmerax:ready" event is sent when the
 * images have loaded and the first step is drawn.
 *
 * Pixels are handled as 32-bit words (Int32Array, which keeps the engines'
 * fast integer paths) in the byte order of every browser's platform
 * (little-endian).
 */
(function (root) {
  'use strict';

  const VERSION = 1;
  if (root && root.GlimmeraxPlayer && root.GlimmeraxPlayer.version === VERSION) {
    // Loaded a second time on one page: the first copy does the work.
    root.GlimmeraxPlayer.scanWhenReady();
    return;
  }

  // ---- Catalogue -------------------------------------------------------

  const CLASS_FILES = ['fade.class', 'huecycle.class', 'colorwarp.class', 'pageflip.class',
    'underwater.class', 'warp.class'];

  // One row per effect: class file, variant (null: the class has one effect),
  // the program's defaults, and which count the user sets.
  const EFFECTS = [
    ['Image Cross Fade', 'fade.class', null, 1, 40, 33, 'speed', 'fade'],
    ['Hue Rotator', 'huecycle.class', null, 2, 40, 33, 'speed', 'hue'],
    ['Color Extractor', 'colorwarp.class', 0, 2, 40, 33, 'speed', 'extract'],
    ['Page Flip', 'pageflip.class', null, 1, 40, 50, 'speed', 'flip'],
    ['Underwater', 'underwater.class', null, 2, 40, 33, 'frames', 'water'],
    ['Quad Pool', 'warp.class', 0, 2, 40, 33, 'frames', 'quad'],
    ['Drain', 'warp.class', 1, 2, 80, 33, 'frames', 'drain'],
    ['Horizontal Waves', 'warp.class', 3, 2, 50, 33, 'frames', 'hwaves'],
    ['Vertical Waves', 'warp.class', 2, 2, 50, 33, 'frames', 'vwaves'],
    ['Dual Waves', 'warp.class', 4, 2, 50, 33, 'frames', 'dwaves'],
    ['Line Cross Fade', 'warp.class', 5, 2, 100, 33, 'frames', 'lines'],
    ['Stretcher', 'warp.class', 6, 2, 100, 33, 'frames', 'stretch'],
    ['Whirlpool', 'warp.class', 7, 2, 20, 50, 'frames', 'whirl'],
    ['Emboss', 'colorwarp.class', 1, 1, 20, 70, 'frames', 'emboss'],
    ['Image Layer', 'colorwarp.class', 2, 1, 50, 33, 'frames', 'layers'],
    ['Ripple', 'warp.class', 8, 1, 25, 33, 'frames', 'ripple'],
    ['Rotate', 'warp.class', 9, 1, 50, 33, 'frames', 'rotate'],
    ['Noise', 'warp.class', 10, 30, 2, 33, 'speed', 'noise'],
    ['Zoom', 'warp.class', 11, 1, 150, 33, 'frames', 'zoom'],
    ['Color Layers', 'colorwarp.class', 3, 1, 100, 33, 'frames', 'rgb'],
  ].map(([name, code, variant, speed, frames, constant, control, kind], index) =>
    Object.freeze({ index, name, code, variant, speed, frames, constant, control, kind }));

  function effectFor(code, variant) {
    const c = String(code || '').trim().toLowerCase();
    const rows = EFFECTS.filter((e) => e.code === c);
    if (rows.length === 0) return null;
    if (rows.length === 1) return rows[0];
    return rows.find((e) => e.variant === variant) || rows.find((e) => e.variant === 0);
  }

  // ---- Parameters ------------------------------------------------------

  const DEFAULT_SIZE = 150;
  const MAX_SIZE = 10000;

  function parseInteger(text) {
    if (typeof text !== 'string' || !/^\s*-?\d{1,9}\s*$/.test(text)) return null;
    return parseInt(text, 10);
  }

  // "RRGGBB" -> { r, g, b, css, word } or null.
  function parseColour(text) {
    if (typeof text !== 'string') return null;
    const t = text.trim();
    if (!/^[0-9A-Fa-f]{6}$/.test(t)) return null;
    const v = parseInt(t, 16);
    const r = (v >> 16) & 255, g = (v >> 8) & 255, b = v & 255;
    return { r, g, b, css: '#' + t.toUpperCase(), word: 0xff000000 | (b << 16) | (g << 8) | r };
  }

  function colour(text, fallback) {
    return parseColour(text) || parseColour(fallback);
  }

  function normalisedParams(params) {
    const out = {};
    if (params && typeof params === 'object') {
      for (const key of Object.keys(params)) {
        const name = String(key).trim().toUpperCase();
        if (!(name in out) && typeof params[key] === 'string') out[name] = params[key];
      }
    }
    return out;
  }

  function limited(value, min, max, fallback) {
    if (value === null || value < min) return fallback;
    return Math.min(value, max);
  }

  // The raw PARAM values -> the settings every part of the player uses.
  function parseParams(params, code) {
    const p = normalisedParams(params);
    const general = typeof p.GENERAL === 'string' ? p.GENERAL.split('|') : [];
    const variant = parseInteger(general[5]);
    const effect = effectFor(code, variant) || EFFECTS[0];

    const constant = limited(parseInteger(general[3]), 10, 1000, effect.constant);
    const frames = limited(parseInteger(general[4]), 0, 10000, effect.frames);
    const speed = limited(parseInteger(general[6]), 0, 100, effect.speed);

    let imageNames = [];
    if (typeof p.IMAGES === 'string') {
      // Each name is followed by a bar; an empty entry is written " |" and
      // then its bar.
      const parts = p.IMAGES.split('|');
      if (parts.length > 1) parts.pop();
      for (let i = 0; i < parts.length; i++) {
        if (parts[i].trim() !== '') imageNames.push(parts[i]);
        else {
          imageNames.push('');
          if (parts[i] === ' ' && parts[i + 1] === '') i++;
        }
      }
      if (imageNames.length === 1 && imageNames[0] === '') imageNames = [];
    }

    let link = '', target = '';
    if (typeof p.LINK === 'string') {
      const parts = p.LINK.split('|');
      link = (parts[0] || '').trim();
      target = (parts[1] || '').trim();
    }

    let loadBackground = colour(null, '000000'), loadColour = colour(null, 'FFFFFF');
    let loadText = 'Loading...';
    if (typeof p['LOAD MESSAGE'] === 'string') {
      const v = p['LOAD MESSAGE'];
      const first = v.indexOf('|');
      const second = first < 0 ? -1 : v.indexOf('|', first + 1);
      if (second >= 0) {
        loadBackground = colour(v.slice(0, first), '000000');
        loadColour = colour(v.slice(first + 1, second), 'FFFFFF');
        const text = v.slice(second + 1);
        loadText = text === ' |' || text.trim() === '' ? '' : text;
      }
    }

    return {
      effect,
      background: colour(general[2], '000000'),
      constant,
      frames,
      speed,
      variant: variant === null ? 0 : variant,
      imageNames,
      link,
      target,
      loadBackground,
      loadColour,
      loadText,
    };
  }

  // A link is followed only when it is relative or http, https or mailto.
  function isSafeLink(link, base) {
    if (typeof link !== 'string' || link.trim() === '') return false;
    let absolute = null;
    try {
      absolute = new URL(link);
    } catch (e) {
      absolute = null;
    }
    if (absolute) return ['http:', 'https:', 'mailto:'].includes(absolute.protocol);
    try {
      const resolved = new URL(link, base);
      return ['http:', 'https:', 'file:'].includes(resolved.protocol);
    } catch (e) {
      return false;
    }
  }

  // ---- Pixel helpers ---------------------------------------------------

  const TAU = Math.PI * 2;

  function gcd(a, b) {
    while (b) [a, b] = [b, a % b];
    return a;
  }

  // 0 at k = 0, 1 at k = n/2, back to 0 at k = n (smooth).
  function bump(k, n) {
    return 0.5 - 0.5 * Math.cos((TAU * k) / n);
  }

  // 0 at k = 0, 1 at k = n/2, back to 0 at k = n (straight lines).
  function triangle(k, n) {
    const t = k / n;
    return t < 0.5 ? 2 * t : 2 - 2 * t;
  }

  // The amplitude envelope of the travelling waves: 0 at the ends of the
  // cycle (so step 0 is the image itself), full over most of it.
  function envelope(k, n) {
    return Math.min(1, 3 * Math.sin((Math.PI * k) / n));
  }

  function mixInto(out, a, b, t) {
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

  function luminance(word) {
    return ((word & 255) * 77 + ((word >>> 8) & 255) * 150 + ((word >>> 16) & 255) * 29) >> 8;
  }

  // Per pixel distance (whole pixels) from a centre, for the radial effects.
  function radii(W, H, cx, cy) {
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

  // Radial displacement: each pixel samples from its centre's direction,
  // scaled by table[r] (1: unchanged), clamped to the image.
  function radialScale(out, src, W, H, cx, cy, r, table) {
    const maxX = W - 1, maxY = H - 1;
    for (let y = 0, i = 0; y < H; y++) {
      const dy = y + 0.5 - cy;
      for (let x = 0; x < W; x++, i++) {
        const f = table[r[i]];
        let sx = (cx + (x + 0.5 - cx) * f) | 0;
        let sy = (cy + dy * f) | 0;
        if (sx < 0) sx = 0; else if (sx > maxX) sx = maxX;
        if (sy < 0) sy = 0; else if (sy > maxY) sy = maxY;
        out[i] = src[sy * W + sx];
      }
    }
  }

  // Ripple table: samples pulled along the radius by a sine of the distance.
  function rippleTable(size, amplitude, wavelength, phase) {
    const t = new Float32Array(size + 1);
    for (let r = 0; r <= size; r++) {
      const d = amplitude * Math.sin((TAU * r) / wavelength - phase);
      t[r] = 1 - d / Math.max(r, 1);
    }
    return t;
  }

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

  // Rows shifted by dx[y], then columns by dy[x]; `clamp` repeats the
  // edges, otherwise the background shows. `tmp` is scratch of one image.
  function shiftInto(out, src, W, H, dx, dy, clamp, bg, tmp) {
    const first = dy ? tmp : out;
    if (dx) {
      for (let y = 0; y < H; y++) {
        const start = y * W, ox = Math.max(-W, Math.min(W, dx[y]));
        if (ox >= 0) {
          first.set(src.subarray(start, start + W - ox), start + ox);
          first.fill(clamp ? src[start] : bg, start, start + ox);
        } else {
          first.set(src.subarray(start - ox, start + W), start);
          first.fill(clamp ? src[start + W - 1] : bg, start + W + ox, start + W);
        }
      }
    } else {
      first.set(src);
    }
    if (!dy) return;
    if (clamp) shiftColumnsClamped(out, tmp, W, H, dy);
    else shiftColumns(out, tmp, W, H, dy, bg);
  }

  function shiftColumnsClamped(out, tmp, W, H, dy) {
    const maxY = H - 1;
    for (let y = 0, i = 0; y < H; y++) {
      for (let x = 0; x < W; x++, i++) {
        let sy = y - dy[x];
        if (sy < 0) sy = 0;
        else if (sy > maxY) sy = maxY;
        out[i] = tmp[sy * W + x];
      }
    }
  }

  function shiftColumns(out, tmp, W, H, dy, bg) {
    for (let y = 0, i = 0; y < H; y++) {
      for (let x = 0; x < W; x++, i++) {
        const sy = y - dy[x];
        out[i] = sy >= 0 && sy < H ? tmp[sy * W + x] : bg;
      }
    }
  }

  function waveTable(n, amplitude, wavelength, phase) {
    const t = new Int32Array(n);
    for (let i = 0; i < n; i++) t[i] = Math.round(amplitude * Math.sin((TAU * i) / wavelength - phase));
    return t;
  }

  // Deterministic pseudo-random numbers (the effects are pure functions).
  function seededRandom(seed) {
    let s = (Math.imul(seed, 0x9e3779b1) + 0x7f4a7c15) | 0 || 1;
    return () => {
      s ^= s << 13;
      s ^= s >>> 17;
      s ^= s << 5;
      return s >>> 0;
    };
  }

  // A fixed scattered order in which the lines of Line Cross Fade go: the
  // position of each line.
  function lineOrder(H) {
    const rank = new Uint32Array(H), order = Array.from({ length: H }, (_, i) => i);
    const rand = seededRandom(H);
    for (let i = H - 1; i > 0; i--) {
      const j = rand() % (i + 1);
      [order[i], order[j]] = [order[j], order[i]];
    }
    order.forEach((row, position) => { rank[row] = position; });
    return rank;
  }

  // ---- Effects ---------------------------------------------------------
  // Each builder gets { W, H, srcs (Int32Array per image), bg (word),
  // bgRGB, frames, speed, stepMs } and returns { cycle, draw(out, k) } with
  // 0 <= k < cycle.

  function still(src) {
    return { cycle: 1, draw: (out) => out.set(src) };
  }

  function pauseSteps(stepMs) {
    return Math.max(1, Math.round(1000 / stepMs));
  }

  const BUILDERS = {
    fade(e) {
      const { srcs, speed } = e;
      if (srcs.length < 2 || speed === 0) return still(srcs[0]);
      const D = Math.ceil(100 / speed), P = pauseSteps(e.stepMs), L = P + D;
      return {
        cycle: srcs.length * L,
        draw(out, k) {
          const i = Math.floor(k / L), j = k % L;
          const a = srcs[i], b = srcs[(i + 1) % srcs.length];
          if (j < P) out.set(a);
          else mixInto(out, a, b, Math.min(1, ((j - P + 1) * speed) / 100));
        },
      };
    },

    hue(e) {
      const { srcs, speed, W, H } = e;
      const src = srcs[0];
      if (speed === 0) return still(src);
      // Hue in 1/256ths of a sixth of the circle, with the pixel's lowest
      // component and its chroma: turning is then integer work.
      const n = W * H, hue = new Int16Array(n), lo = new Uint8Array(n), chroma = new Uint8Array(n);
      for (let i = 0; i < n; i++) {
        const p = src[i];
        const r = p & 255, g = (p >>> 8) & 255, b = (p >>> 16) & 255;
        const max = Math.max(r, g, b), min = Math.min(r, g, b), c = max - min;
        lo[i] = min;
        chroma[i] = c;
        let h = 0;
        if (c > 0) {
          if (max === r) h = (g - b) / c;
          else if (max === g) h = (b - r) / c + 2;
          else h = (r - g) / c + 4;
          if (h < 0) h += 6;
        }
        hue[i] = Math.round(h * 256) % 1536;
      }
      return {
        cycle: 360 / gcd(speed % 360 || 360, 360),
        draw(out, k) {
          const degrees = (k * speed) % 360;
          if (degrees === 0) return out.set(src);
          const turn = Math.round((degrees * 1536) / 360);
          for (let i = 0; i < n; i++) {
            const c = chroma[i];
            if (c === 0) { out[i] = src[i]; continue; }
            let h = hue[i] + turn;
            if (h >= 1536) h -= 1536;
            const sector = h >> 8, f = h & 255, m = lo[i], v = m + c;
            const up = m + ((c * f + 128) >> 8), down = m + ((c * (256 - f) + 128) >> 8);
            let word;
            if (sector === 0) word = (m << 16) | (up << 8) | v;
            else if (sector === 1) word = (m << 16) | (v << 8) | down;
            else if (sector === 2) word = (up << 16) | (v << 8) | m;
            else if (sector === 3) word = (v << 16) | (down << 8) | m;
            else if (sector === 4) word = (v << 16) | (m << 8) | up;
            else word = (down << 16) | (m << 8) | v;
            out[i] = 0xff000000 | word;
          }
        },
      };
    },

    extract(e) {
      const { srcs, speed } = e;
      if (speed === 0) return still(srcs[0]);
      const T = Math.ceil(100 / speed), round = 4 * T;
      const keys = [[1, 1, 1], [1, 0, 0], [0, 1, 0], [0, 0, 1], [1, 1, 1]];
      const lr = new Uint8Array(256), lg = new Uint8Array(256), lb = new Uint8Array(256);
      return {
        cycle: srcs.length * round,
        draw(out, k) {
          const src = srcs[Math.floor(k / round)];
          const j = k % round, phase = Math.floor(j / T), t = (j % T) / T;
          const a = keys[phase], b = keys[phase + 1];
          const w = [0, 1, 2].map((c) => a[c] + (b[c] - a[c]) * t);
          for (let v = 0; v < 256; v++) {
            lr[v] = Math.round(v * w[0]); lg[v] = Math.round(v * w[1]); lb[v] = Math.round(v * w[2]);
          }
          for (let i = 0, n = out.length; i < n; i++) {
            const p = src[i];
            out[i] = 0xff000000 | (lb[(p >>> 16) & 255] << 16) | (lg[(p >>> 8) & 255] << 8) | lr[p & 255];
          }
        },
      };
    },

    flip(e) {
      const { srcs, speed, W, H } = e;
      if (srcs.length < 2 || speed === 0) return still(srcs[0]);
      const D = Math.ceil(100 / speed), P = pauseSteps(e.stepMs), L = P + D;
      const mode = new Uint8Array(W), col = new Int32Array(W), shade = new Uint16Array(W);
      const shadow = Math.max(4, Math.round(W / 12));
      const PAPER = 236;
      return {
        cycle: srcs.length * L,
        draw(out, k) {
          const i = Math.floor(k / L), j = k % L;
          const a = srcs[i], b = srcs[(i + 1) % srcs.length];
          if (j < P) return out.set(a);
          const t = Math.min(1, ((j - P + 1) * speed) / 100);
          if (t >= 1) return out.set(b);
          const fold = W * (1 - t), backEdge = 2 * fold - W, backWidth = Math.max(1, W - fold);
          // Per column: 0 current page, 1 back of the turning page, 2 next page.
          for (let x = 0; x < W; x++) {
            const cx = x + 0.5;
            if (cx >= fold) {
              mode[x] = 2; col[x] = x;
              const d = (cx - fold) / shadow;
              shade[x] = d < 1 ? Math.round(256 * (0.55 + 0.45 * d)) : 256;
            } else if (cx >= backEdge) {
              mode[x] = 1;
              col[x] = Math.min(W - 1, Math.max(0, Math.floor(2 * fold - cx)));
              shade[x] = Math.round(256 * (0.7 + 0.3 * Math.min(1, (fold - cx) / backWidth)));
            } else {
              mode[x] = 0; col[x] = x;
              const d = (backEdge - cx) / shadow;
              shade[x] = d < 1 ? Math.round(256 * (0.7 + 0.3 * d)) : 256;
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
    },

    water(e) {
      const { srcs, speed, frames, W, H } = e;
      if (frames === 0 || speed === 0) return still(srcs[0]);
      const side = Math.min(W, H), amplitude = (speed / 100) * side, wavelength = Math.max(8, side / 3);
      const tmp = new Int32Array(W * H);
      return {
        cycle: frames,
        draw(out, k) {
          const a = amplitude * envelope(k, frames), phase = (TAU * k) / frames;
          const dx = waveTable(H, a, wavelength, phase);
          const dy = waveTable(W, a * 0.6, wavelength * 1.3, -phase);
          shiftInto(out, srcs[0], W, H, dx, dy, true, e.bg, tmp);
        },
      };
    },

    hwaves(e) { return waves(e, true, false); },
    vwaves(e) { return waves(e, false, true); },
    dwaves(e) { return waves(e, true, true); },

    quad(e) {
      const { srcs, speed, frames, W, H } = e;
      if (frames === 0 || speed === 0) return still(srcs[0]);
      const hw = Math.ceil(W / 2), hh = Math.ceil(H / 2);
      // Each quarter round its own centre.
      const r = new Uint16Array(W * H), centreX = new Float32Array(W), centreY = new Float32Array(H);
      for (let x = 0; x < W; x++) centreX[x] = x < hw ? hw / 2 : hw + (W - hw) / 2;
      for (let y = 0; y < H; y++) centreY[y] = y < hh ? hh / 2 : hh + (H - hh) / 2;
      let maxR = 0;
      for (let y = 0, i = 0; y < H; y++) {
        for (let x = 0; x < W; x++, i++) {
          const dx = x + 0.5 - centreX[x], dy = y + 0.5 - centreY[y];
          r[i] = Math.sqrt(dx * dx + dy * dy) | 0;
          if (r[i] > maxR) maxR = r[i];
        }
      }
      const side = Math.min(W, H), amplitude = (speed / 100) * side, wavelength = Math.max(4, side / 10);
      return {
        cycle: frames,
        draw(out, k) {
          const table = rippleTable(maxR, amplitude * envelope(k, frames), wavelength, (TAU * k) / frames);
          const src = srcs[0], maxX = W - 1, maxY = H - 1;
          for (let y = 0, i = 0; y < H; y++) {
            const cy = centreY[y], dy = y + 0.5 - cy;
            for (let x = 0; x < W; x++, i++) {
              const f = table[r[i]], cx = centreX[x];
              let sx = (cx + (x + 0.5 - cx) * f) | 0;
              let sy = (cy + dy * f) | 0;
              if (sx < 0) sx = 0; else if (sx > maxX) sx = maxX;
              if (sy < 0) sy = 0; else if (sy > maxY) sy = maxY;
              out[i] = src[sy * W + sx];
            }
          }
        },
      };
    },

    ripple(e) {
      const { srcs, speed, frames, W, H } = e;
      if (frames === 0 || speed === 0) return still(srcs[0]);
      const cx = W / 2, cy = H / 2, r = radii(W, H, cx, cy);
      const maxR = Math.ceil(Math.sqrt(cx * cx + cy * cy)) + 1;
      const side = Math.min(W, H), amplitude = (speed * 1.5 / 100) * side, wavelength = Math.max(4, side / 8);
      return {
        cycle: frames,
        draw(out, k) {
          const table = rippleTable(maxR, amplitude * envelope(k, frames), wavelength, (TAU * k) / frames);
          radialScale(out, srcs[0], W, H, cx, cy, r, table);
        },
      };
    },

    drain(e) { return twister(e, true); },
    whirl(e) { return twister(e, false); },

    rotate(e) {
      const { srcs, frames, W, H, bg } = e;
      if (frames === 0) return still(srcs[0]);
      const cx = W / 2, cy = H / 2, src = srcs[0], T = 16, ONE = 65536;
      return {
        cycle: frames,
        draw(out, k) {
          const angle = (TAU * k) / frames;
          // Exact quarter turns, so that no pixel is lost to rounding.
          const c = Math.round(Math.cos(angle) * 1e12) / 1e12, s = Math.round(Math.sin(angle) * 1e12) / 1e12;
          const dc = Math.round(c * ONE), ds = Math.round(s * ONE);
          // Tile by tile (see drainInto), in 16.16 fixed point. Clockwise on
          // screen: each pixel samples the source turned back.
          for (let ty = 0; ty < H; ty += T) {
            const yEnd = Math.min(H, ty + T);
            for (let tx = 0; tx < W; tx += T) {
              const xEnd = Math.min(W, tx + T), px = tx + 0.5 - cx;
              for (let y = ty; y < yEnd; y++) {
                const py = y + 0.5 - cy;
                let fx = Math.floor((cx + px * c + py * s) * ONE), fy = Math.floor((cy - px * s + py * c) * ONE);
                for (let x = tx, i = y * W + tx; x < xEnd; x++, i++) {
                  const sx = fx >> 16, sy = fy >> 16;
                  out[i] = sx >= 0 && sx < W && sy >= 0 && sy < H ? src[sy * W + sx] : bg;
                  fx += dc;
                  fy -= ds;
                }
              }
            }
          }
        },
      };
    },

    zoom(e) {
      const { srcs, frames, W, H } = e;
      if (frames === 0) return still(srcs[0]);
      const cx = W / 2, cy = H / 2, src = srcs[0];
      const col = new Int32Array(W);
      return {
        cycle: frames,
        draw(out, k) {
          const z = 1 + 2 * bump(k, frames);
          for (let x = 0; x < W; x++) col[x] = Math.min(W - 1, Math.max(0, Math.floor(cx + (x + 0.5 - cx) / z)));
          for (let y = 0, i = 0; y < H; y++) {
            const row = Math.min(H - 1, Math.max(0, Math.floor(cy + (y + 0.5 - cy) / z))) * W;
            for (let x = 0; x < W; x++, i++) out[i] = src[row + col[x]];
          }
        },
      };
    },

    stretch(e) {
      const { srcs, frames, W, H, bg } = e;
      if (frames === 0) return still(srcs[0]);
      const cx = W / 2, cy = H / 2, src = srcs[0];
      const col = new Int32Array(W), rowOf = new Int32Array(H);
      return {
        cycle: frames,
        draw(out, k) {
          const half = frames / 2, across = k < half;
          const t = across ? k / half : (k - half) / half;
          const f = 1 + 0.5 * Math.sin(TAU * t); // stretched, then squeezed
          const fx = across ? f : 1, fy = across ? 1 : f;
          for (let x = 0; x < W; x++) {
            const s = Math.floor(cx + (x + 0.5 - cx) / fx);
            col[x] = s >= 0 && s < W ? s : -1;
          }
          for (let y = 0; y < H; y++) {
            const s = Math.floor(cy + (y + 0.5 - cy) / fy);
            rowOf[y] = s >= 0 && s < H ? s * W : -1;
          }
          for (let y = 0, i = 0; y < H; y++) {
            const row = rowOf[y];
            for (let x = 0; x < W; x++, i++) {
              const c = col[x];
              out[i] = row >= 0 && c >= 0 ? src[row + c] : bg;
            }
          }
        },
      };
    },

    lines(e) {
      const { srcs, frames, W, H, bg } = e;
      if (frames === 0) return still(srcs[0]);
      const rank = lineOrder(H), src = srcs[0];
      return {
        cycle: frames,
        draw(out, k) {
          const gone = Math.round(H * triangle(k, frames));
          for (let y = 0; y < H; y++) {
            const start = y * W;
            if (rank[y] < gone) out.fill(bg, start, start + W);
            else out.set(src.subarray(start, start + W), start);
          }
        },
      };
    },

    emboss(e) {
      const { srcs, frames, W, H } = e;
      if (frames === 0) return still(srcs[0]);
      const gradients = srcs.map(() => null);
      function gradient(index) {
        if (gradients[index]) return gradients[index];
        const src = srcs[index], n = W * H, lum = new Uint8Array(n);
        for (let i = 0; i < n; i++) lum[i] = luminance(src[i]);
        const gx = new Int16Array(n), gy = new Int16Array(n);
        for (let y = 0, i = 0; y < H; y++) {
          const up = (y > 0 ? y - 1 : y) * W, down = (y < H - 1 ? y + 1 : y) * W;
          for (let x = 0; x < W; x++, i++) {
            gx[i] = lum[y * W + (x < W - 1 ? x + 1 : x)] - lum[y * W + (x > 0 ? x - 1 : x)];
            gy[i] = lum[down + x] - lum[up + x];
          }
        }
        return (gradients[index] = { gx, gy });
      }
      return {
        cycle: srcs.length * frames,
        draw(out, k) {
          const index = Math.floor(k / frames), j = k % frames, src = srcs[index];
          if (j === 0) return out.set(src);
          const { gx, gy } = gradient(index);
          const angle = (TAU * j) / frames, c = Math.cos(angle), s = Math.sin(angle);
          // The relief fades in from the image and back out to it.
          const w = Math.round(256 * Math.min(1, (4 * Math.min(j, frames - j)) / frames)), v = 256 - w;
          for (let i = 0, n = out.length; i < n; i++) {
            let grey = (128 + gx[i] * c + gy[i] * s) | 0;
            if (grey < 0) grey = 0; else if (grey > 255) grey = 255;
            if (w === 256) {
              out[i] = 0xff000000 | (grey << 16) | (grey << 8) | grey;
            } else {
              const p = src[i], gw = grey * w;
              out[i] = 0xff000000 | (((((p >>> 16) & 255) * v + gw) >> 8) << 16) |
                (((((p >>> 8) & 255) * v + gw) >> 8) << 8) | ((((p & 255) * v + gw) >> 8));
            }
          }
        },
      };
    },

    layers(e) {
      const { srcs, frames, W, H, bg } = e;
      if (frames === 0) return still(srcs[0]);
      const src = srcs[0], n = W * H, layer = new Uint16Array(n);
      for (let i = 0; i < n; i++) layer[i] = Math.floor((luminance(src[i]) * frames) / 256);
      return {
        cycle: frames,
        draw(out, k) {
          // Step 0 is the whole image; then one more layer each step.
          const shown = ((k + frames - 1) % frames) + 1;
          for (let i = 0; i < n; i++) out[i] = layer[i] < shown ? src[i] : bg;
        },
      };
    },

    noise(e) {
      const { srcs, frames, speed } = e;
      if (frames === 0 || speed === 0) return still(srcs[0]);
      const PATTERNS = 64, src = srcs[0], w = Math.round((speed / 100) * 256), v = 256 - w;
      return {
        cycle: PATTERNS * frames,
        draw(out, k) {
          const pattern = Math.floor(k / frames);
          if (pattern === 0) return out.set(src);
          let r = (Math.imul(pattern, 0x9e3779b1) + 0x7f4a7c15) | 0 || 1;
          for (let i = 0, n = out.length; i < n; i++) {
            r ^= r << 13;
            r ^= r >>> 17;
            r ^= r << 5;
            const p = src[i], g = ((r >>> 8) & 255) * w;
            out[i] = 0xff000000 | (((((p >>> 16) & 255) * v + g) >> 8) << 16) |
              (((((p >>> 8) & 255) * v + g) >> 8) << 8) | ((((p & 255) * v + g) >> 8));
          }
        },
      };
    },

    rgb(e) {
      const { srcs, frames, speed, W, H, bgRGB } = e;
      if (frames === 0 || speed === 0) return still(srcs[0]);
      const src = srcs[0], distance = (speed * 5 / 100) * Math.min(W, H);
      return {
        cycle: frames,
        draw(out, k) {
          const d = distance * bump(k, frames), turn = (TAU * k) / frames;
          const off = [0, 1, 2].map((c) => {
            const a = turn + (c * TAU) / 3 - Math.PI / 2;
            return [Math.round(d * Math.cos(a)), Math.round(d * Math.sin(a))];
          });
          // One pass per layer: the shifted source where it lies, the
          // background's part elsewhere.
          out.fill(0xff000000);
          off.forEach(([ox, oy], c) => {
            const shift = 8 * c, mask = 255 << shift, fill = (c === 0 ? bgRGB.r : c === 1 ? bgRGB.g : bgRGB.b) << shift;
            const from = Math.max(0, ox), to = Math.min(W, W + ox);
            for (let y = 0; y < H; y++) {
              const i = y * W, sy = y - oy;
              if (sy < 0 || sy >= H || from >= to) {
                for (let x = 0; x < W; x++) out[i + x] |= fill;
                continue;
              }
              for (let x = 0; x < from; x++) out[i + x] |= fill;
              for (let x = to; x < W; x++) out[i + x] |= fill;
              const s0 = sy * W - ox;
              for (let x = from; x < to; x++) out[i + x] |= src[s0 + x] & mask;
            }
          });
        },
      };
    },
  };

  function waves(e, across, down) {
    const { srcs, speed, frames, W, H } = e;
    if (frames === 0 || speed === 0) return still(srcs[0]);
    const amplitude = (speed * 2 / 100) * Math.min(W, H);
    const tmp = down ? new Int32Array(W * H) : null;
    return {
      cycle: frames,
      draw(out, k) {
        const a = amplitude * envelope(k, frames), phase = (TAU * k) / frames;
        const dx = across ? waveTable(H, a, Math.max(8, H / 2), phase) : null;
        const dy = down ? waveTable(W, a, Math.max(8, W / 2), phase) : null;
        shiftInto(out, srcs[0], W, H, dx, dy, false, e.bg, tmp);
      },
    };
  }

  // Drain (twist and shrink) and Whirlpool (twist only).
  function twister(e, shrink) {
    const { srcs, frames, W, H } = e;
    if (frames === 0) return still(srcs[0]);
    const cx = W / 2, cy = H / 2, r = radii(W, H, cx, cy);
    const maxR = Math.ceil(Math.sqrt(cx * cx + cy * cy)) + 1;
    const reach = shrink ? maxR : Math.min(W, H) * 0.6;
    const cosT = new Float64Array(maxR + 1), sinT = new Float64Array(maxR + 1);
    return {
      cycle: frames,
      draw(out, k) {
        const t = bump(k, frames);
        const most = shrink ? 3 * Math.PI : 2.5 * Math.PI;
        for (let i = 0; i <= maxR; i++) {
          const f = Math.max(0, 1 - i / reach);
          const angle = most * t * (shrink ? f : f * f);
          cosT[i] = Math.cos(angle);
          sinT[i] = Math.sin(angle);
        }
        // Shrinking to a twelfth at the deepest point.
        const scale = shrink ? 1 / (1 - 0.92 * t) : 1;
        if (shrink) drainInto(out, srcs[0], W, H, cx, cy, r, cosT, sinT, scale, e.bg, maxR);
        else whirlInto(out, srcs[0], W, H, cx, cy, r, cosT, sinT, e.bg, reach);
      },
    };
  }

  // ---- Sources ---------------------------------------------------------

  function isPixelObject(image) {
    return image && typeof image.width === 'number' && typeof image.height === 'number' &&
      image.data && typeof image.data.length === 'number' && image.data.length >= image.width * image.height * 4;
  }

  // RGBA pixels scaled (nearest) to W x H and laid over the background.
  function sourceFromPixels(image, W, H, bgRGB) {
    const out = new Int32Array(W * H), data = image.data, iw = image.width, ih = image.height;
    for (let y = 0, i = 0; y < H; y++) {
      const sy = Math.min(ih - 1, Math.floor(((y + 0.5) * ih) / H));
      for (let x = 0; x < W; x++, i++) {
        const sx = Math.min(iw - 1, Math.floor(((x + 0.5) * iw) / W));
        const j = (sy * iw + sx) * 4, a = data[j + 3], na = 255 - a;
        const r = (data[j] * a + bgRGB.r * na + 127) / 255 | 0;
        const g = (data[j + 1] * a + bgRGB.g * na + 127) / 255 | 0;
        const b = (data[j + 2] * a + bgRGB.b * na + 127) / 255 | 0;
        out[i] = 0xff000000 | (b << 16) | (g << 8) | r;
      }
    }
    return out;
  }

  function scratchCanvas(W, H) {
    if (typeof OffscreenCanvas === 'function') return new OffscreenCanvas(W, H);
    if (typeof document !== 'undefined') {
      const c = document.createElement('canvas');
      c.width = W;
      c.height = H;
      return c;
    }
    throw new Error('Images other than pixel arrays need a canvas');
  }

  function sourceFromImage(image, W, H, bgRGB) {
    if (isPixelObject(image)) return sourceFromPixels(image, W, H, bgRGB);
    const canvas = scratchCanvas(W, H);
    const c = canvas.getContext('2d', { willReadFrequently: true });
    c.fillStyle = `rgb(${bgRGB.r},${bgRGB.g},${bgRGB.b})`;
    c.fillRect(0, 0, W, H);
    c.drawImage(image, 0, 0, W, H);
    // Throws a SecurityError for an image the page may not read.
    const data = c.getImageData(0, 0, W, H).data;
    const out = new Int32Array(W * H);
    out.set(new Int32Array(data.buffer, data.byteOffset, W * H));
    return out;
  }

  // ---- Drawn effects ---------------------------------------------------
  // A page opened from disk, or images from another site, may be drawn but
  // not read back, so the effects above cannot work on their pixels. These
  // draw the same effects (with the same steps and timing) through the
  // canvas's own operations instead, a little coarser where the pixel
  // version bends the image continuously.

  function drawnEffect(e) {
    const { W, H, imgs, bgCss, frames, speed, stepMs } = e;
    const cx = W / 2, cy = H / 2;
    const scratch = [];
    const temp = (n) => {
      while (scratch.length <= n) {
        const c = scratchCanvas(W, H);
        scratch.push([c, c.getContext('2d')]);
      }
      return scratch[n];
    };
    const base = (ctx, img) => {
      ctx.globalAlpha = 1;
      ctx.globalCompositeOperation = 'source-over';
      ctx.filter = 'none';
      ctx.setTransform(1, 0, 0, 1, 0, 0);
      if (img) ctx.drawImage(img, 0, 0);
      else { ctx.fillStyle = bgCss; ctx.fillRect(0, 0, W, H); }
    };
    const first = imgs[0];
    const stillDraw = { draw: (ctx) => base(ctx, first) };
    const pause = pauseSteps(stepMs);
    // Rings round a centre, each drawn with its own transform.
    const rings = (ctx, img, ox, oy, maxR, width, transform, clip) => {
      for (let r0 = 0; r0 < maxR; r0 += width) {
        ctx.save();
        if (clip) { ctx.beginPath(); ctx.rect(...clip); ctx.clip(); }
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
    };
    const ripples = (ctx, k, centres, amplitude, wavelength) => {
      base(ctx, first);
      const a = amplitude * envelope(k, frames), phase = (TAU * k) / frames;
      const width = Math.max(2, wavelength / 6);
      for (const [ox, oy, clip, reach] of centres) {
        rings(ctx, first, ox, oy, reach, width, (c, r) => {
          const f = 1 - (a * Math.sin((TAU * r) / wavelength - phase)) / Math.max(r, 1);
          c.scale(1 / f, 1 / f);
        }, clip);
      }
    };
    const side = Math.min(W, H), strip = Math.max(1, Math.round(side / 120));
    // Strips a few pixels wide: each a call of its own.
    const shiftRows = (ctx, img, dx) => {
      for (let y = 0; y < H; y += strip) ctx.drawImage(img, 0, y, W, strip, dx[y], y, W, strip);
    };
    const shiftColumns = (ctx, img, dy) => {
      for (let x = 0; x < W; x += strip) ctx.drawImage(img, x, 0, strip, H, x, dy[x], strip, H);
    };

    switch (e.kind) {
      case 'fade':
      case 'flip':
        if (imgs.length < 2 || speed === 0) return stillDraw;
        return {
          draw(ctx, k) {
            const D = Math.ceil(100 / speed), L = pause + D, i = Math.floor(k / L), j = k % L;
            const a = imgs[i], b = imgs[(i + 1) % imgs.length];
            base(ctx, a);
            if (j < pause) return;
            const t = Math.min(1, ((j - pause + 1) * speed) / 100);
            if (e.kind === 'fade') {
              ctx.globalAlpha = t;
              ctx.drawImage(b, 0, 0);
              ctx.globalAlpha = 1;
              return;
            }
            if (t >= 1) return base(ctx, b);
            const fold = W * (1 - t), backEdge = 2 * fold - W;
            ctx.save();
            ctx.beginPath(); ctx.rect(fold, 0, W - fold, H); ctx.clip();
            ctx.drawImage(b, 0, 0);
            const shadow = ctx.createLinearGradient(fold, 0, fold + Math.max(4, W / 12), 0);
            shadow.addColorStop(0, 'rgba(0,0,0,0.45)');
            shadow.addColorStop(1, 'rgba(0,0,0,0)');
            ctx.fillStyle = shadow;
            ctx.fillRect(fold, 0, W - fold, H);
            ctx.restore();
            ctx.save();
            ctx.beginPath(); ctx.rect(Math.max(0, backEdge), 0, fold - Math.max(0, backEdge), H); ctx.clip();
            ctx.setTransform(-1, 0, 0, 1, 2 * fold, 0);
            ctx.drawImage(a, 0, 0);
            ctx.setTransform(1, 0, 0, 1, 0, 0);
            ctx.fillStyle = 'rgba(236,236,236,0.75)';
            ctx.fillRect(0, 0, W, H);
            const back = ctx.createLinearGradient(fold, 0, Math.max(0, backEdge), 0);
            back.addColorStop(0, 'rgba(0,0,0,0.3)');
            back.addColorStop(1, 'rgba(0,0,0,0)');
            ctx.fillStyle = back;
            ctx.fillRect(0, 0, W, H);
            ctx.restore();
          },
        };
      case 'hue':
        if (speed === 0) return stillDraw;
        return {
          draw(ctx, k) {
            base(ctx, null);
            ctx.filter = `hue-rotate(${(k * speed) % 360}deg)`;
            ctx.drawImage(first, 0, 0);
            ctx.filter = 'none';
          },
        };
      case 'extract':
        if (speed === 0) return stillDraw;
        return {
          draw(ctx, k) {
            const T = Math.ceil(100 / speed), round = 4 * T;
            const keys = [[1, 1, 1], [1, 0, 0], [0, 1, 0], [0, 0, 1], [1, 1, 1]];
            const j = k % round, phase = Math.floor(j / T), t = (j % T) / T;
            const w = [0, 1, 2].map((c) => Math.round(255 * (keys[phase][c] + (keys[phase + 1][c] - keys[phase][c]) * t)));
            base(ctx, imgs[Math.floor(k / round) % imgs.length]);
            ctx.globalCompositeOperation = 'multiply';
            ctx.fillStyle = `rgb(${w[0]},${w[1]},${w[2]})`;
            ctx.fillRect(0, 0, W, H);
            ctx.globalCompositeOperation = 'source-over';
          },
        };
      case 'water':
      case 'hwaves':
      case 'vwaves':
      case 'dwaves': {
        if (frames === 0 || speed === 0) return stillDraw;
        const water = e.kind === 'water';
        const across = e.kind !== 'vwaves', down = e.kind === 'vwaves' || e.kind === 'dwaves' || water;
        const amplitude = water ? (speed / 100) * side : (speed * 2 / 100) * side;
        return {
          draw(ctx, k) {
            const a = amplitude * envelope(k, frames), phase = (TAU * k) / frames;
            const dx = water ? waveTable(H, a, Math.max(8, side / 3), phase) : waveTable(H, a, Math.max(8, H / 2), phase);
            const dy = water ? waveTable(W, a * 0.6, Math.max(8, side / 3) * 1.3, -phase) : waveTable(W, a, Math.max(8, W / 2), phase);
            let img = first;
            if (across) {
              const [t, c] = temp(0);
              base(c, water ? first : null);
              shiftRows(c, first, dx);
              img = t;
            }
            if (down) {
              base(ctx, water ? img : null);
              shiftColumns(ctx, img, dy);
            } else {
              base(ctx, img);
            }
          },
        };
      }
      case 'quad': {
        if (frames === 0 || speed === 0) return stillDraw;
        const hw = Math.ceil(W / 2), hh = Math.ceil(H / 2);
        const centres = [[0, 0], [1, 0], [0, 1], [1, 1]].map(([i, j]) => {
          const x0 = i ? hw : 0, y0 = j ? hh : 0, w = i ? W - hw : hw, h = j ? H - hh : hh;
          return [x0 + w / 2, y0 + h / 2, [x0, y0, w, h], Math.hypot(w, h) / 2 + 1];
        });
        return { draw: (ctx, k) => ripples(ctx, k, centres, (speed / 100) * side, Math.max(4, side / 10)) };
      }
      case 'ripple':
        if (frames === 0 || speed === 0) return stillDraw;
        return {
          draw: (ctx, k) => ripples(ctx, k, [[cx, cy, null, Math.hypot(cx, cy) + 1]],
            (speed * 1.5 / 100) * side, Math.max(4, side / 8)),
        };
      case 'drain':
      case 'whirl': {
        if (frames === 0) return stillDraw;
        const shrink = e.kind === 'drain', maxR = Math.hypot(cx, cy) + 1;
        const reach = shrink ? maxR : side * 0.6;
        return {
          draw(ctx, k) {
            const t = bump(k, frames), most = shrink ? 3 * Math.PI : 2.5 * Math.PI;
            const scale = shrink ? 1 / (1 - 0.92 * t) : 1;
            base(ctx, shrink && t > 0 ? null : first);
            if (t === 0) return;
            rings(ctx, first, cx, cy, Math.min(maxR, reach / scale + 2), Math.max(2, side / 40), (c, r) => {
              const f = Math.max(0, 1 - r / reach);
              c.rotate(-most * t * (shrink ? f : f * f));
              c.scale(1 / scale, 1 / scale);
            });
          },
        };
      }
      case 'rotate':
        if (frames === 0) return stillDraw;
        return {
          draw(ctx, k) {
            base(ctx, null);
            ctx.translate(cx, cy);
            ctx.rotate((TAU * k) / frames);
            ctx.drawImage(first, -cx, -cy);
            ctx.setTransform(1, 0, 0, 1, 0, 0);
          },
        };
      case 'zoom':
        if (frames === 0) return stillDraw;
        return {
          draw(ctx, k) {
            const z = 1 + 2 * bump(k, frames);
            base(ctx, null);
            ctx.drawImage(first, cx - cx * z, cy - cy * z, W * z, H * z);
          },
        };
      case 'stretch':
        if (frames === 0) return stillDraw;
        return {
          draw(ctx, k) {
            const half = frames / 2, across = k < half, t = across ? k / half : (k - half) / half;
            const f = 1 + 0.5 * Math.sin(TAU * t), fx = across ? f : 1, fy = across ? 1 : f;
            base(ctx, null);
            ctx.drawImage(first, cx - cx * fx, cy - cy * fy, W * fx, H * fy);
          },
        };
      case 'lines': {
        if (frames === 0) return stillDraw;
        const rank = lineOrder(H);
        return {
          draw(ctx, k) {
            base(ctx, first);
            const gone = Math.round(H * triangle(k, frames));
            ctx.fillStyle = bgCss;
            for (let y = 0; y < H; y++) if (rank[y] < gone) ctx.fillRect(0, y, W, 1);
          },
        };
      }
      case 'noise': {
        if (frames === 0 || speed === 0) return stillDraw;
        let shown = -1;
        return {
          draw(ctx, k) {
            const pattern = Math.floor(k / frames);
            base(ctx, first);
            if (pattern === 0) return;
            // Grains of two by two pixels: a quarter of the work.
            const [t, c] = temp(0), nw = Math.ceil(W / 2), nh = Math.ceil(H / 2);
            if (shown !== pattern) {
              const d = c.createImageData(nw, nh), words = new Int32Array(d.data.buffer);
              let r = (Math.imul(pattern, 0x9e3779b1) + 0x7f4a7c15) | 0 || 1;
              for (let i = 0; i < words.length; i++) {
                r ^= r << 13; r ^= r >>> 17; r ^= r << 5;
                const g = (r >>> 8) & 255;
                words[i] = 0xff000000 | (g << 16) | (g << 8) | g;
              }
              c.putImageData(d, 0, 0);
              shown = pattern;
            }
            ctx.globalAlpha = speed / 100;
            ctx.imageSmoothingEnabled = false;
            ctx.drawImage(t, 0, 0, nw, nh, 0, 0, nw * 2, nh * 2);
            ctx.imageSmoothingEnabled = true;
            ctx.globalAlpha = 1;
          },
        };
      }
      case 'emboss':
        if (frames === 0) return stillDraw;
        return {
          draw(ctx, k) {
            const img = imgs[Math.floor(k / frames) % imgs.length], j = k % frames;
            base(ctx, img);
            if (j === 0) return;
            const angle = (TAU * j) / frames, dx = Math.cos(angle), dy = Math.sin(angle);
            const [t, c] = temp(0);
            base(c, null);
            c.filter = 'grayscale(1)';
            c.drawImage(img, -dx, -dy);
            c.globalAlpha = 0.5;
            c.filter = 'grayscale(1) invert(1)';
            c.drawImage(img, dx, dy);
            c.filter = 'none';
            c.globalAlpha = 1;
            ctx.globalAlpha = Math.min(1, (4 * Math.min(j, frames - j)) / frames);
            ctx.drawImage(t, 0, 0);
            ctx.globalAlpha = 1;
          },
        };
      case 'layers':
        if (frames === 0) return stillDraw;
        return {
          draw(ctx, k) {
            const shown = ((k + frames - 1) % frames) + 1;
            base(ctx, first);
            if (shown >= frames) return;
            // White where the brightness reaches the layers not yet shown.
            const [mask, m] = temp(0), [, b] = temp(1);
            base(m, null);
            m.filter = `grayscale(1) brightness(${(0.5 * frames) / shown}) contrast(100)`;
            m.drawImage(first, 0, 0);
            m.filter = 'none';
            ctx.globalCompositeOperation = 'multiply';
            ctx.filter = 'invert(1)';
            ctx.drawImage(mask, 0, 0);
            ctx.filter = 'none';
            base(b, mask);
            b.globalCompositeOperation = 'multiply';
            b.fillStyle = bgCss;
            b.fillRect(0, 0, W, H);
            b.globalCompositeOperation = 'source-over';
            ctx.globalCompositeOperation = 'lighter';
            ctx.drawImage(scratch[1][0], 0, 0);
            ctx.globalCompositeOperation = 'source-over';
          },
        };
      case 'rgb':
      default: {
        if (frames === 0 || speed === 0) return stillDraw;
        const distance = (speed * 5 / 100) * side;
        return {
          draw(ctx, k) {
            const d = distance * bump(k, frames), turn = (TAU * k) / frames;
            ctx.setTransform(1, 0, 0, 1, 0, 0);
            ctx.globalAlpha = 1;
            ctx.filter = 'none';
            ctx.globalCompositeOperation = 'source-over';
            ctx.fillStyle = '#000';
            ctx.fillRect(0, 0, W, H);
            const [t, c] = temp(0);
            ['#FF0000', '#00FF00', '#0000FF'].forEach((channel, i) => {
              const a = turn + (i * TAU) / 3 - Math.PI / 2;
              base(c, null);
              c.drawImage(first, Math.round(d * Math.cos(a)), Math.round(d * Math.sin(a)));
              c.globalCompositeOperation = 'multiply';
              c.fillStyle = channel;
              c.fillRect(0, 0, W, H);
              c.globalCompositeOperation = 'source-over';
              ctx.globalCompositeOperation = 'lighter';
              ctx.drawImage(t, 0, 0);
            });
            ctx.globalCompositeOperation = 'source-over';
          },
        };
      }
    }
  }

  function isUnreadable(err) {
    return err && (err.name === 'SecurityError' || err.code === 18);
  }

  // ---- Renderer --------------------------------------------------------

  function createRenderer(options) {
    const o = options || {};
    const W = Math.max(1, Math.min(MAX_SIZE, Math.floor(Number(o.width)) || DEFAULT_SIZE));
    const H = Math.max(1, Math.min(MAX_SIZE, Math.floor(Number(o.height)) || DEFAULT_SIZE));
    const settings = parseParams(o.params, o.code);
    const bgRGB = settings.background;
    const images = (Array.isArray(o.images) ? o.images : []).filter(Boolean);
    const stepMs = settings.constant;
    const kind = settings.effect.kind;
    const multi = ['fade', 'extract', 'flip', 'emboss'].includes(kind);
    const used = multi ? images : images.slice(0, 1);
    const parts = { W, H, bg: bgRGB.word, bgRGB, frames: settings.frames, speed: settings.speed, stepMs };

    let srcs = null;
    if (!o.drawn || used.some(isPixelObject)) {
      try {
        srcs = used.map((image) => sourceFromImage(image, W, H, bgRGB));
      } catch (err) {
        if (!isUnreadable(err)) throw err;
      }
    }
    let effect, drawn = null;
    if (used.length === 0) {
      effect = still(new Int32Array(W * H).fill(bgRGB.word));
    } else if (srcs) {
      effect = BUILDERS[kind]({ ...parts, srcs });
    } else {
      // The same effect at a tiny size gives the cycle; the canvas draws it.
      effect = BUILDERS[kind]({ ...parts, W: 2, H: 2, srcs: used.map(() => new Int32Array(4)) });
      const imgs = used.map((image) => {
        const c = scratchCanvas(W, H), x = c.getContext('2d');
        x.fillStyle = bgRGB.css;
        x.fillRect(0, 0, W, H);
        x.drawImage(image, 0, 0, W, H);
        return c;
      });
      drawn = drawnEffect({ ...parts, kind, imgs, bgCss: bgRGB.css });
    }
    const cycle = Math.max(1, Math.floor(effect.cycle) || 1);
    let imageData = null, words = null;
    return {
      width: W,
      height: H,
      settings,
      cycleLength: cycle,
      stepMs,
      // True when the images could not be read back and the canvas draws.
      drawn: Boolean(drawn),
      render(ctx, step) {
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
    };
  }

  // ---- The page --------------------------------------------------------

  const claimed = typeof WeakSet === 'function' ? new WeakSet() : null;
  // The most device pixels one applet draws per step.
  const MAX_RENDER_PIXELS = 1300000;

  function renderScale(W, H) {
    const dpr = (typeof window !== 'undefined' && window.devicePixelRatio) || 1;
    return Math.max(Math.min(1, Math.sqrt(MAX_RENDER_PIXELS / (W * H))),
      Math.min(dpr, Math.sqrt(MAX_RENDER_PIXELS / (W * H))));
  }

  function sizeAttribute(el, name) {
    const v = parseInteger(el.getAttribute(name) || '');
    return v === null || v < 1 ? DEFAULT_SIZE : Math.min(v, MAX_SIZE);
  }

  function readParams(el) {
    const params = {};
    for (const child of Array.from(el.children)) {
      if (child.tagName !== 'PARAM') continue;
      const name = (child.getAttribute('name') || '').trim().toUpperCase();
      const value = child.getAttribute('value');
      if (name && !(name in params) && value !== null) params[name] = value;
    }
    return params;
  }

  function loadImage(name, base) {
    return new Promise((resolve) => {
      if (!name) return resolve(null);
      let url;
      try {
        url = new URL(name, base).href;
      } catch (e) {
        return resolve(null);
      }
      const img = new Image();
      img.onload = () => resolve(img.naturalWidth > 0 ? img : null);
      img.onerror = () => resolve(null);
      img.src = url;
    });
  }

  function followLink(url, target) {
    const frame = target || '_self';
    if (frame.toLowerCase() === '_blank') window.open(url, '_blank', 'noopener');
    else window.open(url, frame);
  }

  function startApplet(el, code) {
    const W = sizeAttribute(el, 'width'), H = sizeAttribute(el, 'height');
    const params = readParams(el);
    const settings = parseParams(params, code);
    const scale = renderScale(W, H);
    const RW = Math.max(1, Math.round(W * scale)), RH = Math.max(1, Math.round(H * scale));

    const canvas = document.createElement('canvas');
    canvas.width = RW;
    canvas.height = RH;
    canvas.style.width = W + 'px';
    canvas.style.height = H + 'px';
    for (const attr of ['id', 'class', 'title', 'align', 'hspace', 'vspace', 'name']) {
      const v = el.getAttribute(attr);
      if (v !== null) canvas.setAttribute(attr, v);
    }
    canvas.setAttribute('data-glimmerax-player', code);
    canvas.setAttribute('role', 'img');
    canvas.setAttribute('aria-label', el.getAttribute('alt') || settings.effect.name);
    const ctx = canvas.getContext('2d');

    const base = document.baseURI;
    if (settings.link && isSafeLink(settings.link, base)) {
      const url = new URL(settings.link, base).href;
      canvas.style.cursor = 'pointer';
      canvas.tabIndex = 0;
      canvas.setAttribute('role', 'link');
      canvas.setAttribute('aria-label', settings.link);
      canvas.addEventListener('click', () => followLink(url, settings.target));
      canvas.addEventListener('keydown', (ev) => {
        if (ev.key === 'Enter') {
          ev.preventDefault();
          followLink(url, settings.target);
        }
      });
    }

    el.parentNode.replaceChild(canvas, el);

    const player = {
      state: 'loading',
      renderer: null,
      step: 0,
      advanced: 0,
      missing: [],
      show(step) { player.pause(); player.step = step; draw(); },
      pause() { paused = true; setState('paused'); stop(); },
      resume() { paused = false; update(); },
    };
    canvas.glimmerax = player;

    function setState(s) {
      player.state = s;
      canvas.setAttribute('data-glimmerax-state', s);
    }

    function message(lines, background, colour) {
      ctx.save();
      if (background) {
        ctx.fillStyle = background;
        ctx.fillRect(0, 0, RW, RH);
      }
      const size = Math.max(9, Math.round(12 * scale));
      ctx.font = `${size}px sans-serif`;
      ctx.textAlign = 'center';
      ctx.textBaseline = 'middle';
      ctx.fillStyle = colour;
      const top = RH / 2 - ((lines.length - 1) * size * 1.3) / 2;
      lines.forEach((line, i) => ctx.fillText(line, RW / 2, top + i * size * 1.3, RW - 4));
      ctx.restore();
    }

    function draw() {
      const r = player.renderer;
      if (!r) return;
      r.render(ctx, player.step);
      if (player.missing.length) {
        const size = Math.max(9, Math.round(12 * scale));
        const lines = player.missing.map((n) => `Cannot load the image "${n}"`);
        const band = lines.length * size * 1.3 + size * 0.6;
        ctx.save();
        ctx.fillStyle = 'rgba(0,0,0,0.7)';
        ctx.fillRect(0, RH - band, RW, band);
        ctx.font = `${size}px sans-serif`;
        ctx.textAlign = 'center';
        ctx.textBaseline = 'middle';
        ctx.fillStyle = '#FFFFFF';
        lines.forEach((line, i) => ctx.fillText(line, RW / 2, RH - band + size * 0.95 + i * size * 1.3, RW - 4));
        ctx.restore();
      }
    }

    message(settings.loadText ? [settings.loadText] : [], settings.loadBackground.css, settings.loadColour.css);
    canvas.setAttribute('data-glimmerax-state', 'loading');

    // Timing state.
    let raf = 0, last = null, acc = 0, paused = false, onScreen = true;
    const reduced = typeof window.matchMedia === 'function'
      ? window.matchMedia('(prefers-reduced-motion: reduce)') : null;

    function stop() {
      if (raf) cancelAnimationFrame(raf);
      raf = 0;
      last = null;
    }

    function frame(now) {
      raf = 0;
      const r = player.renderer;
      if (last === null) last = now;
      let dt = now - last;
      last = now;
      // After a long gap (hidden tab, slow machine) go on from here.
      if (dt < 0 || dt > 250) dt = r.stepMs;
      acc += dt;
      const steps = Math.floor(acc / r.stepMs);
      if (steps > 0) {
        acc -= steps * r.stepMs;
        player.step = (player.step + steps) % r.cycleLength;
        player.advanced += steps;
        draw();
      }
      raf = requestAnimationFrame(frame);
    }

    function update() {
      const r = player.renderer;
      if (!r || paused) return;
      if ((reduced && reduced.matches) || r.cycleLength === 1) {
        stop();
        player.step = 0;
        acc = 0;
        draw();
        setState('still');
        return;
      }
      if (document.hidden || !onScreen) {
        stop();
        setState('playing');
        return;
      }
      setState('playing');
      if (!raf) raf = requestAnimationFrame(frame);
    }

    Promise.all(settings.imageNames.map((n) => loadImage(n, base))).then((images) => {
      const names = settings.imageNames;
      let renderer = null;
      const readable = images.map((img, i) => {
        if (!img) {
          if (names[i]) player.missing.push(names[i]);
          return null;
        }
        return img;
      });
      try {
        renderer = createRenderer({ code, width: RW, height: RH, params, images: readable });
      } catch (err) {
        if (typeof console !== 'undefined') console.error('Glimmerax player:', err);
        renderer = createRenderer({ code, width: RW, height: RH, params, images: [] });
      }
      player.renderer = renderer;
      player.step = 0;
      draw();
      if (typeof IntersectionObserver === 'function') {
        new IntersectionObserver((entries) => {
          onScreen = entries[entries.length - 1].isIntersecting;
          update();
        }).observe(canvas);
      }
      document.addEventListener('visibilitychange', update);
      if (reduced) {
        if (typeof reduced.addEventListener === 'function') reduced.addEventListener('change', update);
        else if (typeof reduced.addListener === 'function') reduced.addListener(update);
      }
      update();
      canvas.dispatchEvent(new Event('glimmerax:ready'));
    });
  }

  function scan() {
    if (typeof document === 'undefined') return 0;
    let started = 0;
    for (const el of Array.from(document.getElementsByTagName('applet'))) {
      if ((claimed && claimed.has(el)) || !el.parentNode) continue;
      const code = (el.getAttribute('code') || '').trim().toLowerCase();
      if (!CLASS_FILES.includes(code)) continue;
      if (claimed) claimed.add(el);
      try {
        startApplet(el, code);
        started++;
      } catch (err) {
        // One broken applet never stops the others.
        if (typeof console !== 'undefined') console.error('Glimmerax player:', err);
      }
    }
    return started;
  }

  function scanWhenReady() {
    if (typeof document === 'undefined') return;
    if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', scan, { once: true });
    else scan();
  }

  const api = {
    version: VERSION,
    classFiles: CLASS_FILES.slice(),
    effects: EFFECTS,
    effectFor,
    parseParams,
    parseColour,
    isSafeLink,
    createRenderer,
    scan,
    scanWhenReady,
  };

  if (typeof module === 'object' && module && module.exports) module.exports = api;
  if (root && typeof root === 'object' && typeof window !== 'undefined' && root === window) {
    root.GlimmeraxPlayer = api;
    scanWhenReady();
  }
})(typeof window !== 'undefined' ? window : typeof globalThis !== 'undefined' ? globalThis : this);
