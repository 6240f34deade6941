// PNG's chunks, read and written: whether a file holds whole chunks with their checksums (a
// picture cut short would otherwise import a map half blocked without a word), a picture decoded
// to the very RGBA samples varnholt-import reads of it, and the chunks of a picture written out.
// Pure, for the page, the worker and the tests in Node alike.
'use strict';

const VarnholtPng = (() => {
  const kSignature = [0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a];

  const kCrcTable = (() => {
    const table = new Uint32Array(256);
    for (let n = 0; n < 256; ++n) {
      let c = n;
      for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
      table[n] = c >>> 0;
    }
    return table;
  })();

  function crc32(bytes, start = 0, end = bytes.length) {
    let c = 0xffffffff;
    for (let k = start; k < end; ++k) c = kCrcTable[(c ^ bytes[k]) & 255] ^ (c >>> 8);
    return (c ^ 0xffffffff) >>> 0;
  }

  const word = (bytes, at) => ((bytes[at] << 24) | (bytes[at + 1] << 16) | (bytes[at + 2] << 8) | bytes[at + 3]) >>> 0;
  const typeAt = (bytes, at) => String.fromCharCode(...bytes.subarray(at, at + 4));

  // Why Bytes are no whole PNG file, in words, or null: every chunk complete and its checksum
  // right, IHDR first and IEND last, as libpng would have them.
  function problem(bytes) {
    if (bytes.length < 8 || !kSignature.every((byte, k) => bytes[k] === byte)) return 'it does not begin as a PNG image does';
    let at = 8;
    let first = true;
    while (at < bytes.length) {
      if (at + 12 > bytes.length) return `it is cut short at byte ${bytes.length}, inside a chunk's header`;
      const length = word(bytes, at);
      const type = typeAt(bytes, at + 4);
      if (first && type !== 'IHDR') return `its first chunk is ${type}, not IHDR`;
      first = false;
      if (at + 12 + length > bytes.length) return `it is cut short at byte ${bytes.length}, inside its ${type} chunk of ${length} bytes`;
      if (crc32(bytes, at + 4, at + 8 + length) !== word(bytes, at + 8 + length)) return `its ${type} chunk at byte ${at} is damaged (its checksum is wrong)`;
      if (type === 'IEND') return null;
      at += 12 + length;
    }
    return `it is cut short at byte ${bytes.length}: it ends before its IEND chunk`;
  }

  function chunk(type, data) {
    const out = new Uint8Array(12 + data.length);
    const view = new DataView(out.buffer);
    view.setUint32(0, data.length);
    for (let k = 0; k < 4; ++k) out[4 + k] = type.charCodeAt(k);
    out.set(data, 8);
    view.setUint32(8 + data.length, crc32(out, 4, 8 + data.length));
    return out;
  }

  // The zlib header libpng writes before Size bytes of rows: it asks for the smallest window that
  // holds them with deflate's 262 bytes of lookahead, which the header names, at the default level.
  // Deflate's stream itself is the same with any window that holds the data.
  function zlibHeader(size) {
    let windowBits = 15;
    while (windowBits > 9 && size + 262 <= 1 << (windowBits - 1)) --windowBits;
    const method = ((windowBits - 8) << 4) | 8;
    const flags = 0x80 + (31 - ((method * 256 + 0x80) % 31)) % 31;
    return [method, flags];
  }

  // A 1-bit grey picture of Width x Height from its zlib stream, the header made libpng's, in IDAT
  // chunks of at most 8192 bytes as libpng writes them.
  function greyPicture(width, height, deflated) {
    const zlib = Uint8Array.from(deflated);
    zlib.set(zlibHeader(height * (1 + Math.ceil(width / 8))), 0);
    const header = new Uint8Array(13);
    const view = new DataView(header.buffer);
    view.setUint32(0, width);
    view.setUint32(4, height);
    header[8] = 1;  // bit depth; colour type 0 (grey), compression, filter and interlace 0
    const parts = [Uint8Array.from(kSignature), chunk('IHDR', header)];
    for (let at = 0; at < zlib.length; at += 8192) parts.push(chunk('IDAT', zlib.subarray(at, Math.min(zlib.length, at + 8192))));
    parts.push(chunk('IEND', new Uint8Array(0)));
    const out = new Uint8Array(parts.reduce((sum, part) => sum + part.length, 0));
    let at = 0;
    for (const part of parts) {
      out.set(part, at);
      at += part.length;
    }
    return out;
  }

  // The chunks of a PNG file, each {type, data}: for the tests that compare two pictures.
  function chunks(bytes) {
    const found = [];
    for (let at = 8; at + 12 <= bytes.length; at += 12 + word(bytes, at)) {
      found.push({type: typeAt(bytes, at + 4), data: bytes.subarray(at + 8, at + 8 + word(bytes, at))});
    }
    return found;
  }

  // The picture's header: {width, height, depth, colour, interlace}, checked as libpng checks it.
  function header(bytes) {
    if (bytes.length < 33 || typeAt(bytes, 12) !== 'IHDR' || word(bytes, 8) !== 13) throw new Error('its IHDR chunk is missing or not 13 bytes long');
    const [width, height, depth, colour, compression, filter, interlace] = [word(bytes, 16), word(bytes, 20), ...bytes.subarray(24, 29)];
    const depths = {0: [1, 2, 4, 8, 16], 2: [8, 16], 3: [1, 2, 4, 8], 4: [8, 16], 6: [8, 16]}[colour];
    if (!depths) throw new Error(`its colour type ${colour} is none PNG knows`);
    if (!depths.includes(depth)) throw new Error(`a bit depth of ${depth} is none its colour type ${colour} takes`);
    if (width === 0 || height === 0 || width > 0x7fffffff || height > 0x7fffffff) throw new Error(`its size of ${width} x ${height} pixels is none PNG takes`);
    if (compression !== 0 || filter !== 0 || interlace > 1) throw new Error('its compression, filter or interlace method is unknown');
    return {width, height, depth, colour, interlace};
  }

  const kChannels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4};
  // Adam7's passes: the first column and row of each, and its steps across and down.
  const kPasses = [[0, 0, 8, 8], [4, 0, 8, 8], [0, 4, 4, 8], [2, 0, 4, 4], [0, 2, 2, 4], [1, 0, 2, 2], [0, 1, 1, 2]];

  // The Height rows of RowBytes bytes that follow At in Data, each after its filter's byte, with
  // their filters undone; Step is the bytes a pixel takes (one at least).
  function unfiltered(data, at, height, rowBytes, step) {
    const rows = new Uint8Array(height * rowBytes);
    for (let y = 0; y < height; ++y, at += rowBytes + 1) {
      const type = data[at];
      if (type > 4) throw new Error(`row ${y} has filter type ${type}, which PNG does not know`);
      const row = y * rowBytes;
      for (let k = 0; k < rowBytes; ++k) {
        const a = k >= step ? rows[row + k - step] : 0;
        const b = y > 0 ? rows[row - rowBytes + k] : 0;
        const c = k >= step && y > 0 ? rows[row - rowBytes + k - step] : 0;
        let predicted = 0;
        if (type === 1) predicted = a;
        else if (type === 2) predicted = b;
        else if (type === 3) predicted = (a + b) >> 1;
        else if (type === 4) {
          const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
          predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
        }
        rows[row + k] = (data[at + 1 + k] + predicted) & 255;
      }
    }
    return rows;
  }

  // Bytes, a whole PNG file, as varnholt-import hands its pixels to the library: 8-bit RGBA, row by
  // row; low grey depths scaled to 0-255, 16 bits by their high byte, grey as three equal samples,
  // palette indices by their entries (black past the palette's end), tRNS as alpha (a colour key
  // compared with the samples as stored, by as many low bits as they have), opaque alpha otherwise,
  // and no gamma. Inflate(zlib bytes) unpacks the IDAT data. Returns {width, height, rgba}.
  async function decode(bytes, inflate) {
    const {width, height, depth, colour, interlace} = header(bytes);
    const channels = kChannels[colour];
    let palette = null, transparency = null;
    const idat = [];
    for (const {type, data} of chunks(bytes)) {
      if (type === 'PLTE' && colour === 3) {
        if (data.length % 3 !== 0 || data.length === 0 || data.length > 768) throw new Error(`its palette of ${data.length} bytes is no whole number of colours from 1 to 256`);
        palette = data;
      } else if (type === 'tRNS' && !transparency) {
        // As libpng, one of the wrong length for the colour type is passed over.
        const fits = colour === 0 ? data.length === 2 : colour === 2 ? data.length === 6 : colour === 3 && palette && data.length > 0 && data.length <= palette.length / 3;
        if (fits) transparency = data;
      } else if (type === 'IDAT') {
        idat.push(data);
      } else if (idat.length > 0) {
        break;  // the picture's data is the first run of IDAT chunks
      }
    }
    if (colour === 3 && !palette) throw new Error('its palette (PLTE) is missing');
    if (idat.length === 0) throw new Error('it holds no picture data (IDAT)');
    const joined = new Uint8Array(idat.reduce((sum, data) => sum + data.length, 0));
    idat.reduce((at, data) => (joined.set(data, at), at + data.length), 0);
    const data = await inflate(joined);

    const bits = channels * depth;
    const step = Math.max(1, bits >> 3);
    const rgba = new Uint8Array(width * height * 4);
    const scale = [0, 255, 85, 0, 17][depth] || 1;
    const mask = depth === 16 ? 0xffff : (1 << depth) - 1;
    const key = transparency && colour !== 3 ? Array.from({length: transparency.length / 2}, (_, k) => ((transparency[2 * k] << 8) | transparency[2 * k + 1]) & mask) : null;
    // The sample Index of the row at At in Row, as stored.
    const sample = (row, at, index) => {
      if (depth === 16) return (row[at + 2 * index] << 8) | row[at + 2 * index + 1];
      if (depth === 8) return row[at + index];
      const bit = index * depth;
      return (row[at + (bit >> 3)] >> (8 - depth - (bit & 7))) & mask;
    };
    const eight = (value) => (depth === 16 ? value >> 8 : depth === 8 ? value : value * scale);
    let at = 0;
    for (const [x0, y0, dx, dy] of interlace ? kPasses : [[0, 0, 1, 1]]) {
      const columns = Math.ceil(Math.max(0, width - x0) / dx), rows = Math.ceil(Math.max(0, height - y0) / dy);
      if (columns === 0 || rows === 0) continue;
      const rowBytes = Math.ceil(columns * bits / 8);
      if (at + rows * (rowBytes + 1) > data.length) throw new Error('its picture data ends before its last row');
      const pass = unfiltered(data, at, rows, rowBytes, step);
      at += rows * (rowBytes + 1);
      for (let y = 0; y < rows; ++y) {
        const row = y * rowBytes;
        for (let x = 0; x < columns; ++x) {
          const out = 4 * ((y0 + y * dy) * width + x0 + x * dx), first = x * channels;
          const v = sample(pass, row, first);
          if (colour === 3) {
            if (3 * v < palette.length) [rgba[out], rgba[out + 1], rgba[out + 2]] = [palette[3 * v], palette[3 * v + 1], palette[3 * v + 2]];
            rgba[out + 3] = transparency && v < transparency.length ? transparency[v] : 255;
          } else if (colour === 2 || colour === 6) {
            const green = sample(pass, row, first + 1), blue = sample(pass, row, first + 2);
            [rgba[out], rgba[out + 1], rgba[out + 2]] = [eight(v), eight(green), eight(blue)];
            rgba[out + 3] = colour === 6 ? eight(sample(pass, row, first + 3)) : key && v === key[0] && green === key[1] && blue === key[2] ? 0 : 255;
          } else {
            rgba[out] = rgba[out + 1] = rgba[out + 2] = eight(v);
            rgba[out + 3] = colour === 4 ? eight(sample(pass, row, first + 1)) : key && v === key[0] ? 0 : 255;
          }
        }
      }
    }
    return {width, height, rgba};
  }

  return {crc32, problem, zlibHeader, greyPicture, chunks, header, decode};
})();

if (typeof module === 'object') module.exports = VarnholtPng;
