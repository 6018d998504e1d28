// Reading the applet parameters exactly as the program writes them, and
// falling back to the catalogue's defaults on anything else.
import test from 'node:test';
import assert from 'node:assert/strict';
import { api as Player } from '../../src/api.js';

test('the catalogue maps every class file and variant to its effect', () => {
  const rows = [
    ['fade.class', 0, 'Image Cross Fade'], ['huecycle.class', 5, 'Hue Rotator'],
    ['colorwarp.class', 0, 'Color Extractor'], ['pageflip.class', 1, 'Page Flip'],
    ['underwater.class', 0, 'Underwater'], ['warp.class', 0, 'Quad Pool'], ['warp.class', 1, 'Drain'],
    ['warp.class', 3, 'Horizontal Waves'], ['warp.class', 2, 'Vertical Waves'], ['warp.class', 4, 'Dual Waves'],
    ['warp.class', 5, 'Line Cross Fade'], ['warp.class', 6, 'Stretcher'], ['warp.class', 7, 'Whirlpool'],
    ['colorwarp.class', 1, 'Emboss'], ['colorwarp.class', 2, 'Image Layer'], ['warp.class', 8, 'Ripple'],
    ['warp.class', 9, 'Rotate'], ['warp.class', 10, 'Noise'], ['warp.class', 11, 'Zoom'],
    ['colorwarp.class', 3, 'Color Layers'],
    // Letter case does not matter; an unknown variant plays the class's first.
    ['WARP.Class', 9, 'Rotate'], ['warp.class', 12, 'Quad Pool'], ['colorwarp.class', -1, 'Color Extractor'],
  ];
  for (const [code, variant, name] of rows) {
    assert.equal(Player.effectFor(code, variant).name, name, `${code} ${variant}`);
  }
  assert.equal(Player.effectFor('other.class', 0), null);
  assert.equal(Player.effects.length, 20);
});

test('the values the program writes are read field by field', () => {
  const s = Player.parseParams({
    GENERAL: '2|7|0080FF|50|40|0|1|',
    IMAGES: 'sun.gif|moon.jpg|',
    LINK: 'pages/a.html|_top| |',
    'LOAD MESSAGE': '102030|FFFFFF|Wait...',
  }, 'pageflip.class');
  assert.equal(s.effect.name, 'Page Flip');
  assert.deepEqual([s.background.r, s.background.g, s.background.b], [0, 0x80, 0xff]);
  assert.equal(s.background.css, '#0080FF');
  assert.equal(s.constant, 50);
  assert.equal(s.frames, 40);
  assert.equal(s.speed, 1);
  assert.deepEqual(s.imageNames, ['sun.gif', 'moon.jpg']);
  assert.equal(s.link, 'pages/a.html');
  assert.equal(s.target, '_top');
  assert.equal(s.loadBackground.css, '#102030');
  assert.equal(s.loadColour.css, '#FFFFFF');
  assert.equal(s.loadText, 'Wait...');
});

test('blank placeholders and edge values', () => {
  const cases = [
    // [params, field, expected]
    [{ IMAGES: ' ' }, 'imageNames', []],
    [{ IMAGES: 'a.gif|b.jpg|c.gif|' }, 'imageNames', ['a.gif', 'b.jpg', 'c.gif']],
    [{ IMAGES: ' ||b.gif|' }, 'imageNames', ['', 'b.gif']],
    [{ IMAGES: 'my picture.gif|' }, 'imageNames', ['my picture.gif']],
    [{}, 'imageNames', []],
    [{ LINK: ' | | |' }, 'link', ''],
    [{ LINK: ' | | |' }, 'target', ''],
    [{ LINK: 'pages/a.html| | |' }, 'link', 'pages/a.html'],
    [{ LINK: 'pages/a.html| | |' }, 'target', ''],
    [{ LINK: 'x.html|my frame| |' }, 'target', 'my frame'],
    [{ 'LOAD MESSAGE': '000000|FFFFFF| |' }, 'loadText', ''],
    [{ 'LOAD MESSAGE': '000000|FFFFFF|a|b' }, 'loadText', 'a|b'],
    [{}, 'loadText', 'Loading...'],
    // Names in any case, first one wins.
    [{ general: '1|7|000000|70|3|0|9|', GENERAL: '1|7|000000|33|4|0|8|' }, 'constant', 70],
    [{ 'load message': '000000|FFFFFF|Hi' }, 'loadText', 'Hi'],
  ];
  for (const [params, field, expected] of cases) {
    assert.deepEqual(Player.parseParams(params, 'fade.class')[field], expected, JSON.stringify(params));
  }
});

