// A field toward one goal cell: distances and next steps for the units of an engine that all head
// there, worked out by the library as cells ask. The C interface requires a field closed before
// its map, so the map keeps its open fields and closes them first (forget() is the map's part).
import {argumentError} from './errors.js';
import {int32} from './arguments.js';

export class VarnholtField {
  #heap;
  #handle;  // the varnholt_field*, 0 once closed
  #forget;  // tells the map the field is closed

  constructor(heap, handle, forget, goalRow, goalColumn) {
    this.#heap = heap;
    this.#handle = handle;
    this.#forget = forget;
    this.goalRow = goalRow;
    this.goalColumn = goalColumn;
  }

  get closed() {
    return this.#handle === 0;
  }

  #open() {
    if (this.#handle === 0) throw argumentError('The field is closed');
    return this.#handle;
  }

  next(row, column) {
    const handle = this.#open();
    const core = this.#heap.core;
    const [r, c] = [int32(row, 'row'), int32(column, 'column')];
    return this.#heap.pair((next) => core._varnholt_field_next(handle, r, c, next));
  }

  // The library answers both "not connected" and a failure with -1, and a success leaves the
  // last status as it was: next() tells them apart, answering a cell not connected with null at
  // once and throwing for a cell outside the map or blocked.
  distance(row, column) {
    const handle = this.#open();
    const steps = Number(this.#heap.core._varnholt_field_distance(handle, int32(row, 'row'), int32(column, 'column')));
    if (steps < 0) this.next(row, column);
    return steps;
  }

  path(row, column) {
    const handle = this.#open();
    const heap = this.#heap;
    const [r, c] = [int32(row, 'row'), int32(column, 'column')];
    return heap.pairs((cells, capacity) => heap.core._varnholt_field_path(handle, r, c, cells, capacity));
  }

  close() {
    if (this.#handle === 0) return;
    this.#heap.core._varnholt_field_close(this.#handle);
    this.#handle = 0;
    this.#forget(this);
  }
}
