// The player as a good citizen of a web page, on pages the program
// published: a phone's screen, what assistive technology sees, pausing,
// axe-core's checks, the worker and its fallback from disk, images that
// never arrive, many applets, and stopping a player.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const S = require('./support.js');

let folder, home, server, browser;

test.before(async () => {
  folder = S.tempFolder('glx-web-');
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

const WIDE = { effect: 12, frames: 20, speed: 2, images: ['scene.gif', 'second.jpg'] };

// The published page with the applet's size changed (the program writes the
// first image's size).
function widePage(name, project, width, height, extraHead = '') {
  const page = S.makePage(folder, name, project, home);
  const file = path.join(folder, page);
  const html = fs.readFileSync(file, 'latin1')
    .replace(/WIDTH=\d+ HEIGHT=\d+/, `WIDTH=${width} HEIGHT=${height}`)
    .replace(/<body/i, `${extraHead}$&`);
  fs.writeFileSync(file, html, 'latin1');
  return page;
}

// A phone lays out a page without this line 980 px wide.
const VIEWPORT = '<meta name="viewport" content="width=device-width, initial-scale=1">';

function canvasBox(page) {
  return page.evaluate(() => {
    const c = document.querySelector('canvas[data-glimmerax-player]');
    const r = c.getBoundingClientRect();
    return { css: [r.width, r.height], store: [c.width, c.height],
      scroll: document.documentElement.scrollWidth, view: document.documentElement.clientWidth };
  });
}

// The canvas's pixels twice, `ms` apart (the animation left running).
async function changesOver(page, ms) {
  const a = await S.pixelsAt(page, null);
  await new Promise((r) => setTimeout(r, ms));
  const b = await S.pixelsAt(page, null);
  return S.maxDifference(a, b);
}

test('on a phone a wide applet fits the screen in its own shape; the backing store follows the size shown', async () => {
  const cases = [
    ['no page style', VIEWPORT],
    // A page's own rule for canvases keeps the shape too.
    ['canvas{max-width:100%;height:auto}', VIEWPORT + '<style>canvas{max-width:100%;height:auto}</style>'],
  ];
  for (const [label, head] of cases) {
    const name = widePage(`phone${cases.findIndex((c) => c[0] === label)}`, WIDE, 1000, 600, head);
    const page = await browser.newPage();
    await page.setViewport({ width: 390, height: 844, deviceScaleFactor: 2, isMobile: true, hasTouch: true });
    await page.goto(server.base + name);
    await S.whenPlaying(page);
    const box = await canvasBox(page);
    assert.ok(box.scroll <= box.view, `${label}: no sideways scrolling (${box.scroll} > ${box.view})`);
    assert.ok(box.css[0] <= 390 && box.css[0] > 300, `${label}: ${box.css}`);
    assert.ok(Math.abs(box.css[1] - (box.css[0] * 600) / 1000) <= 1, `${label}: the shape kept: ${box.css}`);
    // Twice the width shown, at the screen's density.
    await page.waitForFunction((w) => {
      const c = document.querySelector('canvas[data-glimmerax-player]');
      return c.glimmerax.renderer && Math.abs(c.glimmerax.renderer.width - w) <= 2;
    }, { timeout: 10000 }, Math.round(box.css[0] * 2));
    const shown = await S.pixelsAt(page, 3);
    assert.ok(Math.abs(shown.width - box.css[0] * 2) <= 2 && Math.abs(shown.height - box.css[1] * 2) <= 2,
      `${label}: drawn at ${shown.width} x ${shown.height}`);
    await page.close();
  }
});

test('the applet grows back to its own size when its container does', async () => {
  const name = widePage('grow', WIDE, 600, 300);
  const page = await browser.newPage();
  await page.setViewport({ width: 300, height: 600 });
  await page.goto(server.base + name);
  await S.whenPlaying(page);
  const narrow = await canvasBox(page);
  // Never wider than the screen, and narrower than its own 600 px.
  assert.ok(narrow.css[0] <= 300 && narrow.css[1] === narrow.css[0] / 2, `${narrow.css}`);
  await page.setViewport({ width: 900, height: 600 });
  await page.waitForFunction(() => {
    const c = document.querySelector('canvas[data-glimmerax-player]');
    return c.getBoundingClientRect().width === 600 && c.glimmerax.renderer.width === 600;
  }, { timeout: 10000 });
  const wide = await canvasBox(page);
  assert.deepEqual(wide.css, [600, 300]);
  await page.close();
});

function findAll(node, role, out = []) {
  if (!node) return out;
  if (node.role === role) out.push(node);
  for (const c of node.children || []) findAll(c, role, out);
  return out;
}

test('assistive technology sees an image named by the alternative HTML, inside its link, and a pause button', async (t) => {
  await t.test('the name from the alternative HTML; its links stay reachable', async () => {
    const page = await browser.newPage();
    const name = S.makePage(folder, 'named', { ...WIDE, link: '../pages/a.html',
      alternative: 'Two <b>photographs</b> of the harbour, <a href="../pages/a.html" id="more">more</a>' }, home);
    await page.goto(server.base + name);
    await S.whenPlaying(page);
    const tree = await page.accessibility.snapshot({ interestingOnly: true });
    const images = findAll(tree, 'image');
    assert.deepEqual(images.map((i) => i.name), ['Two photographs of the harbour, more']);
    const links = findAll(tree, 'link');
    assert.ok(links.some((l) => l.name === 'Two photographs of the harbour, more'), 'the link around the image');
    assert.ok(links.some((l) => l.name === 'more'), 'the alternative HTML\'s own link');
    assert.deepEqual(findAll(tree, 'button').map((b) => b.name), ['Pause animation']);
    // The keyboard reaches the link, the pause button and the link in the
    // alternative HTML, in that order.
    const order = [];
    for (let i = 0; i < 3; i++) {
      await page.keyboard.press('Tab');
      order.push(await page.evaluate(() => {
        const a = document.activeElement;
        return a.tagName + (a.id ? '#' + a.id : '') + (a.getAttribute('aria-label') ? ':' + a.getAttribute('aria-label') : '');
      }));
    }
    assert.deepEqual(order, ['A', 'BUTTON:Pause animation', 'A#more']);
    await page.close();
  });
  await t.test('no alternative text: the effect and the images, never an address', async () => {
    const page = await browser.newPage();
    await page.goto(server.base + S.makePage(folder, 'unnamed', { ...WIDE, link: 'http://127.0.0.1:9/far/away.html' }, home));
    await S.whenPlaying(page);
    const tree = await page.accessibility.snapshot({ interestingOnly: true });
    assert.deepEqual(findAll(tree, 'image').map((i) => i.name), ['Whirlpool: scene.gif, second.jpg']);
    await page.close();
  });
});

test('the pause button and Space stop the canvas; Enter still follows the link', async () => {
  const page = await browser.newPage();
  const name = S.makePage(folder, 'pause', { ...WIDE, link: '../pages/a.html', alternative: 'A whirlpool' }, home);
  await page.goto(server.base + name);
  await S.whenPlaying(page);
  assert.ok(await changesOver(page, 400) > 0, 'it plays');
  const button = await page.$('::-p-aria([name="Pause animation"][role="button"])');
  assert.ok(button, 'the pause button');
  // Shown on hover.
  await page.hover('canvas');
  assert.equal(await page.evaluate(() => getComputedStyle(document.querySelector('.glimmerax-pause')).opacity), '1');
  await button.click();
  assert.equal(await page.evaluate(() => document.querySelector('canvas').glimmerax.state), 'paused');
  assert.ok(await page.$('::-p-aria([name="Play animation"][role="button"])'), 'renamed');
  assert.equal(await changesOver(page, 500), 0, 'paused: the canvas stands still');
  // Space on the focused link (around the canvas) plays and pauses.
  await page.focus('a');
  await page.keyboard.press('Space');
  assert.equal(await page.evaluate(() => document.querySelector('canvas').glimmerax.state), 'playing');
  assert.ok(await changesOver(page, 400) > 0, 'plays again');
  await page.keyboard.press('Space');
  assert.equal(await page.evaluate(() => document.querySelector('canvas').glimmerax.state), 'paused');
  assert.equal(await page.evaluate(() => window.scrollY), 0, 'Space did not scroll the page');
  await Promise.all([page.waitForNavigation(), page.keyboard.press('Enter')]);
  assert.equal(page.url(), server.base + 'pages/a.html');
  await page.close();
});

test('axe-core finds no serious or critical fault in the player\'s part of published pages, nor on an HTML5 page', async () => {
  const axe = fs.readFileSync(require.resolve('axe-core/axe.min.js'), 'utf8');
  const projects = [
    ['axe-plain', { ...WIDE, alternative: 'Two photographs' }],
    ['axe-link', { ...WIDE, link: '../pages/a.html', frame: '_blank', alternative: 'See <a href="../pages/a.html">the harbour</a>' }],
    ['axe-empty', { ...WIDE, link: '../pages/a.html' }],
  ];
  const pages = [];
  for (const [name, project] of projects) {
    // The published page (its head is the program's part: the player's
    // elements are checked), and the same HTML lines on a page of today.
    pages.push([S.makePage(folder, name, project, home), { include: ['.glimmerax'] }]);
    const lines = S.htmlLines(folder, path.join(folder, name + '.glx'), home);
    fs.writeFileSync(path.join(folder, name + '.html'), '<!DOCTYPE html><html lang="en"><head><meta charset="utf-8">' +
      VIEWPORT + `<title>${name}</title></head><body><main><h1>${name}</h1><p>` + lines.join('\n') + '</p></main></body></html>', 'latin1');
    pages.push([name + '.html', null]);
  }
  for (const [name, context] of pages) {
    const page = await browser.newPage();
    await page.goto(server.base + name);
    await S.whenPlaying(page);
    await page.evaluate(axe);
    const found = await page.evaluate(async (c) => {
      const r = await window.axe.run(c || document);
      return { checked: r.passes.length, violations: r.violations.filter((v) => v.impact === 'serious' || v.impact === 'critical')
        .map((v) => `${v.id}: ${v.nodes.map((n) => n.html).join(' | ')}`) };
    }, context);
    assert.deepEqual(found.violations, [], name);
    assert.ok(found.checked > 3, `${name}: axe checked ${found.checked} rules`);
    await page.close();
  }
});

test('over http the worker draws; from disk the page draws', async () => {
  const name = S.makePage(folder, 'where', WIDE, home);
  const page = await browser.newPage();
  await page.goto(server.base + name);
  await S.whenPlaying(page);
  const http = await page.evaluate(() => {
    const c = document.querySelector('canvas[data-glimmerax-player]');
    let readable = true;
    try {
      c.getContext('2d');
    } catch (e) {
      readable = false;
    }
    return { worker: c.glimmerax.worker, readable };
  });
  assert.deepEqual(http, { worker: true, readable: false }, 'the canvas was handed to the worker');
  // A canvas drawn by a worker is no content to the browser: the load
  // message over it gives the page its first contentful paint.
  assert.ok(await page.evaluate(() => performance.getEntriesByType('paint').some((e) => e.name === 'first-contentful-paint')),
    'a first contentful paint');
  const workers = page.workers().map((w) => w.url());
  assert.deepEqual(workers, [server.base + 'where/glimmerax-player.js']);
  const first = await S.imagePixels(page, 'scene.gif', 160, 120, '#000000');
  assert.equal(S.maxDifference(await S.pixelsAt(page, 0), first), 0, 'the worker draws step 0 as the image');
  const s0 = await page.evaluate(() => document.querySelector('canvas').glimmerax.advanced);
  await page.evaluate(() => document.querySelector('canvas').glimmerax.resume());
  await new Promise((r) => setTimeout(r, 600));
  assert.ok(await page.evaluate(() => document.querySelector('canvas').glimmerax.advanced) > s0, 'steps go on');
  await page.close();

  const disk = await browser.newPage();
  await disk.goto('file://' + path.join(folder, name));
  await S.whenPlaying(disk);
  const there = await disk.evaluate(() => {
    const c = document.querySelector('canvas[data-glimmerax-player]');
    return { worker: c.glimmerax.worker, state: c.glimmerax.state, drawn: c.glimmerax.renderer.drawn };
  });
  assert.deepEqual(there, { worker: false, state: 'playing', drawn: true });
  assert.deepEqual(disk.workers(), []);
  const a = await disk.evaluate(() => document.querySelector('canvas').glimmerax.advanced);
  await new Promise((r) => setTimeout(r, 600));
  assert.ok(await disk.evaluate(() => document.querySelector('canvas').glimmerax.advanced) > a, 'steps go on');
  await disk.close();
});

test('an image that never arrives counts as failed after the time allowed; the others play', async () => {
  const name = S.makePage(folder, 'never', WIDE, home);
  server.hold('never/second.jpg');
  const page = await browser.newPage();
  await page.evaluateOnNewDocument(() => { window.GlimmeraxPlayerOptions = { imageTimeoutMs: 1500 }; });
  await page.goto(server.base + name, { waitUntil: 'domcontentloaded' });
  await page.waitForSelector('canvas[data-glimmerax-state="loading"]');
  await S.whenPlaying(page);
  const info = await page.evaluate(() => {
    const p = document.querySelector('canvas').glimmerax;
    return { missing: p.missing, state: p.state };
  });
  assert.deepEqual(info, { missing: ['second.jpg'], state: 'playing' });
  const shown = await S.pixelsAt(page, null);
  let white = 0;
  for (let i = 0; i < shown.data.length; i += 4) if (shown.data[i] > 200 && shown.data[i + 1] > 200 && shown.data[i + 2] > 200) white++;
  assert.ok(white > 20, 'the canvas names the image');
  server.release('never/second.jpg');
  await page.close();
});

test('destroy(), or taking the canvas out of the page, stops the player and lets go of its worker', async () => {
  const one = S.htmlLines(folder, S.writeProject(folder, 'gone-a', WIDE), home);
  const two = S.htmlLines(folder, S.writeProject(folder, 'gone-b', { ...WIDE, effect: 17, frames: 2, speed: 30 }), home);
  fs.writeFileSync(path.join(folder, 'gone.html'), S.testRunPage([...one, ...two]), 'latin1');
  const page = await browser.newPage();
  await page.goto(server.base + 'gone.html');
  await S.whenPlaying(page, 2);
  assert.equal(await page.evaluate(() => GlimmeraxPlayer.players().length), 2);
  assert.equal(page.workers().length, 1, 'one worker for the page');
  const first = await page.evaluate(() => {
    const p = GlimmeraxPlayer.players()[0];
    p.destroy();
    return { state: p.state, renderer: p.renderer, left: GlimmeraxPlayer.players().length };
  });
  assert.deepEqual(first, { state: 'stopped', renderer: null, left: 1 });
  const a = await page.evaluate(() => document.querySelectorAll('canvas')[0].glimmerax.advanced);
  await new Promise((r) => setTimeout(r, 400));
  assert.equal(await page.evaluate(() => document.querySelectorAll('canvas')[0].glimmerax.advanced), a, 'no more steps');
  // The other goes when its canvas leaves the page.
  await page.evaluate(() => document.querySelectorAll('canvas')[1].closest('.glimmerax').remove());
  await page.waitForFunction(() => GlimmeraxPlayer.players().length === 0, { timeout: 5000 });
  for (let i = 0; i < 50 && page.workers().length; i++) await new Promise((r) => setTimeout(r, 100));
  assert.equal(page.workers().length, 0, 'the worker is gone with the last player');
  await page.close();
});

test('a page of 500 applets prepares only the applets near the viewport', async () => {
  const lines = S.htmlLines(folder, S.writeProject(folder, 'many', { effect: 16, frames: 50, speed: 1, images: ['scene.gif'] }), home);
  const applet = lines.filter((l) => l !== S.SCRIPT_LINE);
  fs.writeFileSync(path.join(folder, 'many.html'), '<!DOCTYPE html><html lang="en"><head><meta charset="utf-8"><title>many</title></head><body>' +
    Array.from({ length: 500 }, () => applet.join('\n')).join('\n') + S.SCRIPT_LINE + '</body></html>');
  const page = await browser.newPage();
  await page.setViewport({ width: 800, height: 600 });
  await page.goto(server.base + 'many.html');
  await page.waitForFunction(() => document.querySelectorAll('canvas[data-glimmerax-player]').length === 500, { timeout: 60000 });
  await page.waitForFunction(() => document.querySelector('canvas').glimmerax.renderer, { timeout: 30000 });
  await new Promise((r) => setTimeout(r, 1000));
  const counts = await page.evaluate(() => {
    const ps = GlimmeraxPlayer.players();
    return { players: ps.length, prepared: ps.filter((p) => p.renderer).length };
  });
  assert.equal(counts.players, 500);
  assert.ok(counts.prepared > 0 && counts.prepared < 200, `${counts.prepared} prepared`);
  // The last one is prepared when scrolled to.
  await page.evaluate(() => document.querySelectorAll('canvas')[499].scrollIntoView());
  await page.waitForFunction(() => document.querySelectorAll('canvas')[499].glimmerax.renderer, { timeout: 30000 });
  await page.close();
});
