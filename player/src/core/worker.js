// The player's worker: the same script started again by the page, drawing
// the applets that the page hands over (their canvases as OffscreenCanvas,
// their images as ImageBitmap), so that the page's own thread stays free.
// Messages from the page, each with the applet's `id`:
//   start   { canvas, code, params, width, height }  shows the load message
//   images  { images, missing }   -> ready { info }
//   resize  { width, height }     (device pixels) -> ready { info } when drawn
//   run     { on }
//   show    { step }
//   pixels  { ask }               -> pixels { ask, width, height, data }
//   destroy
// and from here: step { step, advanced }, at most five times a second while
// playing (each message is a task on the page's thread) and when stopped.
import { parseParams } from './params.js';
import { createEngine } from './engine.js';

const STEP_REPORT_MS = 200;

export function runWorker(scope) {
  const engines = new Map();
  // Per applet: the last step drawn and when the page was last told.
  const told = new Map();
  const tell = (id, force) => {
    const t = told.get(id);
    if (!t || t.sent) return;
    const now = performance.now();
    if (!force && now - t.at < STEP_REPORT_MS) return;
    t.at = now;
    t.sent = true;
    scope.postMessage({ type: 'step', id, step: t.step, advanced: t.advanced });
  };
  scope.onmessage = (ev) => {
    const m = ev.data || {};
    const id = m.id;
    if (m.type === 'start') {
      const engine = createEngine({
        canvas: m.canvas, code: m.code, params: m.params, settings: parseParams(m.params, m.code),
        width: m.width, height: m.height,
        onStep: (step, advanced) => {
          const t = told.get(id);
          Object.assign(t, { step, advanced, sent: false });
          tell(id, false);
        },
      });
      told.set(id, { step: 0, advanced: 0, at: 0, sent: true });
      engines.set(id, engine);
      engine.loading();
      return;
    }
    const engine = engines.get(id);
    if (!engine) return;
    try {
      if (m.type === 'images') {
        scope.postMessage({ type: 'ready', id, info: engine.setImages(m.images, m.missing) });
      } else if (m.type === 'resize') {
        const info = engine.resize(m.width, m.height);
        if (info) scope.postMessage({ type: 'ready', id, info });
      } else if (m.type === 'run') {
        engine.run(m.on);
        if (!m.on) tell(id, true);
      } else if (m.type === 'show') {
        engine.show(m.step);
      } else if (m.type === 'pixels') {
        const d = engine.pixels();
        scope.postMessage({ type: 'pixels', id, ask: m.ask, width: d.width, height: d.height, data: d.data }, [d.data.buffer]);
      } else if (m.type === 'destroy') {
        engine.destroy();
        engines.delete(id);
        told.delete(id);
      }
    } catch (err) {
      if (typeof console !== 'undefined') console.error('Glimmerax player:', err);
    }
  };
  scope.postMessage({ type: 'hello' });
}
