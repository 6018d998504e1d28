// What the browser tests share: project files written in a temporary
// folder, pages made from them by the program itself, a loopback HTTP
// server for that folder and a headless Chromium.
'use strict';
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const http = require('node:http');
const { execFileSync } = require('node:child_process');

const PROGRAM = process.env.GLX_PROGRAM || path.resolve(__dirname, '../../../build/bin/glimmerax');
const CHROMIUM = process.env.GLX_CHROMIUM || '/usr/bin/chromium';
const FIXTURES = path.resolve(__dirname, '../fixtures');
const PLAYER = path.join(path.dirname(PROGRAM), 'glimmerax-player.js');
const SHOTS = process.env.GLX_SHOTS_DIR || path.resolve(path.dirname(PROGRAM), '../player-shots');
const SCRIPT_LINE = '<SCRIPT SRC="glimmerax-player.js"></SCRIPT>';

function tempFolder(prefix) {
  return fs.mkdtempSync(path.join(os.tmpdir(), prefix));
}

// A home of its own for the program: never the real settings.
function programEnvironment(home) {
  const env = { ...process.env, HOME: home, XDG_CONFIG_HOME: path.join(home, '.config'),
    XDG_DATA_HOME: path.join(home, '.local/share') };
  delete env.DISPLAY;
  delete env.WAYLAND_DISPLAY;
  delete env.QT_QPA_PLATFORM;
  return env;
}

// A project file of the program's own format; images are fixture names,
// given with their bare names as paths (relative to the folder).
function writeProject(folder, name, p) {
  const lines = [
    'Glimmerax File', 'If you alter the values below this file may not open properly.', '1',
    String(p.effect), String(p.frames), String(p.speed), p.link || '', p.frame || '',
    p.background || 'clBlack', String(p.images.length), p.loadBackground || 'clBlack',
    p.loadColour || 'clWhite', p.loadMessage === undefined ? 'Loading...' : p.loadMessage, p.alternative || '',
  ];
  for (const image of p.images) {
    lines.push(image, image);
    const source = path.join(FIXTURES, image);
    if (fs.existsSync(source)) fs.copyFileSync(source, path.join(folder, image));
  }
  const file = path.join(folder, name + '.glx');
  fs.writeFileSync(file, lines.map((l) => l + '\r\n').join(''), 'latin1');
  return file;
}

// The HTML box's lines for a project, as the program prints them, with the
// player's line after them.
function htmlLines(folder, projectFile, home) {
  const out = execFileSync(PROGRAM, ['--print-html', path.basename(projectFile)], {
    cwd: folder, env: programEnvironment(home), encoding: 'latin1', timeout: 60000,
    stdio: ['ignore', 'pipe', 'pipe'],
  });
  const lines = out.split('\r\n').filter((l) => l !== '');
  if (!lines.includes(SCRIPT_LINE)) throw new Error('the HTML has no player line:\n' + out);
  // Pages made of these lines find the player beside them.
  fs.copyFileSync(PLAYER, path.join(folder, 'glimmerax-player.js'));
  return lines;
}

// The test-run page around HTML lines.
function testRunPage(lines) {
  return ['<HTML>', '  <BODY BGCOLOR="#000000">', '    <P ALIGN="CENTER">',
    ...lines.map((l) => '      ' + l), '    </P>', '  </BODY>', '</HTML>'].map((l) => l + '\r\n').join('');
}

// Publishes a project, written into `folder`, as the program does into the
// folder's subfolder <name> (the page, the images, the class file and the
// player), and returns the page's address relative to `folder`.
function makePage(folder, name, project, home) {
  const file = writeProject(folder, name, project);
  execFileSync(PROGRAM, ['--publish', path.basename(file), name, '--force'], {
    cwd: folder, env: programEnvironment(home), encoding: 'latin1', timeout: 60000,
    stdio: ['ignore', 'pipe', 'pipe'],
  });
  return `${name}/index.html`;
}

const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.gif': 'image/gif', '.jpg': 'image/jpeg' };

