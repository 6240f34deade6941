// Checks of what JavaScript hands the library, made before a call: the C interface takes 32-bit
// integers and bytes, and a fraction, a string or a number out of range would reach it changed.
import {argumentError} from './errors.js';

export function int32(value, name) {
  if (!Number.isInteger(value) || value < -0x80000000 || value > 0x7fffffff) {
    throw argumentError(`${name} is not a 32-bit integer: ${value}`);
  }
  return value;
}

// Bytes as a Uint8Array over the same memory: a typed array, a DataView or an ArrayBuffer.
export function bytesOf(data, name) {
  if (data instanceof Uint8Array) return data;
  if (ArrayBuffer.isView(data)) return new Uint8Array(data.buffer, data.byteOffset, data.byteLength);
  if (data instanceof ArrayBuffer) return new Uint8Array(data);
  throw argumentError(`${name} is not bytes: a Uint8Array, another typed array or an ArrayBuffer`);
}

export function cellsOfRectangle(blocked, rows, columns) {
  const bytes = bytesOf(blocked, 'blocked');
  // A negative side is left for the library to refuse as a rectangle outside the map.
  if (rows >= 0 && columns >= 0 && bytes.length !== rows * columns) {
    throw argumentError(`Expected ${rows} x ${columns} bytes of cells, not ${bytes.length}`);
  }
  return bytes;
}

// A path as row, column pairs: an Int32Array as it is, or any array of integers.
export function pathCells(cells) {
  if (!(cells instanceof Int32Array) && !Array.isArray(cells)) {
    throw argumentError('cells is not an Int32Array or an array of row, column pairs');
  }
  if (cells.length % 2 !== 0) throw argumentError(`A path of row, column pairs has an even length, not ${cells.length}`);
  return cells;
}

// Unsigned 32-bit words, such as Tiled's global tile ids with their flip bits: a Uint32Array as it
// is, or an array of such integers, which a Uint32Array would otherwise wrap or make 0 in silence.
export function wordsOf(values, name) {
  if (values instanceof Uint32Array) return values;
  if (Array.isArray(values) && values.every((value) => Number.isInteger(value) && value >= 0 && value <= 0xffffffff)) {
    return Uint32Array.from(values);
  }
  throw argumentError(`${name} is not a Uint32Array or an array of unsigned 32-bit integers`);
}
