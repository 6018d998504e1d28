/*
 * Glimmerax HTML5 player (skeleton; effects follow).
 *
 * Public API: window.GlimmeraxPlayer (module.exports under Node)
 *   createRenderer({ code, width, height, params, images }) -> renderer
 *   renderer.cycleLength, renderer.stepMs, renderer.render(ctx, step)
 *   GlimmeraxPlayer.scan()
 */
(function (root) {
  'use strict';

  function createRenderer(options) {
    const width = options.width | 0;
    const height = options.height | 0;
    return {
      cycleLength: 1,
      stepMs: 50,
      render(ctx) {
        ctx.fillStyle = '#000';
        ctx.fillRect(0, 0, width, height);
      },
    };
  }

  function scan() {}

  const api = { createRenderer, scan };
  if (typeof module === 'object' && module.exports) {
    module.exports = api;
  } else {
    root.GlimmeraxPlayer = api;
  }
})(typeof window !== 'undefined' ? window : this);
