// The catalogue of effects and the parsing of the applet's parameters into
// the settings every part of the player uses.

export const CLASS_FILES = ['fade.class', 'huecycle.class', 'colorwarp.class', 'pageflip.class',
  'underwater.class', 'warp.class'];

// One row per effect: class file, variant (null: the class has one effect),
// the program's defaults, and which count the user sets. `kind` names the
// effect's module under effects/.
export const EFFECTS = [
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

export function effectFor(code, variant) {
  const c = String(code || '').trim().toLowerCase();
  const rows = EFFECTS.filter((e) => e.code === c);
  if (rows.length === 0) return null;
  if (rows.length === 1) return rows[0];
  return rows.find((e) => e.variant === variant) || rows.find((e) => e.variant === 0);
}

export const DEFAULT_SIZE = 150;
export const MAX_SIZE = 10000;

export function parseInteger(text) {
  if (typeof text !== 'string' || !/^\s*-?\d{1,9}\s*$/.test(text)) return null;
  return parseInt(text, 10);
}

// "RRGGBB" -> { r, g, b, css, word } or null.
export function parseColour(text) {
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
export function parseParams(params, code) {
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
export function isSafeLink(link, base) {
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
