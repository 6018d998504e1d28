// The twenty effects as pure functions of the images, the parameters and
// the step number.
import test from 'node:test';
import assert from 'node:assert/strict';
import { api as Player } from '../../src/api.js';
import { image, flat, pattern, frame, at, maxDifference } from './pixels.js';

const W = 48, H = 36;

function general(row, overrides = {}) {
  const v = { count: 2, bg: '000000', constant: row.constant, frames: row.frames,
    variant: row.variant === null ? 0 : row.variant, speed: row.speed, ...overrides };
  return `${v.count}|7|${v.bg}|${v.constant}|${v.frames}|${v.variant}|${v.speed}|`;
}

function renderer(row, images, overrides = {}, size = [W, H]) {
  return Player.createRenderer({
    code: row.code, width: size[0], height: size[1],
    params: { GENERAL: general(row, overrides), IMAGES: images.map((_, i) => `i${i}.gif|`).join('') },
    images,
  });
}

function row(name) {
  return Player.effects.find((e) => e.name === name);
}

// Values of every pixel, as a set of packed RGB words.
function colours(img) {
  const set = new Set();
  for (let i = 0; i < img.data.length; i += 4) set.add((img.data[i] << 16) | (img.data[i + 1] << 8) | img.data[i + 2]);
  return set;
}

test('every effect shows the first image at step 0, changes it later and repeats after a cycle', () => {
  const first = pattern(W, H, 1), second = pattern(W, H, 77);
  for (const e of Player.effects) {
    const r = renderer(e, [first, second]);
    assert.equal(r.stepMs, e.constant, e.name);
    assert.ok(r.cycleLength > 1, e.name);
    assert.equal(maxDifference(frame(r, 0), first), 0, `${e.name}: step 0`);
    const middle = Math.floor(r.cycleLength * 0.3);
    const m = frame(r, middle);
    assert.ok(maxDifference(m, first) > 0, `${e.name}: step ${middle} changes the image`);
    assert.deepEqual(frame(r, middle + r.cycleLength).data, m.data, `${e.name}: one cycle later`);
    assert.deepEqual(frame(r, middle - 3 * r.cycleLength).data, m.data, `${e.name}: negative steps`);
    assert.deepEqual(frame(r, middle).data, m.data, `${e.name}: drawn again`);
    for (let i = 3; i < m.data.length; i += 4) assert.equal(m.data[i], 255, `${e.name}: opaque`);
  }
});

test('an effect whose own count is 0 shows its first image still', () => {
  const first = pattern(W, H, 3), second = pattern(W, H, 50);
  for (const e of Player.effects) {
    const r = renderer(e, [first, second], { [e.control]: 0 });
    assert.equal(r.cycleLength, 1, e.name);
    assert.equal(maxDifference(frame(r, 17), first), 0, e.name);
  }
});

test('images: scaled to the applet, laid over the background, missing ones skipped', () => {
  const e = row('Zoom');
  // A 2 x 2 image with one see-through pixel, drawn at 4 x 4 over blue.
  const small = image(2, 2, (x, y) => (x === 1 && y === 1 ? [255, 0, 0, 0] : [255, 255, 255, 255]));
  const r = renderer(e, [null, small], { bg: '0000FF' }, [4, 4]);
  const f = frame(r, 0);
  assert.deepEqual(at(f, 0, 0), [255, 255, 255, 255]);
  assert.deepEqual(at(f, 3, 3), [0, 0, 255, 255]);
  assert.deepEqual(at(f, 2, 1), [255, 255, 255, 255]);
  // No images at all: the background.
  const none = Player.createRenderer({ code: 'warp.class', width: 5, height: 3, params: { GENERAL: '0|7|102030|33|40|0|1|' }, images: [] });
  assert.equal(none.cycleLength, 1);
  assert.deepEqual([...colours(frame(none, 4))], [0x102030]);
});

test('single-image effects use the first image only; several-image effects take the next in turn', () => {
  const a = flat(W, H, [10, 20, 30]), b = flat(W, H, [200, 100, 50]);
  const rotate = renderer(row('Rotate'), [a, b]);
  for (let k = 0; k < rotate.cycleLength; k += 7) assert.ok(!colours(frame(rotate, k)).has(0xc86432));
  const emboss = renderer(row('Emboss'), [a, b]);
  assert.equal(emboss.cycleLength, 2 * 20);
  assert.equal(maxDifference(frame(emboss, 20), b), 0, 'the next image after one circle');
});

