// The published page measured the way web developers measure it: the share
// of time the page's main thread is busy and its longest task while an
// effect plays at 1000 x 600 in headless Chromium, and Lighthouse (mobile)
// on the published Image Cross Fade page. Not a test: the figures depend on
// the machine and its load.
//   node bench/page_bench.js [--json] [--no-lighthouse] [--verbose]
// Lighthouse comes from this folder's own lock file (npm ci in bench/).
// Bars: main thread <= 5 %, longest task <= 50 ms, Lighthouse performance
// >= 0.9, accessibility >= 0.95, best practices >= 0.95, SEO >= 0.9.
'use strict';
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { execFile } = require('node:child_process');
const S = require('../tests/browser/support.js');

const EFFECTS = [['Image Cross Fade', 0, 40, 1], ['Whirlpool', 12, 20, 2], ['Noise', 17, 2, 30]];
const SPAN_MS = 5000;
const BARS = { busy: 0.05, longest: 50, performance: 0.9, accessibility: 0.95, 'best-practices': 0.95, seo: 0.9 };

// Two photograph-like JPEGs (soft gradients, shapes, grain) drawn by the
// browser itself.
async function photographs(browser, folder) {
  const page = await browser.newPage();
  const files = await page.evaluate(async () => {
    const out = [];
    for (const hue of [25, 200]) {
      const c = document.createElement('canvas');
      c.width = 1000;
      c.height = 600;
      const x = c.getContext('2d');
      const g = x.createLinearGradient(0, 0, 0, 600);
      g.addColorStop(0, `hsl(${hue + 180},60%,75%)`);
      g.addColorStop(0.55, `hsl(${hue},45%,55%)`);
      g.addColorStop(1, `hsl(${hue + 30},40%,25%)`);
      x.fillStyle = g;
      x.fillRect(0, 0, 1000, 600);
      let s = hue * 7919 + 1;
      const rnd = () => ((s = (s * 16807) % 2147483647) / 2147483647);
      x.filter = 'blur(6px)';
      for (let i = 0; i < 120; i++) {
        x.fillStyle = `hsla(${(hue + rnd() * 120) % 360},${30 + rnd() * 50}%,${20 + rnd() * 60}%,0.6)`;
        x.beginPath();
        x.ellipse(rnd() * 1000, 250 + rnd() * 350, 10 + rnd() * 90, 5 + rnd() * 60, rnd() * 3, 0, Math.PI * 2);
        x.fill();
      }
      x.filter = 'none';
      const d = x.getImageData(0, 0, 1000, 600);
      for (let i = 0; i < d.data.length; i += 4) {
        const n = (rnd() - 0.5) * 24;
        d.data[i] += n; d.data[i + 1] += n; d.data[i + 2] += n;
      }
      x.putImageData(d, 0, 0);
      const blob = await new Promise((r) => c.toBlob(r, 'image/jpeg', 0.85));
      const bytes = new Uint8Array(await blob.arrayBuffer());
      let text = '';
      for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
      out.push(btoa(text));
    }
    return out;
  });
  await page.close();
  files.forEach((b64, i) => fs.writeFileSync(path.join(folder, `photo${i + 1}.jpg`), Buffer.from(b64, 'base64')));
  return ['photo1.jpg', 'photo2.jpg'];
}

async function mainThread(browser, url) {
  const page = await browser.newPage();
  await page.setViewport({ width: 1280, height: 800 });
  // Every long task from the start of the page on.
  await page.evaluateOnNewDocument(() => {
    window.__longest = 0;
    window.__longTasks = 0;
    try {
      new PerformanceObserver((list) => {
        for (const e of list.getEntries()) {
          window.__longest = Math.max(window.__longest, e.duration);
          window.__longTasks++;
        }
      }).observe({ type: 'longtask', buffered: true });
    } catch (e) { /* no long-task timing */ }
  });
  const cdp = await page.createCDPSession();
  await cdp.send('Performance.enable');
  await page.goto(url, { waitUntil: 'load' });
  await page.waitForFunction(() => {
    const c = document.querySelector('canvas[data-glimmerax-player]');
    return c && c.getAttribute('data-glimmerax-state') === 'playing';
  }, { timeout: 60000 });
  await new Promise((r) => setTimeout(r, 1000));
  const metric = async () => {
    const { metrics } = await cdp.send('Performance.getMetrics');
    const m = Object.fromEntries(metrics.map((x) => [x.name, x.value]));
    return { task: m.TaskDuration, time: m.Timestamp };
  };
  const a = await metric();
  await new Promise((r) => setTimeout(r, SPAN_MS));
  const b = await metric();
  const long = await page.evaluate(() => ({ longest: window.__longest, count: window.__longTasks,
    worker: Boolean(GlimmeraxPlayer.players && GlimmeraxPlayer.players().some((p) => p.worker)) }));
  await page.close();
  return { busy: (b.task - a.task) / (b.time - a.time), ...long };
}

