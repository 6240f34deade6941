// The studio's worker: the library, compiled to WebAssembly, holds the map and answers the page's
// requests one at a time, in order, so that the page never waits on an analysis. Every answer is
// plain data; cells cross as typed arrays, handed over rather than copied where they are large.
//
// This part calls the library: it starts the module, turns its failures into errors, and lends
// the other parts buffers in its memory that are freed whatever happens, so that none of them
// pairs a malloc with a free of its own.
'use strict';

const WorkerLibrary = (() => {
  let core = null;  // the library's module, once started

  function start() {
    return createVarnholt().then((module) => { core = module; });
  }

  function failure() {
    return new Error(core.UTF8ToString(core._varnholt_error()) || 'Unknown failure');
  }

  // A number the library returned: -1 (as a number or a 64-bit BigInt) is its failure.
  function checked(value) {
    const number = Number(value);
    if (number < 0) throw failure();
    return number;
  }

  // Runs Use(pointer) with Bytes bytes of the library's memory, Source copied in where given.
  // Memory may grow during any call, which replaces the heap's views: they are read afresh after.
  function withBuffer(bytes, source, use) {
    const pointer = core._malloc(Math.max(1, bytes));
    if (pointer === 0) throw new Error('Out of memory');
    try {
      if (source) core.HEAPU8.set(source, pointer);
      return use(pointer);
    } finally {
      core._free(pointer);
    }
  }

  function withString(text, use) {
    const length = core.lengthBytesUTF8(text) + 1;
    return withBuffer(length, null, (pointer) => {
      core.stringToUTF8(text, pointer, length);
      return use(pointer);
    });
  }

  function copyOut(pointer, bytes) {
    return core.HEAPU8.slice(pointer, pointer + bytes);
  }

  // Calls Query(cells, capacity) to learn the count, then again with room; the cells as pairs.
  function cellsOf(query) {
    const count = checked(query(0, 0n));
    if (count === 0) return new Int32Array(0);
    return withBuffer(count * 8, null, (pointer) => {
      checked(query(pointer, BigInt(count)));
      return new Int32Array(core.HEAPU8.slice(pointer, pointer + count * 8).buffer);
    });
  }

  return {
    get core() { return core; },
    start, failure, checked, withBuffer, withString, copyOut, cellsOf,
  };
})();