test('Image Cross Fade: a pause on each image, the midpoint is the mean of the two', () => {
  const a = flat(W, H, [200, 40, 0]), b = flat(W, H, [0, 100, 250]);
  const r = renderer(row('Image Cross Fade'), [a, b], { speed: 1 });
  const pause = Math.round(1000 / 33), length = pause + 100;
  assert.equal(r.cycleLength, 2 * length);
  assert.equal(maxDifference(frame(r, pause - 1), a), 0, 'still the first image at the end of the pause');
  const mid = at(frame(r, pause + 49), 5, 5);
  for (let c = 0; c < 3; c++) assert.ok(Math.abs(mid[c] - (a.data[c] + b.data[c]) / 2) <= 1, `channel ${c}: ${mid}`);
  assert.equal(maxDifference(frame(r, length), b), 0, 'then the second image');
  assert.equal(maxDifference(frame(r, 2 * length - 1), a), 0, 'and back to the first');
  // Speed 25: four steps of dissolve.
  assert.equal(renderer(row('Image Cross Fade'), [a, b], { speed: 25 }).cycleLength, 2 * (pause + 4));
});

test('Hue Rotator: speed degrees a step; half a turn makes red cyan and leaves greys alone', () => {
  const img = image(W, H, (x) => (x < W / 2 ? [255, 0, 0] : [90, 90, 90]));
  const r = renderer(row('Hue Rotator'), [img], { speed: 2 });
  assert.equal(r.cycleLength, 180);
  const f = frame(r, 90);
  assert.deepEqual(at(f, 0, 0), [0, 255, 255, 255]);
  assert.deepEqual(at(f, W - 1, 0), [90, 90, 90, 255]);
  assert.deepEqual(at(frame(r, 60), 0, 0), [0, 255, 0, 255], '120 degrees: green');
  assert.deepEqual(at(frame(r, 120), 0, 0), [0, 0, 255, 255], '240 degrees: blue');
  assert.equal(renderer(row('Hue Rotator'), [img], { speed: 7 }).cycleLength, 360);
});

test('Color Extractor: red, then green, then blue part, then full colour and the next image', () => {
  const a = flat(W, H, [200, 120, 60]), b = flat(W, H, [1, 2, 3]);
  const r = renderer(row('Color Extractor'), [a, b], { speed: 2 });
  const T = 50;
  assert.equal(r.cycleLength, 2 * 4 * T);
  assert.deepEqual(at(frame(r, T), 0, 0), [200, 0, 0, 255]);
  assert.deepEqual(at(frame(r, 2 * T), 0, 0), [0, 120, 0, 255]);
  assert.deepEqual(at(frame(r, 3 * T), 0, 0), [0, 0, 60, 255]);
  assert.deepEqual(at(frame(r, T / 2), 0, 0), [200, 60, 30, 255]);
  assert.equal(maxDifference(frame(r, 4 * T), b), 0);
});

test('Page Flip: the page turns from the right, showing the next image behind its fold', () => {
  const a = flat(W, H, [250, 0, 0]), b = flat(W, H, [0, 0, 250]);
  const r = renderer(row('Page Flip'), [a, b], { speed: 10 });
  const pause = Math.round(1000 / 50);
  const early = frame(r, pause + 1); // a fifth of the turn
  assert.deepEqual(at(early, W - 1, H / 2).slice(0, 2), [0, 0], 'next image at the right edge');
  assert.ok(at(early, W - 1, H / 2)[2] > 100);
  assert.deepEqual(at(early, 0, H / 2), [250, 0, 0, 255], 'current page at the left edge');
  const back = at(early, Math.floor(W * 0.7), H / 2);
  assert.ok(back[1] > 100 && back[2] > 100, `the page's back is pale paper: ${back}`);
  assert.equal(maxDifference(frame(r, pause + 9), b), 0, 'turned over: the next image');
});

test('Emboss: a grey relief whose light circles round', () => {
  const img = image(W, H, (x, y) => ((x - W / 2) ** 2 + (y - H / 2) ** 2 < 100 ? [250, 30, 30] : [20, 90, 20]));
  const r = renderer(row('Emboss'), [img], { frames: 20 });
  const f = frame(r, 10);
  for (let i = 0; i < f.data.length; i += 4) {
    assert.ok(f.data[i] === f.data[i + 1] && f.data[i] === f.data[i + 2], 'grey');
  }
  assert.deepEqual(at(f, 0, 0), [128, 128, 128, 255], 'flat parts are mid grey');
  // The lit side moves as the light circles.
  const lit = (k) => at(frame(r, k), W / 2 + 10, H / 2)[0];
  assert.notEqual(lit(5), lit(10));
});

test('Image Layer: builds up darkest first', () => {
  const img = image(W, H, (x) => { const v = Math.floor((x * 255) / (W - 1)); return [v, v, v]; });
  const r = renderer(row('Image Layer'), [img], { frames: 4, bg: '0000FF' });
  assert.equal(r.cycleLength, 4);
  const one = frame(r, 1), three = frame(r, 3);
  assert.deepEqual(at(one, 0, 0), [0, 0, 0, 255], 'darkest shown first');
  assert.deepEqual(at(one, W - 1, 0), [0, 0, 255, 255], 'brightest not yet');
  assert.deepEqual(at(three, W / 2, 0).slice(0, 3), at(img, W / 2, 0).slice(0, 3));
  assert.deepEqual(at(three, W - 1, 0), [0, 0, 255, 255]);
});

