// Time of one animation step of each effect at 640 x 480 in headless
// Chromium: the median of many steps, and its ratio to a reference step
// measured in the same run (putting one ready frame on the canvas, the
// least any step does). Each time includes handing the frame to the canvas;
// each step's time is the fastest of three runs of that step.  node bench/effects_bench.js [--json]
'use strict';
const fs = require('node:fs');
const path = require('node:path');
const S = require('../tests/browser/support.js');

// The shipped script, as the build put it beside the program (GLX_PROGRAM).
const PLAYER = S.PLAYER;
const STEPS = 60;

async function main() {
  const folder = S.tempFolder('glx-bench-');
  fs.copyFileSync(PLAYER, path.join(folder, 'glimmerax-player.js'));
  fs.writeFileSync(path.join(folder, 'bench.html'),
    '<!DOCTYPE html><html><body><canvas id="c" width="640" height="480"></canvas>' +
    '<script src="glimmerax-player.js"></script></body></html>');
  // Cross-origin isolation gives the page timers finer than 0.1 ms.
  const server = await S.serve(folder, {
    'Cross-Origin-Opener-Policy': 'same-origin', 'Cross-Origin-Embedder-Policy': 'require-corp' });
  const browser = await S.launch();
  try {
    const page = await browser.newPage();
    await page.goto(server.base + 'bench.html');
    // The pictures and the reference, then one call per effect (each call
    // stays short however busy the machine is).
    const reference = await page.evaluate((steps) => {
      const W = 640, H = 480;
      // Two busy pictures drawn here, so that every effect has real work.
      function picture(hue) {
        const c = document.createElement('canvas');
        c.width = W; c.height = H;
        const x = c.getContext('2d');
        const g = x.createLinearGradient(0, 0, W, H);
        g.addColorStop(0, `hsl(${hue},80%,30%)`);
        g.addColorStop(1, `hsl(${hue + 150},80%,70%)`);
        x.fillStyle = g;
        x.fillRect(0, 0, W, H);
        for (let i = 0; i < 40; i++) {
          x.fillStyle = `hsl(${(hue + i * 37) % 360},70%,${30 + (i % 5) * 10}%)`;
          x.beginPath();
          x.arc((i * 97) % W, (i * 61) % H, 10 + (i % 7) * 8, 0, Math.PI * 2);
          x.fill();
        }
        return c;
      }
      window.benchImages = [picture(20), picture(200)];
      const ctx = document.getElementById('c').getContext('2d');
      window.benchMedian = (a) => { const s = [...a].sort((p, q) => p - q); return s[Math.floor(s.length / 2)]; };
      // Reading one pixel back makes the canvas carry out what it was given.
      window.benchTime = (f) => { const t = performance.now(); f(); ctx.getImageData(0, 0, 1, 1); return performance.now() - t; };
      if (!crossOriginIsolated) throw new Error('the page needs fine timers (cross-origin isolation)');
      const ready = ctx.createImageData(W, H);
      const times = [];
      for (let i = 0; i < steps; i++) {
        times.push(Math.min(...[0, 1, 2].map(() => benchTime(() => ctx.putImageData(ready, 0, 0)))));
      }
      return benchMedian(times);
    }, STEPS);
    const effects = [];
    const count = await page.evaluate(() => GlimmeraxPlayer.effects.length);
    for (let index = 0; index < count; index++) {
      effects.push(await page.evaluate((steps, n) => {
        const e = GlimmeraxPlayer.effects[n], ctx = document.getElementById('c').getContext('2d');
        const v = e.variant === null ? 0 : e.variant;
        const row = { name: e.name };
        // Pixel effects, and the same drawn with canvas operations (what a
        // page opened from disk gets).
        for (const drawn of [false, true]) {
          const r = GlimmeraxPlayer.createRenderer({
            code: e.code, width: 640, height: 480, images: benchImages, drawn,
            params: { GENERAL: `2|7|000000|${e.constant}|${e.frames}|${v}|${e.speed}|`, IMAGES: 'a.gif|b.gif|' },
          });
          // Steps spread over the cycle, after a few to warm up.
          const ks = Array.from({ length: steps }, (_, i) => Math.floor(((i + 0.5) * r.cycleLength) / steps));
          for (let i = 0; i < 10; i++) r.render(ctx, ks[i]);
          // A step's work is the same every time it is drawn: the fastest of
          // a few runs leaves out the time other programs took the processor.
          const times = ks.map((k) => Math.min(...[0, 1, 2].map(() => benchTime(() => r.render(ctx, k)))));
          row[drawn ? 'drawn' : 'median'] = benchMedian(times);
          if (!drawn) row.max = Math.max(...times);
        }
        return row;
      }, STEPS, index));
    }
    const rows = { reference, effects };
    if (process.argv.includes('--json')) {
      console.log(JSON.stringify(rows, null, 2));
    } else {
      console.log(`Reference step (put one ready frame): median ${rows.reference.toFixed(3)} ms\n`);
      console.log('| effect | median ms per step | ratio to reference | slowest step ms | drawn: median ms |');
      console.log('|---|---:|---:|---:|---:|');
      for (const r of rows.effects) {
        console.log(`| ${r.name} | ${r.median.toFixed(2)} | ${(r.median / rows.reference).toFixed(1)} | ` +
          `${r.max.toFixed(2)} | ${r.drawn.toFixed(2)} |`);
      }
      const worst = Math.max(...rows.effects.map((r) => r.median));
      console.log(`\nSlowest median: ${worst.toFixed(2)} ms (limit 8 ms)`);
    }
  } finally {
    await browser.close();
    await server.close();
    fs.rmSync(folder, { recursive: true, force: true });
  }
}

main().catch((err) => {
  console.error(err);
  process.exit(1);
});
