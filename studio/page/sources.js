// What a file opened is, and a Tiled map (JSON, or XML as tmx.js reads it) read into what the
// library's Tiled rule takes: the tilesets' first gids and colliding tiles, and each tile layer's
// rectangles with their gids. Pure,
// so that the page (which words a failure) and the worker (which imports) tell a file alike, and
// the tests read it under Node. Failures name the file and the layer, chunk or tileset at fault,
// as varnholt-import names them, so that the studio and the program say the same of one file.
'use strict';

const VarnholtSources = (() => {
  const Tmx = typeof VarnholtTmx === 'undefined' ? require('./tmx.js') : VarnholtTmx;
  const kMaxOffset = 2 ** 30;     // sizes beyond any map; the library refuses them as too large
  const kMaxGid = 0x0fffffff;     // below Tiled's flip bits

  // The first byte that is not white space or a UTF-8 byte order mark, as varnholt-import looks.
  function firstByte(bytes) {
    for (const byte of bytes) {
      if (![0x20, 0x09, 0x0d, 0x0a, 0xef, 0xbb, 0xbf].includes(byte)) return byte;
    }
    return 0;
  }

  const kPng = [0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a];
  const kMovingAi = [...'type '].map((c) => c.charCodeAt(0));
  const startsWith = (bytes, prefix) => bytes.length >= prefix.length && prefix.every((byte, k) => bytes[k] === byte);

  // 'png', 'tiled' (JSON), 'tmx', 'movingai' or 'level0', from the file's first bytes and name. A
  // level-0 map is binary, so text that begins as a Moving AI map, or a name ending .map, is one.
  function kindOf(head, name = '') {
    if (startsWith(head, kPng)) return 'png';
    const first = firstByte(head);
    if (first === 0x7b) return 'tiled';
    if (first === 0x3c) return 'tmx';
    if (startsWith(head, kMovingAi) || /\.map$/i.test(name)) return 'movingai';
    return 'level0';
  }

  // Which of the files dropped together is the map: a level-0 map named so, else a source of
  // another tool (a Tiled map before a tileset), else the first.
  function mainFile(names) {
    const rank = (name) => (/level0/i.test(name) ? 0 : /\.(tmj|tmx)$/i.test(name) ? 1 : /\.(json|png|map)$/i.test(name) ? 2 : 3);
    let best = 0;
    names.forEach((name, k) => { if (rank(name) < rank(names[best])) best = k; });
    return best;
  }

  // The name a map imported from Source is given: its stem, digits taken out (the converter names
  // the info and waypoint maps after the name up to its first digit), as a level-0 map's.
  function level0Name(source) {
    const stem = source.replace(/\.[^.]*$/, '').replace(/\d/g, '');
    return `${stem || 'Imported'}1Level0Map.raw`;
  }

  // ---- Tiled JSON ----

  const fail = (where, what) => { throw new Error(`${where}: ${what}`); };

  function field(object, key, where) {
    if (object === null || typeof object !== 'object' || Array.isArray(object)) fail(where, 'not a JSON object');
    return Object.prototype.hasOwnProperty.call(object, key) ? object[key] : undefined;
  }

  function integer(object, key, where, low, high, fallback) {
    const value = field(object, key, where);
    if (value === undefined) {
      if (fallback === undefined) fail(where, `'${key}' is missing`);
      return fallback;
    }
    if (typeof value !== 'number' || !Number.isInteger(value)) fail(where, `'${key}' is not a whole number`);
    if (value < low || value > high) fail(where, `'${key}' is ${value}, not from ${low} to ${high}`);
    return value;
  }

  function text(object, key, where, fallback) {
    const value = field(object, key, where);
    if (value === undefined) return fallback;
    if (typeof value !== 'string') fail(where, `'${key}' is not text`);
    return value;
  }

  function array(object, key, where) {
    const value = field(object, key, where);
    if (value === undefined) return [];
    if (!Array.isArray(value)) fail(where, `'${key}' is not an array`);
    return value;
  }

  // A JSON document, or the JSON form of Tiled's XML.
  function parse(bytes, where) {
    if (firstByte(bytes) === 0x3c) return Tmx.document(bytes, where);
    try {
      return JSON.parse(new TextDecoder('utf-8', {fatal: false}).decode(bytes));
    } catch (error) {
      return fail(where, `not JSON: ${error.message}`);
    }
  }

  const collides = (tile, where) => array(tile, 'properties', where)
    .some((property) => text(property, 'name', where, '') === 'collides' && property.value === true);

  // Tilesets: embedded, or a file dropped with the map, found by its name without its folders.
  function tilesets(document, path, tilesetFiles) {
    const firstGids = [], colliding = [];
    array(document, 'tilesets', path).forEach((entry, k) => {
      const source = text(entry, 'source', path, '');
      const where = `${path}, tileset ${source === '' ? k + 1 : `'${source}'`}`;
      firstGids.push(integer(entry, 'firstgid', where, 1, kMaxGid));
      let tileset = entry;
      if (source !== '') {
        const base = source.split(/[/\\]/).pop();
        const file = tilesetFiles.find((candidate) => candidate.name === base);
        if (!file) fail(where, `${base} was not opened with the map: open or drop it with the map`);
        tileset = parse(file.bytes, `${where}: ${base}`);
      }
      for (const tile of array(tileset, 'tiles', where)) {
        if (collides(tile, where)) colliding.push(k, integer(tile, 'id', where, 0, kMaxGid));
      }
    });
    return {firstGids, colliding};
  }

  // Every tile layer's rectangles, within groups too: a finite map's layer, or each chunk.
  function pieces(layers, path, infinite, found) {
    for (const layer of layers) {
      const type = text(layer, 'type', path, '');
      if (type === 'group') pieces(array(layer, 'layers', path), path, infinite, found);
      if (type !== 'tilelayer') continue;
      const where = `${path}, layer '${text(layer, 'name', path, '')}'`;
      const encoding = text(layer, 'encoding', where, 'csv');
      const compression = text(layer, 'compression', where, '');
      const piece = (holder, at) => ({
        holder, where: at, encoding, compression,
        x: integer(holder, 'x', at, -kMaxOffset, kMaxOffset, 0), y: integer(holder, 'y', at, -kMaxOffset, kMaxOffset, 0),
        width: integer(holder, 'width', at, 0, kMaxOffset), height: integer(holder, 'height', at, 0, kMaxOffset),
      });
      if (!infinite) {
        found.push(piece(layer, where));
        continue;
      }
      for (const chunk of array(layer, 'chunks', where)) {
        const at = `${where}, chunk at ${integer(chunk, 'x', where, -kMaxOffset, kMaxOffset)}, ${integer(chunk, 'y', where, -kMaxOffset, kMaxOffset)}`;
        found.push(piece(chunk, at));
      }
    }
    return found;
  }

  // The rows and columns the map spans: a finite map's size, an infinite map's chunks' bounds.
  function extent(document, path, infinite, found) {
    if (!infinite) return {x: 0, y: 0, width: integer(document, 'width', path, 0, kMaxOffset), height: integer(document, 'height', path, 0, kMaxOffset)};
    if (found.length === 0) return {x: 0, y: 0, width: 0, height: 0};
    const left = Math.min(...found.map((p) => p.x)), top = Math.min(...found.map((p) => p.y));
    const right = Math.max(...found.map((p) => p.x + p.width)), bottom = Math.max(...found.map((p) => p.y + p.height));
    return {x: left, y: top, width: right - left, height: bottom - top};
  }

  // A Tiled map (Bytes, named Path), with the files opened beside it: {firstGids, colliding,
  // extent, pieces}, each piece placed within the extent, its data still as stored.
  function readTiled(bytes, path, beside = []) {
    const document = parse(bytes, path);
    // The tilesets first, as varnholt-import reads them before the map's layers.
    const sets = tilesets(document, path, beside);
    if (text(document, 'type', path, 'map') !== 'map') fail(path, `a Tiled ${text(document, 'type', path, '')}, not a map`);
    const infinite = field(document, 'infinite', path) === true;
    const fixed = infinite ? null : extent(document, path, false, []);
    const found = pieces(array(document, 'layers', path), path, infinite, []);
    const bounds = fixed || extent(document, path, true, found);
    for (const p of found) {
      if (p.x < bounds.x || p.y < bounds.y || p.x + p.width > bounds.x + bounds.width || p.y + p.height > bounds.y + bounds.height) {
        fail(p.where, `${p.width} x ${p.height} tiles at ${p.x}, ${p.y} reach outside the map's ${bounds.width} x ${bounds.height}`);
      }
    }
    return {...sets, extent: bounds, pieces: found};
  }

  // ---- A piece's gids ----

  function base64Bytes(textData, where) {
    const digits = 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/';
    const out = [];
    let bits = 0, held = 0, padding = 0;
    for (let k = 0; k < textData.length; ++k) {
      const c = textData[k];
      if (c === ' ' || c === '\t' || c === '\n' || c === '\r') continue;
      const value = digits.indexOf(c);
      if (c === '=') {
        ++padding;
      } else if (value < 0 || padding > 0) {
        fail(where, `base64 data holds '${c >= ' ' && c <= '~' ? c : '?'}' at character ${k + 1}`);
      } else {
        bits = ((bits << 6) | value) >>> 0;
        if (++held === 4) {
          out.push((bits >> 16) & 255, (bits >> 8) & 255, bits & 255);
          held = 0;
          bits = 0;
        }
      }
    }
    if (held === 1 || padding > 2 || (padding > 0 && held + padding !== 4)) fail(where, 'base64 data ends in the middle of a group of four characters');
    if (held >= 2) out.push((bits >> (held === 2 ? 4 : 10)) & 255);
    if (held === 3) out.push((bits >> 2) & 255);
    return Uint8Array.from(out);
  }

  function csvGids(data, count, where) {
    if (!Array.isArray(data)) fail(where, 'CSV data is not an array of gids');
    if (data.length !== count) fail(where, `the data holds ${data.length} tiles, ${count} expected`);
    const gids = new Uint32Array(count);
    data.forEach((gid, k) => {
      if (!Number.isInteger(gid) || gid < 0 || gid > 0xffffffff) fail(where, `tile ${k + 1} of the data is not a gid`);
      gids[k] = gid;
    });
    return gids;
  }

  // A piece's gids; Inflate(bytes, 'deflate' | 'gzip', where) unpacks compressed data (the worker's
  // DecompressionStream; Node's zlib in the tests).
  async function pieceGids(piece, inflate) {
    const data = field(piece.holder, 'data', piece.where);
    if (data === undefined) fail(piece.where, "'data' is missing");
    const count = piece.width * piece.height;
    if (piece.encoding === 'csv') return csvGids(data, count, piece.where);
    if (piece.encoding !== 'base64') fail(piece.where, `unknown encoding '${piece.encoding}'`);
    if (typeof data !== 'string') fail(piece.where, 'base64 data is not text');
    if (piece.compression === 'zstd') fail(piece.where, 'Zstandard compression is not read: save the map with zlib or gzip compression, or as CSV');
    if (!['', 'zlib', 'gzip'].includes(piece.compression)) fail(piece.where, `unknown compression '${piece.compression}'`);
    let bytes = base64Bytes(data, piece.where);
    if (piece.compression !== '') bytes = await inflate(bytes, piece.compression === 'zlib' ? 'deflate' : 'gzip', piece.where);
    const wanted = 4 * count;
    if (bytes.length !== wanted) fail(piece.where, `${bytes.length > wanted ? `more than ${wanted}` : bytes.length} bytes of tiles, ${wanted} expected (${count} tiles)`);
    return new Uint32Array(bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + wanted));
  }

  return {kindOf, mainFile, level0Name, readTiled, pieceGids, base64Bytes};
})();

if (typeof module === 'object') module.exports = VarnholtSources;
