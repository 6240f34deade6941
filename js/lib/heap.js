// The library's memory as the package uses it: buffers lent for one call and freed whatever
// happens, typed arrays copied in and out, and the numbers its calls return checked for failure.
// Memory may grow during any call, which replaces the views of the heap, so every view is taken
// afresh from the module when it is used. Memory reaches 4 GB: a pointer is read unsigned.
import {VarnholtError, lastFailure} from './errors.js';

const kFirstPathRoom = 4096;  // cells: most paths fit the first time
// The most bytes a 32-bit size can ask for: a larger count would reach malloc cut to its low 32
// bits, and a small buffer would be written far past its end.
const kMostBytes = 2 ** 32 - 1;

export class Heap {
  constructor(core) {
    this.core = core;
    this.pathRoom = 0;  // cells the path buffer holds, allocated when first needed
    this.pathBuffer = 0;
    this.pairBuffer = 0;  // one row, column pair, allocated when first needed
  }

  // A number the library returned: -1 (as a number or a 64-bit BigInt) is its failure.
  checked(value) {
    const number = Number(value);
    if (number < 0) throw lastFailure(this.core);
    return number;
  }

  allocate(bytes) {
    const pointer = bytes <= kMostBytes ? this.core._malloc(Math.max(1, bytes)) >>> 0 : 0;
    if (pointer === 0) throw new VarnholtError('Out of memory', 'VARNHOLT_ERROR_MEMORY');
    return pointer;
  }

  // Runs use(pointer) with bytes of the library's memory, source (bytes) copied in where given.
  lend(bytes, source, use) {
    const pointer = this.allocate(bytes);
    try {
      if (source) this.core.HEAPU8.set(source, pointer);
      return use(pointer);
    } finally {
      this.core._free(pointer);
    }
  }

  bytesAt(pointer, count) {
    return this.core.HEAPU8.slice(pointer, pointer + count);
  }

  int32sAt(pointer, count) {
    return this.core.HEAP32.slice(pointer / 4, pointer / 4 + count);
  }

  // Runs query(pointer, capacity) for cells written as row, column pairs, which returns how many
  // cells there are; with more room and again where they did not fit. The buffer is kept for the
  // next query, so that a query costs no allocation.
  pairs(query) {
    if (this.pathRoom === 0) this.growPathBuffer(kFirstPathRoom);
    const count = this.checked(query(this.pathBuffer, BigInt(this.pathRoom)));
    if (count > this.pathRoom) {
      this.growPathBuffer(count);
      this.checked(query(this.pathBuffer, BigInt(this.pathRoom)));
    }
    return this.int32sAt(this.pathBuffer, 2 * count);
  }

  // Runs query(pointer) for at most one cell written as a row, column pair, which returns 1 when it
  // wrote one: the cell, or null. The room is kept, as a unit's every step asks for one.
  pair(query) {
    if (this.pairBuffer === 0) this.pairBuffer = this.allocate(8);
    return this.checked(query(this.pairBuffer)) === 1 ? this.int32sAt(this.pairBuffer, 2) : null;
  }

  growPathBuffer(cells) {
    const pointer = this.allocate(8 * cells);
    this.core._free(this.pathBuffer);
    this.pathBuffer = pointer;
    this.pathRoom = cells;
  }
}
