// The library, started once in each thread that loads it: the WebAssembly instantiated, and the
// functions that open, make and name maps.
import createVarnholtCore from '../dist/varnholt-core.js';
import {argumentError, lastFailure} from './errors.js';
import {bytesOf, int32} from './arguments.js';
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
