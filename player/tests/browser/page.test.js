// The player on pages the program made: replacing the applet, loading,
// missing images, links, two applets, reduced motion and pausing.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const S = require('./support.js');

let folder, home, server, browser;

test.before(async () => {
  folder = S.tempFolder('glx-page-');
  home = S.tempFolder('glx-home-');
  server = await S.serve(folder);
  browser = await S.launch();
  fs.mkdirSync(path.join(folder, 'pages'));
  fs.writeFileSync(path.join(folder, 'pages', 'a.html'), '<html><body>page a</body></html>');
});

test.after(async () => {
  if (browser) await browser.close();
  if (server) await server.close();
  for (const f of [folder, home]) if (f) fs.rmSync(f, { recursive: true, force: true });
});

const SCENE = { effect: 16, frames: 50, speed: 1, images: ['scene.gif'] };

function canvasInfo(page) {
  return page.evaluate(() => [...document.querySelectorAll('canvas[data-glimmerax-player]')].map((c) => {
    const r = c.getBoundingClientRect();
    return { width: c.width, height: c.height, css: [r.width, r.height], state: c.getAttribute('data-glimmerax-state'),
      cursor: getComputedStyle(c).cursor, tabIndex: c.tabIndex, missing: c.glimmerax ? c.glimmerax.missing : null,
      advanced: c.glimmerax ? c.glimmerax.advanced : null };
  }));
}

test('the applet is replaced by a canvas of its size, sharp on a high-density screen', async () => {
  const page = await browser.newPage();
  await page.setViewport({ width: 800, height: 600, deviceScaleFactor: 2 });
  const name = S.makePage(folder, 'size', { ...SCENE, alternative: '<b id="alt">no applets here</b>' }, home);
  assert.ok(fs.readFileSync(path.join(folder, name), 'latin1').includes('<b id="alt">'), 'the page holds it');
  await page.goto(server.base + name);
  await S.whenPlaying(page);
  const [info] = await canvasInfo(page);
  assert.deepEqual([info.width, info.height, ...info.css], [320, 240, 160, 120]);
  assert.equal(await page.evaluate(() => document.querySelectorAll('applet').length), 0);
  // The alternative HTML stays in the page, inside the canvas.
  assert.equal(await page.evaluate(() => document.getElementById('alt').closest('canvas') !== null), true);
  await page.close();
});

test('an applet of another class is left alone', async () => {
  const lines = S.htmlLines(folder, S.writeProject(folder, 'alone', SCENE), home);
  const other = ['<APPLET CODE="Other.class" WIDTH=10 HEIGHT=10>', '<PARAM NAME="X" VALUE="1">', '</APPLET>'];
  fs.writeFileSync(path.join(folder, 'alone.html'), S.testRunPage([...other, ...lines]), 'latin1');
  const page = await browser.newPage();
  await page.goto(server.base + 'alone.html');
  await S.whenPlaying(page);
  assert.deepEqual(await page.evaluate(() => [...document.querySelectorAll('applet')].map((a) => a.getAttribute('code'))),
    ['Other.class']);
  assert.equal((await canvasInfo(page)).length, 1);
  await page.close();
});

test('the loading message shows in its colours until the images arrive', async () => {
  const name = S.makePage(folder, 'loading', {
    ...SCENE, images: ['second.jpg'], loadBackground: '$00302010', loadColour: 'clYellow', loadMessage: 'Wait a moment please',
  }, home);
  server.hold('loading/second.jpg');
  const page = await browser.newPage();
  await page.goto(server.base + name, { waitUntil: 'domcontentloaded' });
  await page.waitForSelector('canvas[data-glimmerax-player]');
  const [info] = await canvasInfo(page);
  assert.equal(info.state, 'loading');
  const colours = await page.evaluate(async () => {
    const c = document.querySelector('canvas[data-glimmerax-player]');
    const d = (await c.glimmerax.pixels()).data;
    const seen = new Set();
    for (let i = 0; i < d.length; i += 4) seen.add(`${d[i]},${d[i + 1]},${d[i + 2]}`);
    return [...seen];
  });
  assert.ok(colours.includes('16,32,48'), 'the message background');
  assert.ok(colours.includes('255,255,0'), 'the message text');
  server.release('loading/second.jpg');
  await S.whenPlaying(page);
  const [after] = await canvasInfo(page);
  assert.equal(after.state, 'playing');
  await page.close();
});

