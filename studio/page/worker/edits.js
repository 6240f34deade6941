// Edits of the map's cells and their history: rectangles of cells set or painted, strokes that
// gather them, and undo and redo by strokes. Each answer says which segments it touched, for the
// page to draw anew. The history is the worker's, beside the map, so that an undo is one request.
'use strict';

const WorkerEdits = (() => {
  const L = VarnholtLogic;
  const {checked, withBuffer, copyOut} = WorkerLibrary;

  let history = new L.History();
  let stroke = null;  // the changes of the stroke being painted

  // A map opened or made anew starts without a history.
  function forget() {
    history = new L.History();
    stroke = null;
  }

  function getCells(row, column, rows, columns) {
    const map = WorkerMap.handle();
    return withBuffer(rows * columns, null, (pointer) => {
      checked(WorkerLibrary.core._varnholt_get_cells(map, row, column, rows, columns, pointer));
      return copyOut(pointer, rows * columns);
    });
  }

  function putCells(row, column, rows, columns, cells) {
    const map = WorkerMap.handle();
    withBuffer(cells.length, cells, (pointer) => checked(WorkerLibrary.core._varnholt_set_cells(map, row, column, rows, columns, pointer)));
  }

  // The segments a change of cells may show anew: its own, and for their links those above and to
  // the left.
  function touched(row, column, rows, columns) {
    const k = L.kSegmentSide;
    return {i0: Math.floor(row / k), i1: Math.floor((row + rows - 1) / k), j0: Math.floor(column / k), j1: Math.floor((column + columns - 1) / k)};
  }

  function beginStroke() {
    stroke = [];
    return {};
  }

  function endStroke() {
    if (stroke) history.record(stroke);
    stroke = null;
    return {canUndo: history.canUndo(), canRedo: history.canRedo()};
  }

  // Changes made (each {row, column, rows, columns, before, after}), as part of the stroke being
  // painted or as a stroke of their own; what the answer says of them.
  function record(changes) {
    const ranges = changes.map((change) => touched(change.row, change.column, change.rows, change.columns));
    if (stroke) {
      stroke.push(...changes);
      return {touched: ranges};
    }
    history.record(changes);
    return {touched: ranges, canUndo: history.canUndo(), canRedo: history.canRedo()};
  }

  // Sets a rectangle of cells to Cells (one byte each, 0 open); the change made.
  function change(row, column, rows, columns, cells) {
    const before = getCells(row, column, rows, columns);
    putCells(row, column, rows, columns, cells);
    return {row, column, rows, columns, before, after: Uint8Array.from(cells, (value) => (value !== 0 ? 1 : 0))};
  }

  // Sets a rectangle of cells (one byte each, 0 open), as part of the stroke being painted or as a
  // stroke of their own.
  function setCells({row, column, rows, columns, blocked}) {
    WorkerMap.handle();
    if (!(blocked instanceof Uint8Array) || blocked.length !== rows * columns) {
      throw new Error(`Expected ${rows} x ${columns} bytes of cells`);
    }
    return record([change(row, column, rows, columns, blocked)]);
  }

  // Paints rectangles ({row, column, rows, columns}) all blocked or all open: the brush's dabs
  // since the last were painted, gathered by the page into one request.
  function paint({rects, blocked}) {
    WorkerMap.handle();
    return record(rects.map(({row, column, rows, columns}) => change(row, column, rows, columns, new Uint8Array(rows * columns).fill(blocked ? 1 : 0))));
  }

  function replay(changes) {
    if (!changes) return {touched: [], canUndo: history.canUndo(), canRedo: history.canRedo()};
    for (const change of changes) putCells(change.row, change.column, change.rows, change.columns, change.cells);
    return {
      touched: changes.map((change) => touched(change.row, change.column, change.rows, change.columns)),
      canUndo: history.canUndo(), canRedo: history.canRedo(),
    };
  }

  function undo() {
    WorkerMap.handle();
    return replay(history.undo());
  }

  function redo() {
    WorkerMap.handle();
    return replay(history.redo());
  }

  function inStroke() {
    return stroke !== null;
  }

  return {forget, inStroke, getCells, putCells, record, beginStroke, endStroke, setCells, paint, undo, redo};
})();
