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
 *                    6    Stretcher: stretches to 1.5x and squeezes to 0.5x
 *                         across in F/2 steps, then down.
 *                    7    Whirlpool: a twist round the centre that winds up
 *                         and unwinds in F steps.
 *                    8    Ripple: circular ripples spreading from the centre.
 *                    9    Rotate: one clockwise turn round the centre in F
 *                         steps, the background colour in the corners.
 *                    10   Noise: grey noise mixed in at S percent, renewed
 *                         every F steps (the first F steps of a cycle clean).
 *                    11   Zoom: zooms in to 3x at the centre and back out.
 *                    (another variant plays as variant 0)
 * The depth of water, waves and ripples grows from nothing after step 0 and
 * falls back to nothing at the end of the cycle. Waves and the stretcher
 * uncover the background colour; water and ripples repeat the image's edge
 * pixels.
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
 *       filters, blending; ripples in small tiles, twists in rings).
 *   parseParams(params, code) -> settings, isSafeLink(link, base)
 *   scan(): replaces the page's applets now; idempotent.
 *   players(): the page's players (below), each with destroy().
 * Each applet becomes <span class="glimmerax"> holding the canvas (inside an
 * <a href> for a safe link), a pause button and, when the alternative HTML
 * holds links, that HTML visually hidden; otherwise the alternative HTML is
 * the canvas's content. The canvas is an image (role img) named by that
 * HTML's text, or by the effect and the images' file names.
 * Each canvas carries `glimmerax`, its player (state, renderer (the figures:
 * cycleLength, stepMs, drawn, width, height, settings), step, advanced
 * (steps played so far; told by the worker five times a second), missing (names of images that did not load or did
 * not arrive within 30 s), worker (true when the player's worker draws),
 * onScreen, paused, show(step), pause(), resume(), pixels() (a promise of
 * { width, height, data }), destroy()) and a data-glimmerax-state
 * attribute: loading, playing, still, paused, stopped; a "glimmerax:ready"
 * event is sent when the images have loaded and the first step is drawn.
 * A canvas draws at its displayed size times the screen's pixel density, up
 * to 1.3 million pixels an applet. Where a worker can start (the script from
 * the page's own site), the canvas is handed to it and the same script,
 * started again there, draws; otherwise the page draws. Applets are
 * prepared only when they come near the viewport. Before the script loads a
 * page may set window.GlimmeraxPlayerOptions = { imageTimeoutMs, worker }.
 *
 * Source: the modules under src/ (core/: parameters, timing, pixels, the
 * renderer and the page; effects/: one module per effect, holding its cycle,
 * its pixel drawing and its canvas drawing). The shipped script is bundled
 * from them by esbuild.
 *
 * Pixels are handled as 32-bit words (Int32Array, which keeps the engines'
 * fast integer paths) in the byte order of every browser's platform
 * (little-endian).
 */
import './licence.js';
import { api, VERSION } from './api.js';
import { scanWhenReady, setScriptUrl } from './core/page.js';
import { runWorker } from './core/worker.js';

// Started again as the player's worker (no window, no document): draw what
// the page hands over. As a classic script on a page:
// window.GlimmeraxPlayer, and the page's applets replaced. Loaded a second
// time on one page: the first copy does the work. Under Node (the bundle
// loaded with require): module.exports.
const inWorker = typeof window === 'undefined' && typeof document === 'undefined' &&
  typeof self === 'object' && self !== null && typeof self.postMessage === 'function' &&
  typeof importScripts === 'function';
const root = typeof window !== 'undefined' ? window : typeof globalThis !== 'undefined' ? globalThis : undefined;
if (inWorker) {
  runWorker(self);
} else if (root && root.GlimmeraxPlayer && root.GlimmeraxPlayer.version === VERSION) {
  root.GlimmeraxPlayer.scanWhenReady();
} else {
  if (typeof module === 'object' && module && module.exports) module.exports = api;
  if (root && typeof root === 'object' && typeof window !== 'undefined' && root === window) {
    // The script's address is known only while it runs for the first time.
    if (typeof document !== 'undefined' && document.currentScript) setScriptUrl(document.currentScript.src);
    root.GlimmeraxPlayer = api;
    scanWhenReady();
  }
}