test('an image that cannot be loaded is named inside the canvas; the others play', async () => {
  const cases = [[['scene.gif'], 16, 'still'], [['scene.gif', 'second.jpg'], 13, 'playing']];
  for (const [images, effect, state] of cases) {
    const name = S.makePage(folder, `missing${images.length}`, { effect, frames: 20, speed: 1, images }, home);
    // An image left out of the upload.
    const gone = images[images.length - 1];
    fs.rmSync(path.join(folder, path.dirname(name), gone));
    const page = await browser.newPage();
    await page.goto(server.base + name);
    await S.whenPlaying(page);
    const [info] = await canvasInfo(page);
    assert.deepEqual(info.missing, [gone]);
    assert.equal(info.state, state);
    const white = await page.evaluate(async () => {
      const d = (await document.querySelector('canvas[data-glimmerax-player]').glimmerax.pixels()).data;
      let n = 0;
      for (let i = 0; i < d.length; i += 4) if (d[i] > 200 && d[i + 1] > 200 && d[i + 2] > 200) n++;
      return n;
    });
    assert.ok(white > 20, 'the message text is drawn');
    await page.close();
  }
});

test('the link opens in its target frame', async (t) => {
  const target = server.base + 'pages/a.html';
  await t.test('empty frame: this page', async () => {
    const page = await browser.newPage();
    await page.goto(server.base + S.makePage(folder, 'self', { ...SCENE, link: '../pages/a.html' }, home));
    await S.whenPlaying(page);
    const [info] = await canvasInfo(page);
    assert.equal(info.cursor, 'pointer');
    await Promise.all([page.waitForNavigation(), page.click('canvas')]);
    assert.equal(page.url(), target);
    await page.close();
  });
  await t.test('reached with the Tab key and opened with Enter', async () => {
    const page = await browser.newPage();
    await page.goto(server.base + 'self/index.html');
    await S.whenPlaying(page);
    await page.keyboard.press('Tab');
    // The link around the canvas.
    assert.equal(await page.evaluate(() => document.activeElement.tagName + ' ' + document.activeElement.firstChild.tagName), 'A CANVAS');
    await Promise.all([page.waitForNavigation(), page.keyboard.press('Enter')]);
    assert.equal(page.url(), target);
    await page.close();
  });
  await t.test('_blank: a new window', async () => {
    const page = await browser.newPage();
    await page.goto(server.base + S.makePage(folder, 'blank', { ...SCENE, link: '../pages/a.html', frame: '_blank' }, home));
    await S.whenPlaying(page);
    const opened = browser.waitForTarget((x) => x.url() === target, { timeout: 10000 });
    await page.click('canvas');
    await opened;
    assert.equal(page.url(), server.base + 'blank/index.html');
    await page.close();
  });
  await t.test('a named frame, and _top from inside a frame', async () => {
    S.makePage(folder, 'named', { ...SCENE, link: '../pages/a.html', frame: 'other' }, home);
    S.makePage(folder, 'top', { ...SCENE, link: '../pages/a.html', frame: '_top' }, home);
    fs.writeFileSync(path.join(folder, 'frames.html'),
      '<html><body><iframe name="app" src="named/index.html" width="300" height="200"></iframe>' +
      '<iframe name="other" src="about:blank"></iframe>' +
      '<iframe name="inner" src="top/index.html" width="300" height="200"></iframe></body></html>');
    const page = await browser.newPage();
    await page.goto(server.base + 'frames.html');
    const app = page.frames().find((f) => f.name() === 'app');
    await S.whenPlaying(app);
    const other = page.frames().find((f) => f.name() === 'other');
    await Promise.all([other.waitForNavigation(), app.click('canvas')]);
    assert.equal(other.url(), target);
    assert.equal(page.url(), server.base + 'frames.html');
    const inner = page.frames().find((f) => f.name() === 'inner');
    await S.whenPlaying(inner);
    await Promise.all([page.waitForNavigation(), inner.click('canvas')]);
    assert.equal(page.url(), target);
    await page.close();
  });
});

test('a javascript: or data: link is never followed', async () => {
  for (const link of ['javascript:document.title=\'followed\'', 'data:text/html,<b>x</b>']) {
    const page = await browser.newPage();
    let dialogs = 0;
    page.on('dialog', (d) => { dialogs++; d.dismiss(); });
    const pages = () => browser.targets().filter((x) => x.type() === 'page').length;
    const before = pages();
    const name = S.makePage(folder, 'unsafe', { ...SCENE, link, frame: '_self' }, home);
    await page.goto(server.base + name);
    await S.whenPlaying(page);
    const title = await page.title();
    const [info] = await canvasInfo(page);
    assert.notEqual(info.cursor, 'pointer', link);
    assert.equal(info.tabIndex, -1, link);
    await page.click('canvas');
    await new Promise((r) => setTimeout(r, 300));
    assert.equal(page.url(), server.base + name, link);
    assert.equal(await page.title(), title, link);
    assert.equal(pages(), before, link);
    assert.equal(dialogs, 0);
    await page.close();
  }
});

