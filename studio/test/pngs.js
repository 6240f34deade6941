// PNG pictures written for the tests, of any colour type, bit depth and filter, interlaced or
// not, by Node's zlib: what png.js and varnholt-import are both given to read.
'use strict';

const zlib = require('node:zlib');
const P = require('../page/png.js');

const kChannels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4};
const kAdam7 = [[0, 0, 8, 8], [4, 0, 8, 8], [0, 4, 4, 8], [2, 0, 4, 4], [0, 2, 2, 4], [1, 0, 2, 2], [0, 1, 1, 2]];

function paeth(a, b, c) {
  const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// A row's bytes Raw filtered by Type against the row above, Above; Step bytes a pixel.
function filtered(type, raw, above, step) {
  const out = Buffer.alloc(raw.length + 1);
  out[0] = type;
  for (let k = 0; k < raw.length; ++k) {
    const a = k >= step ? raw[k - step] : 0, b = above[k], c = k >= step ? above[k - step] : 0;
    out[k + 1] = raw[k] - [0, a, b, (a + b) >> 1, paeth(a, b, c)][type];
  }
  return out;
}

function chunk(type, data) {
  const out = Buffer.alloc(12 + data.length);
  out.writeUInt32BE(data.length, 0);
  out.write(type, 4, 'latin1');
  out.set(data, 8);
  out.writeUInt32BE(P.crc32(out, 4, 8 + data.length), 8 + data.length);
  return out;
}

// A PNG of Width x Height whose pixel at X, Y has the samples Sample(x, y), each below 2^depth;
// its rows take PNG's five filters in turn, Adam7 if Interlace is 1, and the PLTE and tRNS chunks
// given, their bytes as they are.
function writePng(width, height, {depth = 8, colour = 6, interlace = 0, palette = null, transparency = null}, sample) {
  const channels = kChannels[colour], bits = channels * depth, step = Math.max(1, bits >> 3);
  const rows = [];
  let filter = 0;
  for (const [x0, y0, dx, dy] of interlace ? kAdam7 : [[0, 0, 1, 1]]) {
    const columns = Math.ceil(Math.max(0, width - x0) / dx), count = Math.ceil(Math.max(0, height - y0) / dy);
    if (columns === 0 || count === 0) continue;
    const rowBytes = Math.ceil(columns * bits / 8);
    let above = Buffer.alloc(rowBytes);
    for (let y = 0; y < count; ++y) {
      const raw = Buffer.alloc(rowBytes);
      for (let x = 0; x < columns; ++x) {
        const samples = sample(x0 + x * dx, y0 + y * dy);
        for (let c = 0; c < channels; ++c) {
          const index = x * channels + c;
          if (depth === 16) raw.writeUInt16BE(samples[c], 2 * index);
          else if (depth === 8) raw[index] = samples[c];
          else raw[(index * depth) >> 3] |= samples[c] << (8 - depth - ((index * depth) & 7));
        }
      }
      rows.push(filtered(filter++ % 5, raw, above, step));
      above = raw;
    }
  }
  const header = Buffer.alloc(13);
  header.writeUInt32BE(width, 0);
  header.writeUInt32BE(height, 4);
  header.set([depth, colour, 0, 0, interlace], 8);
  const parts = [Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]), chunk('IHDR', header)];
  if (palette) parts.push(chunk('PLTE', Buffer.from(palette)));
  if (transparency) parts.push(chunk('tRNS', Buffer.from(transparency)));
  const deflated = zlib.deflateSync(Buffer.concat(rows));
  // In two IDAT chunks, as a reader must join them.
  const half = deflated.length >> 1;
  parts.push(chunk('IDAT', deflated.subarray(0, half)), chunk('IDAT', deflated.subarray(half)), chunk('IEND', Buffer.alloc(0)));
  return Buffer.concat(parts);
}

module.exports = {writePng};
