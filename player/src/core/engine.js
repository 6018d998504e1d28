// One applet's drawing and clock, wherever it runs: on the page's own
// canvas (main thread) or on an OffscreenCanvas in the player's worker. It
// knows nothing of the page: the page tells it when to run, what size to
// draw at and which step to show.
import { stepClock, stepsDue } from './timing.js';
import { createRenderer } from './renderer.js';

const nextFrame = (f) => (typeof requestAnimationFrame === 'function'
  ? requestAnimationFrame(f) : setTimeout(() => f(performance.now()), 16));
const cancelFrame = (id) => (typeof cancelAnimationFrame === 'function' ? cancelAnimationFrame(id) : clearTimeout(id));

// options: { canvas, code, params, settings, width, height (the applet's
// own size), onStep(step, advanced) }
export function createEngine(o) {
  const { canvas, code, params, settings } = o;
  const ctx = canvas.getContext('2d');
  let images = null, missing = [], renderer = null;
  let step = 0, advanced = 0, running = false, raf = 0;
  const clock = stepClock();

  const scale = () => canvas.width / o.width;

  function message(lines, background, colour) {
    const RW = canvas.width, RH = canvas.height;
    ctx.save();
    ctx.setTransform(1, 0, 0, 1, 0, 0);
    if (background) {
      ctx.fillStyle = background;
      ctx.fillRect(0, 0, RW, RH);
    }
    const size = Math.max(9, Math.round(12 * scale()));
    ctx.font = `${size}px sans-serif`;
    ctx.textAlign = 'center';
    ctx.textBaseline = 'middle';
    ctx.fillStyle = colour;
    const top = RH / 2 - ((lines.length - 1) * size * 1.3) / 2;
    lines.forEach((line, i) => ctx.fillText(line, RW / 2, top + i * size * 1.3, RW - 4));
    ctx.restore();
  }

  function loading() {
    message(settings.loadText ? [settings.loadText] : [], settings.loadBackground.css, settings.loadColour.css);
  }

  function draw() {
    if (!renderer) return;
    renderer.render(ctx, step);
    if (!missing.length) return;
    const RW = canvas.width, RH = canvas.height;
    const size = Math.max(9, Math.round(12 * scale()));
    const lines = missing.map((n) => `Cannot load the image "${n}"`);
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

  function build() {
    const RW = canvas.width, RH = canvas.height;
    // A new size makes a new renderer: the old one's buffers and filters go.
    if (renderer) renderer.dispose();
    try {
      renderer = createRenderer({ code, width: RW, height: RH, params, images });
    } catch (err) {
      if (typeof console !== 'undefined') console.error('Glimmerax player:', err);
      renderer = createRenderer({ code, width: RW, height: RH, params, images: [] });
    }
    step %= renderer.cycleLength;
  }

  function stop() {
    if (raf) cancelFrame(raf);
    raf = 0;
    clock.last = null;
  }

  function frame(now) {
    raf = 0;
    if (!running || !renderer) return;
    const steps = stepsDue(clock, now, renderer.stepMs);
    if (steps > 0) {
      step = (step + steps) % renderer.cycleLength;
      advanced += steps;
      draw();
      if (o.onStep) o.onStep(step, advanced);
    }
    raf = nextFrame(frame);
  }

  function info() {
    return { cycleLength: renderer.cycleLength, stepMs: renderer.stepMs, drawn: renderer.drawn,
      width: renderer.width, height: renderer.height };
  }

  return {
    get renderer() { return renderer; },
    get step() { return step; },
    loading,
    // The loaded images (null where one failed) and the names of those
    // that failed; draws step 0.
    setImages(list, failed) {
      images = list;
      missing = failed.slice();
      step = 0;
      build();
      draw();
      return info();
    },
    resize(RW, RH) {
      if (RW === canvas.width && RH === canvas.height) return null;
      canvas.width = RW;
      canvas.height = RH;
      if (!images) {
        loading();
        return null;
      }
      build();
      draw();
      return info();
    },
    run(flag) {
      if (flag && renderer && renderer.cycleLength > 1) {
        running = true;
        if (!raf) raf = nextFrame(frame);
      } else {
        running = false;
        stop();
      }
    },
    show(k) {
      running = false;
      stop();
      if (!renderer) return;
      step = ((Math.floor(Number(k)) || 0) % renderer.cycleLength + renderer.cycleLength) % renderer.cycleLength;
      clock.acc = 0;
      draw();
    },
    pixels() {
      return ctx.getImageData(0, 0, canvas.width, canvas.height);
    },
    destroy() {
      running = false;
      stop();
      if (renderer) renderer.dispose();
      renderer = null;
      if (images) for (const img of images) if (img && typeof img.close === 'function') img.close();
      images = null;
      // A canvas of no size gives its memory back at once.
      canvas.width = 0;
      canvas.height = 0;
    },
  };
}
