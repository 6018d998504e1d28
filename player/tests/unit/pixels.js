// Small in-memory images and a drawing context that keeps what was put,
// for running the player's effects under Node.
'use strict';

function image(width, height, colourAt) {
  const data = new Uint8ClampedArray(width * height * 4);
  for (let y = 0, i = 0; y < height; y++) {
    for (let x = 0; x < width; x++, i += 4) {
      const [r, g, b, a = 255] = colourAt(x, y);
      data[i] = r; data[i + 1] = g; data[i + 2] = b; data[i + 3] = a;
    }
  }
  return { width, height, data };
}

function flat(width, height, rgb) {
  return image(width, height, () => rgb);
}

// A busy picture: every pixel differs from its neighbours.
function pattern(width, height, seed = 0) {
  return image(width, height, (x, y) => [
    (x * 7 + y * 3 + seed) & 255, (x * 3 + y * 11 + seed * 5) & 255, ((x ^ y) * 5 + seed * 9) & 255]);
}

function context() {
  return {
    last: null,
    createImageData(w, h) {
      return { width: w, height: h, data: new Uint8ClampedArray(w * h * 4) };
    },
    putImageData(d) {
      this.last = { width: d.width, height: d.height, data: new Uint8ClampedArray(d.data) };
    },
  };
}

// The frame the renderer draws for `step`.
function frame(renderer, step) {
  const ctx = context();
  renderer.render(ctx, step);
  return ctx.last;
}

function at(img, x, y) {
  const i = (y * img.width + x) * 4;
  return [img.data[i], img.data[i + 1], img.data[i + 2], img.data[i + 3]];
}

function maxDifference(a, b) {
  let m = 0;
  for (let i = 0; i < a.data.length; i++) m = Math.max(m, Math.abs(a.data[i] - b.data[i]));
  return m;
}

module.exports = { image, flat, pattern, context, frame, at, maxDifference };