test('Rotate: a quarter turn moves the marked top-left corner to the top right', () => {
  const S = 40;
  const img = image(S, S, (x, y) => (x < 8 && y < 8 ? [255, 0, 0] : [0, 80, 0]));
  const r = renderer(row('Rotate'), [img], { frames: 40, bg: '0000FF' }, [S, S]);
  const q = frame(r, 10);
  assert.deepEqual(at(q, S - 2, 1), [255, 0, 0, 255]);
  assert.deepEqual(at(q, 1, 1), [0, 80, 0, 255]);
  assert.deepEqual(at(frame(r, 20), S - 2, S - 2), [255, 0, 0, 255], 'half a turn: bottom right');
  const wide = renderer(row('Rotate'), [pattern(W, H)], { frames: 40, bg: '0000FF' });
  assert.deepEqual(at(frame(wide, 5), 0, 0), [0, 0, 255, 255], 'background in the corners');
});

test('Line Cross Fade: whole lines go to the background colour and come back', () => {
  const img = pattern(W, H, 2);
  const r = renderer(row('Line Cross Fade'), [img], { frames: 100, bg: '00FF00' });
  const allGone = frame(r, 50);
  assert.deepEqual([...colours(allGone)], [0x00ff00]);
  const quarter = frame(r, 25);
  let gone = 0;
  for (let y = 0; y < H; y++) {
    const rowColours = new Set();
    for (let x = 0; x < W; x++) rowColours.add(at(quarter, x, y).join());
    const isGone = rowColours.size === 1 && rowColours.has('0,255,0,255');
    if (isGone) gone++;
    else for (let x = 0; x < W; x++) assert.deepEqual(at(quarter, x, y), at(img, x, y));
  }
  assert.equal(gone, H / 2);
});

test('Noise: speed percent of noise, a clean image in the first frames steps', () => {
  const img = flat(W, H, [200, 100, 0]);
  const r = renderer(row('Noise'), [img], { speed: 30, frames: 2 });
  assert.equal(r.cycleLength, 64 * 2);
  assert.equal(maxDifference(frame(r, 1), img), 0);
  const f = frame(r, 2);
  assert.deepEqual(f.data, frame(r, 3).data, 'renewed every frames steps');
  assert.notDeepEqual(f.data, frame(r, 4).data);
  let spread = new Set();
  for (let i = 0; i < f.data.length; i += 4) {
    const [red, green, blue] = [f.data[i], f.data[i + 1], f.data[i + 2]];
    for (const [v, base] of [[red, 200], [green, 100], [blue, 0]]) {
      assert.ok(v >= Math.floor(base * 0.7) - 1 && v <= Math.ceil(base * 0.7 + 0.3 * 255) + 1, `${v} from ${base}`);
    }
    spread.add(blue);
  }
  assert.ok(spread.size > 30, 'the noise varies');
});

test('Zoom: in to the centre and back out', () => {
  const img = pattern(W, H, 4);
  const r = renderer(row('Zoom'), [img], { frames: 150 });
  const deepest = frame(r, 75);
  assert.deepEqual(at(deepest, W / 2, H / 2), at(img, W / 2, H / 2));
  assert.deepEqual(at(deepest, 0, 0), at(img, W / 3, H / 3), 'three times as large');
});

test('Horizontal, Vertical and Dual Waves shift rows sideways and columns up and down', () => {
  const img = image(W, H, (x, y) => [x * 5, y * 7, 99]);
  const k = 12;
  const h = frame(renderer(row('Horizontal Waves'), [img], { bg: '000000' }), k);
  const v = frame(renderer(row('Vertical Waves'), [img], { bg: '000000' }), k);
  const d = frame(renderer(row('Dual Waves'), [img], { bg: '000000' }), k);
  let shiftedRows = 0, shiftedColumns = 0;
  // The background uncovered by a shift is no wider than the wave is deep.
  const deepest = Math.ceil(2 * 0.02 * Math.min(W, H));
  const uncoveredRows = new Array(H).fill(0), uncoveredColumns = new Array(W).fill(0);
  for (let y = 0; y < H; y++) {
    for (let x = 0; x < W; x++) {
      const p = at(h, x, y);
      if (p[2] === 99) assert.equal(p[1], y * 7, 'rows stay rows');
      else uncoveredRows[y]++;
      const q = at(v, x, y);
      if (q[2] === 99) assert.equal(q[0], x * 5, 'columns stay columns');
      else uncoveredColumns[x]++;
    }
    if (at(h, W / 2, y)[0] !== (W / 2) * 5) shiftedRows++;
  }
  for (let x = 0; x < W; x++) if (at(v, x, H / 2)[1] !== (H / 2) * 7) shiftedColumns++;
  assert.ok(Math.max(...uncoveredRows) <= deepest, `rows: ${uncoveredRows}`);
  assert.ok(Math.max(...uncoveredColumns) <= deepest, `columns: ${uncoveredColumns}`);
  // Each column is its source column moved as a whole.
  for (let x = 0; x < W; x++) {
    const moves = new Set();
    for (let y = 0; y < H; y++) { const q = at(v, x, y); if (q[2] === 99) moves.add(y - q[1] / 7); }
    assert.equal(moves.size, 1, `column ${x}`);
  }
  assert.ok(shiftedRows > H / 2 && shiftedColumns > W / 2, `${shiftedRows} ${shiftedColumns}`);
  assert.ok(maxDifference(d, h) > 0 && maxDifference(d, v) > 0);
});