test('malformed or missing values take the effect\'s defaults; numbers beyond the limits are limited', () => {
  const cases = [
    // [code, GENERAL, field, expected]
    ['warp.class', 'x|7|zz|abc|-5|q|200|', 'effect', 'Quad Pool'],
    ['warp.class', 'x|7|zz|abc|-5|q|200|', 'constant', 33],
    ['warp.class', 'x|7|zz|abc|-5|q|200|', 'frames', 40],
    ['warp.class', 'x|7|zz|abc|-5|q|200|', 'speed', 100],
    ['warp.class', 'x|7|zz|abc|-5|q|200|', 'background', '#000000'],
    ['warp.class', '1|7|000000|33|oops|10||', 'frames', 2],
    ['warp.class', '1|7|000000|33|oops|10|', 'speed', 30],
    ['colorwarp.class', '1|7|FFFFFF|x|99999|1|1|', 'constant', 70],
    ['colorwarp.class', '1|7|FFFFFF|x|99999|1|1|', 'frames', 10000],
    ['colorwarp.class', '1|7|FFFFFF|x|99999|1|1|', 'background', '#FFFFFF'],
    ['fade.class', '', 'speed', 1],
    ['fade.class', '1|7|#00FF00|33|40|0|1|', 'background', '#000000'],
    ['fade.class', '1|7|00ff0|33|40|0|1|', 'background', '#000000'],
    ['fade.class', '1|7|00ff00|33|40|0|0|', 'speed', 0],
    ['pageflip.class', undefined, 'constant', 50],
  ];
  for (const [code, general, field, expected] of cases) {
    const s = Player.parseParams(general === undefined ? {} : { GENERAL: general }, code);
    const got = field === 'effect' ? s.effect.name : field === 'background' ? s.background.css : s[field];
    assert.equal(got, expected, `${code} ${general} ${field}`);
  }
  // Colours of the loading message fall back one by one.
  const s = Player.parseParams({ 'LOAD MESSAGE': 'red|00FF00|Go' }, 'fade.class');
  assert.equal(s.loadBackground.css, '#000000');
  assert.equal(s.loadColour.css, '#00FF00');
  assert.equal(s.loadText, 'Go');
  // Not a string at all.
  assert.equal(Player.parseParams({ GENERAL: 5, IMAGES: null }, 'fade.class').frames, 40);
  assert.equal(Player.parseParams(null, null).effect.name, 'Image Cross Fade');
});

test('only http, https, mailto and relative links are followed', () => {
  const base = 'http://127.0.0.1:8000/site/index.html';
  const cases = [
    ['pages/a.html', true], ['/top.html', true], ['../up.html', true], ['#here', true],
    ['//other.example/x', true], ['http://example.com/', true], ['HTTPS://example.com/a', true],
    ['mailto:someone@example.com', true],
    ['javascript:alert(1)', false], ['JavaScript:alert(1)', false], ['  javascript:alert(1)', false],
    ['java\tscript:alert(1)', false], ['data:text/html,<b>x</b>', false], ['vbscript:x', false],
    ['file:///etc/passwd', false], ['ftp://example.com/', false], ['', false], ['   ', false],
  ];
  for (const [link, safe] of cases) assert.equal(Player.isSafeLink(link, base), safe, JSON.stringify(link));
  // A relative link on a page opened from disk stays on disk.
  assert.equal(Player.isSafeLink('pages/a.html', 'file:///tmp/Applet%20Temp/Applet%20Temp.html'), true);
});
