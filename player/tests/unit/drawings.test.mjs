// What the canvas drawings borrow from the pixel drawings, checked under
// Node against the pixel drawings themselves.
import test from 'node:test';
import assert from 'node:assert/strict';
import { api as Player } from '../../src/api.js';
import { turnRows } from '../../src/effects/hue.js';
import { image, frame } from './pixels.js';

function row(name) {
  return Player.effects.find((e) => e.name === name);
}

function renderer(e, images, { frames = e.frames, speed = e.speed, bg = '000000' } = {}, size = [images[0].width, images[0].height]) {
  return Player.createRenderer({
    code: e.code, width: size[0], height: size[1],
    params: { GENERAL: `1|7|${bg}|${e.constant}|${frames}|${e.variant === null ? 0 : e.variant}|${speed}|`, IMAGES: 'a.gif|' },
    images,
  });
}

// turnRows as the page's filter computes it: each form clamped to 0..1 and
// kept in whole 255ths, their median, held between the pixel's lowest and
// highest component.
function filtered(rgb, degrees) {
  const [r, g, b] = rgb.map((v) => v / 255), low = Math.min(r, g, b), high = Math.max(r, g, b);
  const byte = (v) => Math.round(Math.min(1, Math.max(0, v)) * 255) / 255;
  return turnRows(degrees).map((forms) => {
    const [p, q, z] = forms.map((w) => byte(w[0] * r + w[1] * g + w[2] * b));
    const median = Math.max(Math.min(p, q), Math.min(Math.max(p, q), z));
    return Math.round(Math.min(high, Math.max(low, median)) * 255);
  });
}

test('Hue Rotator: the filter\'s forms turn every colour as the pixel drawing does, at every degree', () => {
  // Every hue at several chromas and levels, greys among them.
  const S = 48;
  const img = image(S, S, (x, y) => {
    const h = (x / S) * 6, c = 40 + (y % 8) * 30, m = Math.floor(y / 8) * 10;
    const t = (p) => Math.round(m + Math.min(c, 215 - m) * Math.min(1, Math.max(0, 2 - Math.min(p, 6 - p))));
    return y === S - 1 ? [x * 5, x * 5, x * 5] : [t(h % 6), t((h + 4) % 6), t((h + 2) % 6)];
  });
  const r = renderer(row('Hue Rotator'), [img], { speed: 1 });
  assert.equal(r.cycleLength, 360);
  let worst = 0;
  for (let degrees = 0; degrees < 360; degrees += 3) {
    const f = frame(r, degrees);
    for (let i = 0; i < img.data.length; i += 4) {
      const got = filtered([img.data[i], img.data[i + 1], img.data[i + 2]], degrees);
      for (let c = 0; c < 3; c++) worst = Math.max(worst, Math.abs(got[c] - f.data[i + c]));
    }
  }
  // One 255th from the filter's rounding, one from the drawing's.
  assert.ok(worst <= 2, `largest difference ${worst}`);
});

test('Whirlpool: at its deepest twist every point of the picture shows the picture, never the background', () => {
  const e = row('Whirlpool');
  // Wide and tall pictures: the twist comes closest to the long edges.
  for (const [w, h] of [[120, 72], [72, 120], [101, 61], [64, 64]]) {
    const img = image(w, h, (x, y) => [40 + ((x * 7 + y * 3) % 200), 30 + ((x * 3 + y * 11) % 200), 0]);
    const r = renderer(e, [img], { frames: 20, bg: '0000FF' });
    for (const k of [9, 10, 11]) {
      const f = frame(r, k);
      let background = 0;
      for (let i = 0; i < f.data.length; i += 4) if (f.data[i + 2] === 255) background++;
      assert.equal(background, 0, `${w} x ${h}, step ${k}: ${background} background pixels`);
    }
  }
});

test('dispose() lets a renderer go: it draws nothing afterwards, and a second call is harmless', () => {
  const img = image(24, 18, (x, y) => [x * 9, y * 13, 77]);
  for (const e of Player.effects) {
    const r = renderer(e, [img, img]);
    assert.ok(frame(r, 3), e.name);
    assert.equal(r.disposed, false, e.name);
    r.dispose();
    assert.equal(r.disposed, true, e.name);
    assert.equal(frame(r, 3), null, `${e.name}: nothing drawn after dispose()`);
    r.dispose();
  }
});
