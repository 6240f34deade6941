// PNG's chunks, read and written: whether a file holds whole chunks with their checksums (a
// browser decodes a picture cut short as far as it goes, which would import a map half blocked
// without a word), and the chunks of a picture written out. Pure, for the page, the worker and
// the tests in Node alike.
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

  return {crc32, problem, zlibHeader, greyPicture, chunks};
})();

if (typeof module === 'object') module.exports = VarnholtPng;
