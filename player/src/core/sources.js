// The images turned into what the effects work on: words of W x H pixels
// laid over the background, or scratch canvases of that size.

export function isPixelObject(image) {
  return image && typeof image.width === 'number' && typeof image.height === 'number' &&
    image.data && typeof image.data.length === 'number' && image.data.length >= image.width * image.height * 4;
}

// RGBA pixels scaled (nearest) to W x H and laid over the background.
function sourceFromPixels(image, W, H, bgRGB) {
  const out = new Int32Array(W * H), data = image.data, iw = image.width, ih = image.height;
  for (let y = 0, i = 0; y < H; y++) {
    const sy = Math.min(ih - 1, Math.floor(((y + 0.5) * ih) / H));
    for (let x = 0; x < W; x++, i++) {
      const sx = Math.min(iw - 1, Math.floor(((x + 0.5) * iw) / W));
      const j = (sy * iw + sx) * 4, a = data[j + 3], na = 255 - a;
      const r = (data[j] * a + bgRGB.r * na + 127) / 255 | 0;
      const g = (data[j + 1] * a + bgRGB.g * na + 127) / 255 | 0;
      const b = (data[j + 2] * a + bgRGB.b * na + 127) / 255 | 0;
      out[i] = 0xff000000 | (b << 16) | (g << 8) | r;
    }
  }
  return out;
}

export function scratchCanvas(W, H) {
  if (typeof OffscreenCanvas === 'function') return new OffscreenCanvas(W, H);
  if (typeof document !== 'undefined') {
    const c = document.createElement('canvas');
    c.width = W;
    c.height = H;
    return c;
  }
  throw new Error('Images other than pixel arrays need a canvas');
}

export function sourceFromImage(image, W, H, bgRGB) {
  if (isPixelObject(image)) return sourceFromPixels(image, W, H, bgRGB);
  const canvas = scratchCanvas(W, H);
  const c = canvas.getContext('2d', { willReadFrequently: true });
  c.fillStyle = `rgb(${bgRGB.r},${bgRGB.g},${bgRGB.b})`;
  c.fillRect(0, 0, W, H);
  c.drawImage(image, 0, 0, W, H);
  // Throws a SecurityError for an image the page may not read.
  const data = c.getImageData(0, 0, W, H).data;
  const out = new Int32Array(W * H);
  out.set(new Int32Array(data.buffer, data.byteOffset, W * H));
  return out;
}

// The image scaled to W x H over the background, for the canvas drawings.
export function canvasFromImage(image, W, H, bgRGB) {
  const c = scratchCanvas(W, H), x = c.getContext('2d');
  x.fillStyle = bgRGB.css;
  x.fillRect(0, 0, W, H);
  x.drawImage(image, 0, 0, W, H);
  return c;
}

export function isUnreadable(err) {
  return err && (err.name === 'SecurityError' || err.code === 18);
}