test('Stretcher: across first, then down', () => {
  const img = image(W, H, (x, y) => [x * 5, y * 7, 99]);
  const r = renderer(row('Stretcher'), [img], { frames: 100, bg: '000000' });
  const across = frame(r, 12), down = frame(r, 62);
  for (let y = 0; y < H; y++) assert.equal(at(across, 3, y)[1], y * 7, 'rows unchanged while stretching across');
  assert.notEqual(at(across, 3, 0)[0], 15);
  for (let x = 0; x < W; x++) assert.equal(at(down, x, 3)[0], x * 5, 'columns unchanged while stretching down');
  assert.notEqual(at(down, 0, 3)[1], 21);
  assert.deepEqual(at(frame(r, 37), 0, H / 2), [0, 0, 0, 255], 'squeezed: background at the sides');
});

test('Drain shrinks into the centre; Whirlpool twists the middle and leaves the corners', () => {
  const img = pattern(W, H, 6);
  const drain = frame(renderer(row('Drain'), [img], { frames: 80, bg: '0000FF' }), 40);
  assert.deepEqual(at(drain, 0, 0), [0, 0, 255, 255]);
  assert.deepEqual(at(drain, W / 4, H / 2), [0, 0, 255, 255]);
  assert.notDeepEqual(at(drain, W / 2, H / 2), [0, 0, 255, 255]);
  const whirl = frame(renderer(row('Whirlpool'), [img], { frames: 20 }), 10);
  assert.deepEqual(at(whirl, 0, 0), at(img, 0, 0));
  assert.notDeepEqual(at(whirl, W / 2 + 3, H / 2 + 3), at(img, W / 2 + 3, H / 2 + 3));
});

test('Underwater, Quad Pool and Ripple bend the image without new colours', () => {
  const img = pattern(W, H, 8), inImage = colours(img);
  for (const name of ['Underwater', 'Quad Pool', 'Ripple']) {
    const e = row(name);
    const f = frame(renderer(e, [img]), Math.floor(e.frames / 3));
    assert.ok(maxDifference(f, img) > 0, name);
    for (const c of colours(f)) assert.ok(inImage.has(c), `${name}: only the image's colours`);
  }
  // Each quarter ripples round its own centre: the pattern is the same in all four.
  const square = flat(40, 40, [0, 0, 0]);
  for (let i = 0; i < square.data.length; i += 4) square.data[i] = (i / 4) % 40 * 6;
  const q = frame(renderer(row('Quad Pool'), [square], { speed: 10 }, [40, 40]), 10);
  const offset = (x, y) => at(q, x, y)[0] - at(square, x, y)[0];
  assert.equal(offset(5, 7), offset(25, 27));
});

test('Color Layers: the three layers drift apart and come back', () => {
  const S = 40;
  const img = image(S, S, (x, y) => (Math.abs(x - 20) < 6 && Math.abs(y - 20) < 6 ? [255, 255, 255] : [0, 0, 0]));
  const r = renderer(row('Color Layers'), [img], { frames: 100, speed: 1 }, [S, S]);
  const apart = frame(r, 50);
  const channels = [0, 1, 2].map((c) => {
    let sx = 0, sy = 0, n = 0;
    for (let y = 0; y < S; y++) for (let x = 0; x < S; x++) if (at(apart, x, y)[c] === 255) { sx += x; sy += y; n++; }
    return [sx / n, sy / n, n];
  });
  for (const [, , n] of channels) assert.equal(n, 121, 'each layer keeps its square');
  const distance = (a, b) => Math.hypot(a[0] - b[0], a[1] - b[1]);
  assert.ok(distance(channels[0], channels[1]) > 2 && distance(channels[1], channels[2]) > 2);
  assert.equal(maxDifference(frame(r, 99), img) <= 255, true);
  assert.equal(maxDifference(frame(r, 100), img), 0);
});