// Serves a folder on 127.0.0.1, with extra reply headers. A request for a
// name in `held` waits until release(name).
async function serve(folder, headers = {}) {
  const held = new Map();
  const server = http.createServer((req, res) => {
    const name = decodeURIComponent(new URL(req.url, 'http://x').pathname).replace(/^\/+/, '');
    const file = path.join(folder, name);
    const answer = () => {
      if (!file.startsWith(folder) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
        res.writeHead(404, { 'Content-Type': 'text/plain' });
        return res.end('not found');
      }
      res.writeHead(200, { 'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream',
        'Cache-Control': 'no-store', ...headers });
      res.end(fs.readFileSync(file));
    };
    if (held.has(name)) held.get(name).push(answer);
    else answer();
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const base = `http://127.0.0.1:${server.address().port}/`;
  return {
    base,
    hold(name) { held.set(name, []); },
    release(name) {
      const waiting = held.get(name) || [];
      held.delete(name);
      waiting.forEach((answer) => answer());
    },
    close() {
      for (const name of [...held.keys()]) this.release(name);
      return new Promise((resolve) => server.close(resolve));
    },
  };
}

async function launch() {
  const puppeteer = require('puppeteer-core');
  const profile = tempFolder('glx-chromium-');
  const browser = await puppeteer.launch({
    executablePath: CHROMIUM,
    headless: true,
    // A busy machine (two cores shared by many builds) answers slowly.
    protocolTimeout: 600000,
    userDataDir: profile,
    args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync'],
  });
  const close = browser.close.bind(browser);
  browser.close = async () => {
    await close();
    fs.rmSync(profile, { recursive: true, force: true });
  };
  return browser;
}

// Waits until every player canvas on the page has left its loading state.
async function whenPlaying(page, count = 1) {
  await page.waitForFunction((n) => {
    const c = [...document.querySelectorAll('canvas[data-glimmerax-player]')];
    return c.length >= n && c.every((x) => x.glimmerax && x.glimmerax.renderer);
  }, { timeout: 15000 }, count);
}

// The canvas's pixels after showing `step` (the animation paused), read
// where it is drawn (the page or the player's worker).
async function pixelsAt(page, step, index = 0) {
  return page.evaluate(async (k, i) => {
    const c = document.querySelectorAll('canvas[data-glimmerax-player]')[i];
    if (k !== null) c.glimmerax.show(k);
    const d = await c.glimmerax.pixels();
    return { width: d.width, height: d.height, data: Array.from(d.data) };
  }, step, index);
}

// The canvas's pixels now as a PNG data address.
async function pngOf(page, index = 0) {
  return page.evaluate(async (i) => {
    const d = await document.querySelectorAll('canvas[data-glimmerax-player]')[i].glimmerax.pixels();
    const c = document.createElement('canvas');
    c.width = d.width;
    c.height = d.height;
    c.getContext('2d').putImageData(new ImageData(new Uint8ClampedArray(d.data), d.width, d.height), 0, 0);
    return c.toDataURL('image/png');
  }, index);
}

// The image's own pixels at the applet's size over a background colour, as
// the page decodes it.
async function imagePixels(page, name, width, height, background) {
  return page.evaluate(async (n, w, h, bg) => {
    const img = new Image();
    img.src = n;
    await img.decode();
    const c = document.createElement('canvas');
    c.width = w;
    c.height = h;
    const x = c.getContext('2d');
    x.fillStyle = bg;
    x.fillRect(0, 0, w, h);
    x.drawImage(img, 0, 0, w, h);
    return { width: w, height: h, data: Array.from(x.getImageData(0, 0, w, h).data) };
  }, name, width, height, background);
}

// The canvas as the screen shows it (for pages whose canvas may not be read
// back), decoded on a page of the loopback server.
async function screenPixels(page, helper, index = 0) {
  const canvases = await page.$$('canvas[data-glimmerax-player]');
  const png = (await canvases[index].screenshot({ type: 'png', encoding: 'base64' }));
  return helper.evaluate(async (data) => {
    const img = new Image();
    img.src = 'data:image/png;base64,' + data;
    await img.decode();
    const c = document.createElement('canvas');
    c.width = img.naturalWidth;
    c.height = img.naturalHeight;
    const x = c.getContext('2d');
    x.drawImage(img, 0, 0);
    return { width: c.width, height: c.height, data: Array.from(x.getImageData(0, 0, c.width, c.height).data), png: data };
  }, png);
}

function at(img, x, y) {
  const i = (y * img.width + x) * 4;
  return img.data.slice(i, i + 4);
}

function maxDifference(a, b) {
  let m = 0;
  for (let i = 0; i < a.data.length; i++) m = Math.max(m, Math.abs(a.data[i] - b.data[i]));
  return m;
}

module.exports = {
  PROGRAM, CHROMIUM, FIXTURES, PLAYER, SHOTS, SCRIPT_LINE, tempFolder, writeProject, htmlLines,
  testRunPage, makePage, serve, launch, whenPlaying, pixelsAt, pngOf, imagePixels, screenPixels, at, maxDifference,
};
