// The field toward a goal (varnholt_field_*): the goal set by a click, and the distances and next
// steps of the cells the page shows, worked out as the view asks for them. The library's field
// follows the map's edits by itself; it is closed before the map it belongs to.
'use strict';

const WorkerField = (() => {
  const {failure, withBuffer} = WorkerLibrary;
  const kMostSamples = 256;  // a side of the view: one cell asked for each block beyond that
  let field = 0;
  let goal = null;

  function forget() {
    if (field !== 0) WorkerLibrary.core._varnholt_field_close(field);
    field = 0;
    goal = null;
    return {};
  }

  function setGoal({row, column}) {
    const next = WorkerLibrary.core._varnholt_field_create(WorkerMap.handle(), row, column);
    if (next === 0) throw failure();
    forget();
    field = next;
    goal = {row, column};
    return {goal};
  }

  // The distances of the cells in the rectangle Top, Left, Rows x Columns, one cell (the block's
  // top left) a Step x Step block so that a view of the whole map costs no more than 256 x 256
  // questions: -1 where blocked or not joined to the goal. With Step 1 and Arrows, each cell's next
  // step too: 0 none, 1 up, 2 down, 3 left, 4 right.
  function view({top, left, rows, columns, arrows}) {
    if (field === 0) throw new Error('No goal is set');
    const core = WorkerLibrary.core;
    const side = WorkerMap.side();
    const step = Math.max(1, Math.ceil(Math.max(rows, columns) / kMostSamples));
    const first = {row: Math.max(0, top - (top % step)), column: Math.max(0, left - (left % step))};
    const down = Math.max(0, Math.ceil((Math.min(side, top + rows) - first.row) / step));
    const across = Math.max(0, Math.ceil((Math.min(side, left + columns) - first.column) / step));
    const distances = new Int32Array(down * across);
    const next = new Uint8Array(arrows && step === 1 ? down * across : 0);
    let most = 0;
    withBuffer(8, null, (pointer) => {
      for (let r = 0; r < down; ++r) {
        for (let c = 0; c < across; ++c) {
          const row = first.row + r * step, column = first.column + c * step;
          const distance = Number(core._varnholt_field_distance(field, row, column));
          distances[r * across + c] = distance;
          most = Math.max(most, distance);
          if (next.length === 0 || distance <= 0) continue;
          if (core._varnholt_field_next(field, row, column, pointer) !== 1) continue;
          const to = new Int32Array(core.HEAPU8.buffer, pointer, 2);
          next[r * across + c] = to[0] < row ? 1 : to[0] > row ? 2 : to[1] < column ? 3 : 4;
        }
      }
    });
    return {goal, top: first.row, left: first.column, step, rows: down, columns: across, most, distances, next, transfer: [distances.buffer, next.buffer]};
  }

  // One cell's distance, for the automation interface: -1 where not joined.
  function distance({row, column}) {
    if (field === 0) throw new Error('No goal is set');
    return {distance: Number(WorkerLibrary.core._varnholt_field_distance(field, row, column))};
  }

  WorkerMap.whenClosing(forget);
  return {setGoal, view, distance, forget};
})();
