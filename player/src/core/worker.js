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
// and from here: step { step, advanced } after each step drawn.
import { parseParams } from './params.js';
import { createEngine } from './engine.js';

export function runWorker(scope) {
  const engines = new Map();
  scope.onmessage = (ev) => {
    const m = ev.data || {};
    const id = m.id;
    if (m.type === 'start') {
      const engine = createEngine({
        canvas: m.canvas, code: m.code, params: m.params, settings: parseParams(m.params, m.code),
        width: m.width, height: m.height,
        onStep: (step, advanced) => scope.postMessage({ type: 'step', id, step, advanced }),
      });
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
      } else if (m.type === 'show') {
        engine.show(m.step);
      } else if (m.type === 'pixels') {
        const d = engine.pixels();
        scope.postMessage({ type: 'pixels', id, ask: m.ask, width: d.width, height: d.height, data: d.data }, [d.data.buffer]);
      } else if (m.type === 'destroy') {
        engine.destroy();
        engines.delete(id);
      }
    } catch (err) {
      if (typeof console !== 'undefined') console.error('Glimmerax player:', err);
    }
  };
  scope.postMessage({ type: 'hello' });
}