test('two applets on one page, each with the script line, each play once', async () => {
  const one = S.htmlLines(folder, S.writeProject(folder, 'two-a', SCENE), home);
  const two = S.htmlLines(folder, S.writeProject(folder, 'two-b', { effect: 1, frames: 40, speed: 2, images: ['second.jpg'] }), home);
  fs.writeFileSync(path.join(folder, 'two.html'), S.testRunPage([...one, ...two]), 'latin1');
  const page = await browser.newPage();
  await page.goto(server.base + 'two.html');
  await S.whenPlaying(page, 2);
  const info = await canvasInfo(page);
  assert.equal(info.length, 2);
  assert.deepEqual(info.map((i) => [i.width, i.height, i.state]), [[160, 120, 'playing'], [160, 120, 'playing']]);
  assert.equal(await page.evaluate(() => GlimmeraxPlayer.players().length), 2);
  // One clock each: about 30 steps a second at 33 ms a step, not twice that.
  const steps = () => page.evaluate(() => GlimmeraxPlayer.players().map((p) => p.advanced));
  const a = await steps();
  await new Promise((r) => setTimeout(r, 1000));
  const b = await steps();
  for (let i = 0; i < 2; i++) {
    const n = b[i] - a[i];
    assert.ok(n > 5 && n <= 45, `applet ${i}: ${n} steps in a second`);
  }
  await page.close();
});

test('with reduced motion the first image stands still', async () => {
  const page = await browser.newPage();
  await page.emulateMediaFeatures([{ name: 'prefers-reduced-motion', value: 'reduce' }]);
  await page.goto(server.base + S.makePage(folder, 'reduced', { effect: 18, frames: 150, speed: 1, images: ['scene.gif'] }, home));
  await S.whenPlaying(page);
  const first = await S.imagePixels(page, 'scene.gif', 160, 120, '#000000');
  const read = () => S.pixelsAt(page, null);
  await new Promise((r) => setTimeout(r, 400));
  assert.equal((await canvasInfo(page))[0].state, 'still');
  assert.equal(S.maxDifference(await read(), first), 0);
  await page.close();
});

test('the steps advance with the clock and pause off screen', async () => {
  S.writeProject(folder, 'far', SCENE);
  const lines = S.htmlLines(folder, path.join(folder, 'far.glx'), home);
  fs.writeFileSync(path.join(folder, 'far.html'),
    S.testRunPage(lines).replace('<P ALIGN="CENTER">', '<P ALIGN="CENTER"><DIV ID="gap" STYLE="height:0"></DIV>'), 'latin1');
  const page = await browser.newPage();
  await page.setViewport({ width: 400, height: 300 });
  await page.goto(server.base + 'far.html');
  await S.whenPlaying(page);
  const step = async () => (await canvasInfo(page))[0].advanced;
  const s0 = await step();
  await new Promise((r) => setTimeout(r, 700));
  const s1 = await step();
  assert.ok(s1 - s0 >= 3, `advanced ${s1 - s0} steps in 0.7 s`);
  assert.ok(s1 - s0 <= 30, `advanced ${s1 - s0} steps in 0.7 s`);
  await page.evaluate(() => { document.getElementById('gap').style.height = '5000px'; });
  await page.waitForFunction(() => !document.querySelector('canvas[data-glimmerax-player]').glimmerax.onScreen);
  const s2 = await step();
  await new Promise((r) => setTimeout(r, 700));
  assert.equal(await step(), s2, 'no steps while off screen');
  await page.evaluate(() => { document.getElementById('gap').style.height = '0'; });
  await new Promise((r) => setTimeout(r, 700));
  assert.ok((await step()) > s2, 'goes on when back on screen');
  await page.close();
});

test('an applet with broken values falls back to the defaults and the next one plays', async () => {
  const broken = ['<APPLET CODE="WARP.CLASS" WIDTH=abc HEIGHT=-5>', '<PARAM NAME="general" VALUE="x|y">',
    '<PARAM NAME="Images" VALUE="||||">', '<PARAM NAME="LINK" VALUE="|">', '<PARAM NAME="LOAD MESSAGE" VALUE="zz">',
    '</APPLET>'];
  const lines = S.htmlLines(folder, S.writeProject(folder, 'after-broken', SCENE), home);
  fs.writeFileSync(path.join(folder, 'broken.html'), S.testRunPage([...broken, ...lines]), 'latin1');
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(server.base + 'broken.html');
  await S.whenPlaying(page, 2);
  const info = await canvasInfo(page);
  assert.deepEqual(info.map((i) => [i.width, i.height, i.state]), [[150, 150, 'still'], [160, 120, 'playing']]);
  assert.deepEqual(errors, []);
  await page.close();
});
