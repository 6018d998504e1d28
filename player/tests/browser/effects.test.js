// Every effect played by headless Chromium from a page the program made:
// step 0 is the first image, later steps are exactly what the effect
// functions give for the same pixels, and the row's own behaviour shows.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const S = require('./support.js');
// The shipped script, as the build put it beside the program.
const Player = require(S.PLAYER);

let folder, home, server, browser;

test.before(async () => {
  folder = S.tempFolder('glx-effects-');
  home = S.tempFolder('glx-home-');
  server = await S.serve(folder);
  browser = await S.launch();
  fs.mkdirSync(S.SHOTS, { recursive: true });
});

test.after(async () => {
  if (browser) await browser.close();
  if (server) await server.close();
  for (const f of [folder, home]) if (f) fs.rmSync(f, { recursive: true, force: true });
});

async function open(name, project) {
  const page = await browser.newPage();
  await page.goto(server.base + S.makePage(folder, name, project, home));
  await S.whenPlaying(page);
  return page;
}

function pngOf(page) {
  return S.pngOf(page);
}

test('every effect plays from the program\'s page, step by step as its effect function says', async () => {
  for (const e of Player.effects) {
    const page = await open(`effect${e.index}`, {
      effect: e.index, frames: e.frames, speed: e.speed, images: ['scene.gif', 'second.jpg'],
    });
    try {
      const size = await page.evaluate(() => {
        const c = document.querySelector('canvas[data-glimmerax-player]');
        const r = c.getBoundingClientRect();
        return { width: c.width, height: c.height, css: [r.width, r.height], applets: document.querySelectorAll('applet').length };
      });
      assert.deepEqual(size, { width: 160, height: 120, css: [160, 120], applets: 0 }, e.name);
      const first = await S.imagePixels(page, 'scene.gif', 160, 120, '#000000');
      const second = await S.imagePixels(page, 'second.jpg', 160, 120, '#000000');
      assert.equal(S.maxDifference(await S.pixelsAt(page, 0), first), 0, `${e.name}: step 0 is the first image`);

      const here = await page.evaluate(() => {
        const r = document.querySelector('canvas[data-glimmerax-player]').glimmerax.renderer;
        return { cycle: r.cycleLength, stepMs: r.stepMs };
      });
      const expected = Player.createRenderer({
        code: e.code, width: 160, height: 120,
        params: { GENERAL: `2|7|000000|${e.constant}|${e.frames}|${e.variant === null ? 0 : e.variant}|${e.speed}|`,
          IMAGES: 'scene.gif|second.jpg|' },
        images: [first, second],
      });
      assert.deepEqual(here, { cycle: expected.cycleLength, stepMs: e.constant }, e.name);
      const middle = Math.floor(expected.cycleLength * 0.3);
      const shown = await S.pixelsAt(page, middle);
      const ctx = { createImageData: (w, h) => ({ width: w, height: h, data: new Uint8ClampedArray(w * h * 4) }),
        putImageData(d) { this.last = d; } };
      expected.render(ctx, middle);
      assert.equal(S.maxDifference(shown, ctx.last), 0, `${e.name}: step ${middle}`);
      assert.ok(S.maxDifference(shown, first) > 0, `${e.name}: step ${middle} changes the image`);

      const shot = await pngOf(page);
      const file = `${String(e.index).padStart(2, '0')}-${e.name.toLowerCase().replace(/ /g, '-')}.png`;
      fs.writeFileSync(path.join(S.SHOTS, file), Buffer.from(shot.split(',')[1], 'base64'));
    } finally {
      await page.close();
    }
  }
});