// Run apart from this process, whose event loop serves the page meanwhile.
async function lighthouse(url) {
  const bin = path.join(__dirname, 'node_modules', '.bin', 'lighthouse');
  if (!fs.existsSync(bin)) return { error: 'Lighthouse is not installed: npm ci in player/bench' };
  let out;
  try {
    out = await new Promise((resolve, reject) => execFile(bin, [url, '--chrome-flags=--headless=new --no-sandbox',
      '--output=json', '--form-factor=mobile', '--quiet'], {
      env: { ...process.env, CHROME_PATH: S.CHROMIUM }, maxBuffer: 256 * 1024 * 1024, timeout: 600000,
    }, (err, stdout) => (err ? reject(err) : resolve(stdout))));
  } catch (err) {
    return { error: `Lighthouse failed: ${err.message}` };
  }
  const report = JSON.parse(out.toString('utf8'));
  const scores = {};
  const failing = {};
  for (const [id, c] of Object.entries(report.categories)) {
    scores[id] = c.score;
    failing[id] = c.auditRefs.map((r) => report.audits[r.id])
      .filter((a) => a && a.score !== null && a.score < 0.9 && a.scoreDisplayMode !== 'informative'
        && a.scoreDisplayMode !== 'notApplicable' && a.scoreDisplayMode !== 'manual')
      .map((a) => `${a.id} (${a.displayValue || a.score})`);
  }
  // What the page's thread did, its long tasks and why the page cannot be
  // kept for back and forward (printed with --verbose).
  const items = (id) => ((report.audits[id] || {}).details || {}).items || [];
  const details = {
    work: items('mainthread-work-breakdown').map((i) => `${i.groupLabel || i.group}: ${Math.round(i.duration)} ms`),
    longTasks: items('long-tasks').map((i) => `${i.url}: ${Math.round(i.duration)} ms at ${Math.round(i.startTime)} ms`),
    bootup: items('bootup-time').map((i) => `${i.url}: ${Math.round(i.total)} ms`),
    bfCache: items('bf-cache').map((i) => i.reason),
  };
  return { scores, failing, details, tbt: report.audits['total-blocking-time'].numericValue };
}

async function main() {
  const json = process.argv.includes('--json');
  const withLighthouse = !process.argv.includes('--no-lighthouse');
  const folder = S.tempFolder('glx-page-bench-');
  const home = S.tempFolder('glx-home-');
  // A favicon, so that Lighthouse sees no failed request of the server's.
  fs.writeFileSync(path.join(folder, 'favicon.ico'), Buffer.from(
    'iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNkYPhfDwAChwGA60e6kgAAAABJRU5ErkJggg==', 'base64'));
  const server = await S.serve(folder);
  const browser = await S.launch();
  const result = { load: fs.readFileSync('/proc/loadavg', 'utf8').trim(), cores: os.cpus().length, effects: [] };
  try {
    const images = await photographs(browser, folder);
    for (const [name, effect, frames, speed] of EFFECTS) {
      const page = S.makePage(folder, `fx${effect}`, { effect, frames, speed, images,
        alternative: `A ${name.toLowerCase()} between two photographs` }, home);
      result.effects.push({ name, ...(await mainThread(browser, server.base + page)) });
    }
    await browser.close();
    if (withLighthouse) result.lighthouse = await lighthouse(server.base + 'fx0/index.html');
  } finally {
    await browser.close().catch(() => {});
    await server.close();
    for (const f of [folder, home]) fs.rmSync(f, { recursive: true, force: true });
  }
  result.loadAfter = fs.readFileSync('/proc/loadavg', 'utf8').trim();
  if (json) {
    console.log(JSON.stringify(result, null, 2));
    return;
  }
  console.log(`load average ${result.load} (after: ${result.loadAfter}), ${result.cores} cores`);
  console.log('effect at 1000 x 600      main thread  longest task  long tasks  worker');
  for (const e of result.effects) {
    console.log(`${e.name.padEnd(24)} ${(e.busy * 100).toFixed(1).padStart(9)} % ${e.longest.toFixed(0).padStart(9)} ms` +
      ` ${String(e.count).padStart(10)}  ${e.worker ? 'yes' : 'no'}`);
  }
  if (result.lighthouse) {
    const l = result.lighthouse;
    if (l.error) console.log(l.error);
    else {
      console.log(`Lighthouse (mobile), total blocking time ${l.tbt.toFixed(0)} ms`);
      for (const [id, score] of Object.entries(l.scores)) {
        console.log(`  ${id.padEnd(16)} ${score}${score < BARS[id] ? '  (below ' + BARS[id] + ')' : ''}` +
          (l.failing[id].length ? `  failing: ${l.failing[id].join(', ')}` : ''));
      }
    }
  }
  if (result.lighthouse && result.lighthouse.details && process.argv.includes('--verbose')) {
    for (const [k, v] of Object.entries(result.lighthouse.details)) console.log(`  ${k}: ${v.join('; ')}`);
  }
  console.log(`bars: main thread <= ${BARS.busy * 100} %, longest task <= ${BARS.longest} ms`);
}

if (require.main === module) {
  main().catch((err) => {
    console.error(err);
    process.exit(1);
  });
}
module.exports = { photographs, lighthouse };
