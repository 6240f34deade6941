// Maps from other tools' files: a Moving AI map, a PNG picture, a Tiled map (JSON or XML) with the tilesets
// opened beside it. Each is decoded here, in the worker, and handed to the library's import rules
// (varnholt_import_*), so that the map opened is the level-0 map varnholt-import makes of the same
// file. A level-0 map goes on to WorkerMap.open. A failure names the file and what is wrong with
// it in one line; the map open stays as it was.
'use strict';

const WorkerImports = (() => {
  const {failure, checked, withBuffer} = WorkerLibrary;
  const S = VarnholtSources;
  const kThreshold = 50;  // varnholt-import's default: a pixel at least half as light as white is open

  // Whatever the library refuses, said of the file.
  const named = (name, error) => new Error(`${name}: ${error.message}`);

  function movingAi(bytes, name) {
    const next = withBuffer(bytes.length, bytes, (pointer) => WorkerLibrary.core._varnholt_import_moving_ai(pointer, bytes.length));
    if (next === 0) throw named(name, failure());
    return next;
  }

  // A source of Rows x Columns cells, Blocked row by row, placed on a map as every import is.
  function fromCells(rows, columns, blocked, name) {
    const next = withBuffer(blocked.length, blocked, (pointer) => WorkerLibrary.core._varnholt_import_cells(rows, columns, pointer));
    if (next === 0) throw named(name, failure());
    return next;
  }

  // The picture's pixels as varnholt-import reads them (png.js decodes them as libpng does there),
  // its size refused before any memory is taken for it if no map holds it.
  async function decoded(bytes, name) {
    const problem = VarnholtPng.problem(bytes);
    if (problem) throw new Error(`${name}: not a whole PNG image: ${problem}`);
    const fails = (error) => new Error(`${name}: the PNG image could not be decoded: ${error.message}`);
    let size;
    try {
      size = VarnholtPng.header(bytes);
    } catch (error) {
      throw fails(error);
    }
    if (WorkerLibrary.core._varnholt_import_side(BigInt(size.height), BigInt(size.width)) < 0) throw named(name, failure());
    try {
      return await VarnholtPng.decode(bytes, (data) => inflate(data, 'deflate', 'its IDAT chunks'));
    } catch (error) {
      throw fails(error);
    }
  }

  async function picture(bytes, name) {
    const {width, height, rgba} = await decoded(bytes, name);
    const count = width * height;
    const blocked = withBuffer(rgba.length, rgba, (pixels) => withBuffer(count, null, (out) => {
      checked(WorkerLibrary.core._varnholt_import_pixels(pixels, BigInt(count), kThreshold, 0, out));
      return WorkerLibrary.core.HEAPU8.slice(out, out + count);
    }));
    return fromCells(height, width, blocked, name);
  }

  // Zlib or gzip data unpacked by the browser; damaged data fails naming the layer.
  async function inflate(bytes, format, where) {
    try {
      const stream = new Blob([bytes]).stream().pipeThrough(new DecompressionStream(format));
      return new Uint8Array(await new Response(stream).arrayBuffer());
    } catch (error) {
      throw new Error(`${where}: compressed data damaged or cut short`);
    }
  }

  // Marks the cells of Piece whose tiles collide, by the library's Tiled rule.
  function markPiece(gids, tilesets, count) {
    const {firstGids, colliding} = tilesets;
    const core = WorkerLibrary.core;
    const gidBytes = new Uint8Array(gids.buffer, gids.byteOffset, gids.length * 4);
    const firstBytes = new Uint8Array(Uint32Array.from(firstGids).buffer);
    const collidingBytes = new Uint8Array(Uint32Array.from(colliding).buffer);
    return withBuffer(gidBytes.length, gidBytes, (g) => withBuffer(firstBytes.length, firstBytes, (f) => withBuffer(collidingBytes.length, collidingBytes, (c) =>
      withBuffer(count, new Uint8Array(count), (out) => {
        checked(core._varnholt_import_tiled(g, BigInt(gids.length), f, firstGids.length, c, BigInt(colliding.length / 2), out));
        return core.HEAPU8.slice(out, out + count);
      }))));
  }

  async function tiled(bytes, name, beside) {
    const map = S.readTiled(bytes, name, beside);
    // The tilesets are checked once, as varnholt-import checks them, before any layer is read.
    try {
      markPiece(new Uint32Array(0), map, 0);
    } catch (error) {
      throw named(name, error);
    }
    const {x, y, width, height} = map.extent;
    // A size no map holds is refused before any memory is taken for it.
    if (WorkerLibrary.core._varnholt_import_side(BigInt(height), BigInt(width)) < 0) throw named(name, failure());
    const blocked = new Uint8Array(width * height);
    for (const piece of map.pieces) {
      const gids = await S.pieceGids(piece, inflate);
      const marked = markPiece(gids, map, gids.length);
      for (let row = 0; row < piece.height; ++row) {
        const to = (piece.y - y + row) * width + piece.x - x;
        for (let column = 0; column < piece.width; ++column) blocked[to + column] |= marked[row * piece.width + column];
      }
    }
    return fromCells(height, width, blocked, name);
  }

  const kImporters = {movingai: movingAi, png: picture, tiled, tmx: tiled};

  // Opens any map the studio reads: {bytes, name, extras, hold} as WorkerMap.open takes them. An
  // import is named as a level-0 map after its source and says what it came from.
  async function open(argument) {
    const {bytes, name = '', extras = [], hold} = argument;
    const kind = S.kindOf(bytes.subarray(0, 512), name);
    if (kind === 'level0') return WorkerMap.open(argument);
    const next = await kImporters[kind](bytes, name, extras);
    return {...WorkerMap.adopt(next, S.level0Name(name), [], hold), imported: kind};
  }

  return {open};
})();