test('the rows\' own behaviour in the browser', async (t) => {
  await t.test('the cross-fade midpoint is the mean of the two images', async () => {
    const page = await open('mean', { effect: 0, frames: 40, speed: 1, images: ['warm.gif', 'cool.gif'] });
    const pause = Math.round(1000 / 33);
    const p = S.at(await S.pixelsAt(page, pause + 49), 40, 30);
    [100, 70, 125].forEach((mean, c) => assert.ok(Math.abs(p[c] - mean) <= 1, `${p}`));
    await page.close();
  });
  await t.test('half a turn of the hues: red becomes cyan, blue yellow', async () => {
    const page = await open('hues', { effect: 1, frames: 40, speed: 2, images: ['hues.gif'] });
    const f = await S.pixelsAt(page, 90);
    assert.deepEqual(S.at(f, 10, 10), [0, 255, 255, 255]);
    assert.deepEqual(S.at(f, 80, 10), [255, 255, 0, 255]);
    await page.close();
  });
  await t.test('the emboss relief is grey', async () => {
    const page = await open('emboss', { effect: 13, frames: 20, speed: 1, images: ['scene.gif'] });
    const f = await S.pixelsAt(page, 10);
    for (let i = 0; i < f.data.length; i += 4) {
      assert.ok(f.data[i] === f.data[i + 1] && f.data[i] === f.data[i + 2], `pixel ${i / 4}`);
    }
    assert.ok(new Set(f.data).size > 10, 'a relief, not a flat grey');
    await page.close();
  });
  await t.test('a quarter turn of Rotate moves the marked corner', async () => {
    const page = await open('corner', { effect: 16, frames: 40, speed: 1, images: ['corner.gif'], background: 'clBlue' });
    const start = await S.pixelsAt(page, 0);
    assert.deepEqual(S.at(start, 2, 2), [255, 0, 0, 255]);
    const q = await S.pixelsAt(page, 10);
    assert.deepEqual(S.at(q, 57, 2), [255, 0, 0, 255]);
    assert.deepEqual(S.at(q, 2, 2), [0, 128, 0, 255]);
    const eighth = await S.pixelsAt(page, 5);
    assert.deepEqual(S.at(eighth, 0, 0), [0, 0, 255, 255], 'the background colour in the corners');
    await page.close();
  });
  await t.test('Line Cross Fade reaches the background colour', async () => {
    const page = await open('lines', { effect: 10, frames: 100, speed: 2, images: ['scene.gif'], background: 'clYellow' });
    const f = await S.pixelsAt(page, 50);
    for (let i = 0; i < f.data.length; i += 4) assert.deepEqual(f.data.slice(i, i + 3), [255, 255, 0]);
    await page.close();
  });
});

test('a page opened from disk, whose images cannot be read back, still plays every effect', async () => {
  const helper = await browser.newPage();
  await helper.goto(server.base + 'effect0/index.html');
  const first = await S.imagePixels(helper, 'scene.gif', 160, 120, '#000000');
  fs.mkdirSync(path.join(S.SHOTS, 'from-disk'), { recursive: true });
  for (const e of Player.effects) {
    const page = await browser.newPage();
    try {
      // The pages of the first test, opened as files.
      await page.goto('file://' + path.join(folder, `effect${e.index}`, 'index.html'));
      await S.whenPlaying(page);
      const info = await page.evaluate(() => {
        const c = document.querySelector('canvas[data-glimmerax-player]');
        return { drawn: c.glimmerax.renderer.drawn, cycle: c.glimmerax.renderer.cycleLength, missing: c.glimmerax.missing };
      });
      assert.equal(info.drawn, true, e.name);
      assert.deepEqual(info.missing, [], e.name);
      await page.evaluate(() => document.querySelector('canvas[data-glimmerax-player]').glimmerax.show(0));
      const start = await S.screenPixels(page, helper);
      assert.ok(S.maxDifference(start, first) <= 2, `${e.name}: step 0 is the first image`);
      const middle = Math.floor(info.cycle * 0.3);
      await page.evaluate((k) => document.querySelector('canvas[data-glimmerax-player]').glimmerax.show(k), middle);
      const later = await S.screenPixels(page, helper);
      assert.ok(S.maxDifference(later, first) > 40, `${e.name}: step ${middle} changes the image`);
      const file = `${String(e.index).padStart(2, '0')}-${e.name.toLowerCase().replace(/ /g, '-')}.png`;
      fs.writeFileSync(path.join(S.SHOTS, 'from-disk', file), Buffer.from(later.png, 'base64'));
    } finally {
      await page.close();
    }
  }
  await helper.close();
});
