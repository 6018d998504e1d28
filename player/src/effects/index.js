// The effect modules by the catalogue's `kind` (see core/params.js).
import * as fade from './fade.js';
import * as hue from './hue.js';
import * as extract from './extract.js';
import * as flip from './flip.js';
import * as water from './water.js';
import * as quad from './quad.js';
import * as drain from './drain.js';
import * as hwaves from './hwaves.js';
import * as vwaves from './vwaves.js';
import * as dwaves from './dwaves.js';
import * as lines from './lines.js';
import * as stretch from './stretch.js';
import * as whirl from './whirl.js';
import * as emboss from './emboss.js';
import * as layers from './layers.js';
import * as ripple from './ripple.js';
import * as rotate from './rotate.js';
import * as noise from './noise.js';
import * as zoom from './zoom.js';
import * as rgb from './rgb.js';

export const EFFECT_MODULES = Object.freeze({
  fade, hue, extract, flip, water, quad, drain, hwaves, vwaves, dwaves,
  lines, stretch, whirl, emboss, layers, ripple, rotate, noise, zoom, rgb,
});
