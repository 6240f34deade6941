// The library, started once in each thread that loads it: the WebAssembly instantiated, and the
// functions that open, make and name maps.
import createVarnholtCore from '../dist/varnholt-core.js';
import {argumentError, lastFailure} from './errors.js';
import {bytesOf, cellsOfRectangle, int32, wordsOf} from './arguments.js';
import {fileOf} from './files.js';
import {Heap} from './heap.js';
import {VarnholtMap} from './map.js';

class Varnholt {
  #heap;

  constructor(heap) {
    this.#heap = heap;
  }

  // A map whose handle the library returned, or its failure for 0.
  #held(handle) {
    if (handle === 0) throw lastFailure(this.#heap.core);
    return new VarnholtMap(this.#heap, handle);
  }

  analyse(bytes) {
    const data = bytesOf(bytes, 'bytes');
    const heap = this.#heap;
    return this.#held(heap.lend(data.length, data, (pointer) => heap.core._varnholt_analyse_memory(pointer, data.length) >>> 0));
  }

  create(cellsPerSide, blocked = false) {
    return this.#held(this.#heap.core._varnholt_create(int32(cellsPerSide, 'cellsPerSide'), blocked ? 1 : 0) >>> 0);
  }

  // Maps of sources drawn elsewhere, placed by the library's rule: the smallest side that holds
  // them, every cell beyond them blocked.
  importCells(rows, columns, blocked) {
    const cells = cellsOfRectangle(blocked, int32(rows, 'rows'), int32(columns, 'columns'));
    const heap = this.#heap;
    return this.#held(heap.lend(cells.length, cells, (pointer) => heap.core._varnholt_import_cells(rows, columns, pointer) >>> 0));
  }

  // Pixels as a canvas's ImageData holds them, four bytes each: the library marks the blocked
  // ones into a buffer that becomes the map's cells without leaving its memory.
  importPixels({data, width, height}, {threshold = 50, darkOpen = false} = {}) {
    const rgba = bytesOf(data, 'data');
    const count = int32(width, 'width') * int32(height, 'height');
    if (width < 0 || height < 0 || rgba.length !== 4 * count) {
      throw argumentError(`Expected ${width} x ${height} pixels of four bytes, not ${rgba.length} bytes`);
    }
    const heap = this.#heap;
    const core = heap.core;
    return heap.lend(rgba.length, rgba, (pixels) => heap.lend(count, null, (blocked) => {
      heap.checked(core._varnholt_import_pixels(pixels, BigInt(count), int32(threshold, 'threshold'), darkOpen ? 1 : 0, blocked));
      return this.#held(core._varnholt_import_cells(height, width, blocked) >>> 0);
    }));
  }

  // Tile layers of a Tiled map, each rows x columns global tile ids: a cell is blocked where the
  // tile of any layer collides, so every layer marks the same buffer.
  importTiled({rows, columns, layers, firstGids, colliding}) {
    const count = int32(rows, 'rows') * int32(columns, 'columns');
    if (!Array.isArray(layers)) throw argumentError('layers is not an array of layers of tile ids');
    const gidsOf = layers.map((layer, k) => wordsOf(layer, `layer ${k}`));
    if (gidsOf.some((gids) => gids.length !== count)) throw argumentError(`A layer is not ${rows} x ${columns} tile ids`);
    const first = wordsOf(firstGids, 'firstGids');
    if (!Array.isArray(colliding) || !colliding.every((pair) => Array.isArray(pair) && pair.length === 2)) {
      throw argumentError('colliding is not an array of [tileset, tile] pairs');
    }
    const tiles = wordsOf(colliding.flat(), 'colliding');
    const heap = this.#heap;
    const core = heap.core;
    const lendWords = (words, use) => heap.lend(4 * words.length, null, (pointer) => {
      core.HEAPU32.set(words, pointer / 4);
      return use(pointer);
    });
    const room = Math.max(count, 0);
    return lendWords(first, (firstAt) => lendWords(tiles, (tilesAt) => heap.lend(room, new Uint8Array(room), (blocked) => {
      for (const gids of gidsOf) {
        lendWords(gids, (gidsAt) => heap.checked(core._varnholt_import_tiled(gidsAt, BigInt(count), firstAt, first.length,
          tilesAt, BigInt(tiles.length / 2), blocked)));
      }
      return this.#held(core._varnholt_import_cells(rows, columns, blocked) >>> 0);
    })));
  }

  // A Moving AI map's text, as a string or its bytes.
  importMovingAi(text) {
    const bytes = typeof text === 'string' ? new TextEncoder().encode(text) : bytesOf(text, 'text');
    const heap = this.#heap;
    return this.#held(heap.lend(bytes.length, bytes, (pointer) => heap.core._varnholt_import_moving_ai(pointer, bytes.length) >>> 0));
  }

  // The file name of one of the three files of the level-0 map named level0Name, as varnholt
  // names them.
  filePath(level0Name, kind) {
    const heap = this.#heap;
    const core = heap.core;
    if (typeof level0Name !== 'string') throw argumentError('level0Name is not a string');
    const fileKind = fileOf(kind).kind;
    const nameBytes = core.lengthBytesUTF8(level0Name) + 1;
    return heap.lend(nameBytes, null, (name) => {
      core.stringToUTF8(level0Name, name, nameBytes);
      const length = heap.checked(core._varnholt_file_path(name, fileKind, 0, 0n));
      return heap.lend(length + 1, null, (path) => {
        heap.checked(core._varnholt_file_path(name, fileKind, path, BigInt(length + 1)));
        return core.UTF8ToString(path);
      });
    });
  }
}

let started = null;

// The library of this thread; the WebAssembly is instantiated by the first call alone.
export function load() {
  started ??= createVarnholtCore().then((core) => new Varnholt(new Heap(core)), (failure) => {
    started = null;
    throw failure;
  });
  return started;
}
