// Fixes for splits: the cells the library says mend a split, the fewest to block and the fewest
// to open, and a fix applied as one edit. A fix's cells are scattered over the split's ground, so
// they are set a segment at a time, each segment's cells within their own bounding box, never as
// one rectangle over the whole split that would read and keep most of the map for its undo.
'use strict';

const WorkerFixes = (() => {
  const kSide = 64;
  // The kinds varnholt.h names: VARNHOLT_FIX_OPEN and VARNHOLT_FIX_BLOCK.
  const kOpen = 0, kBlock = 1;

  function fixOf(index, kind) {
    const map = WorkerMap.handle();
    const {core, cellsOf} = WorkerLibrary;
    return cellsOf((cells, capacity) => core._varnholt_split_fix(map, BigInt(index), kind, cells, capacity));
  }

  // Both fixes of split Index (in the survey's order), each as row, column pairs; empty where the
  // library finds none of that kind.
  function fixes({index}) {
    const block = fixOf(index, kBlock), open = fixOf(index, kOpen);
    return {index, block, open, transfer: [block.buffer, open.buffer]};
  }

  // Cells (row, column pairs) gathered by segment: for each, the bounding box of its cells
  // {row, column, rows, columns} and the cells' offsets within it. Pure: the tests give it cells.
  function bySegment(cells) {
    const groups = new Map();
    for (let k = 0; k < cells.length; k += 2) {
      const row = cells[k], column = cells[k + 1];
      const key = `${Math.floor(row / kSide)},${Math.floor(column / kSide)}`;
      const group = groups.get(key) || {top: row, bottom: row, left: column, right: column, cells: []};
      group.top = Math.min(group.top, row);
      group.bottom = Math.max(group.bottom, row);
      group.left = Math.min(group.left, column);
      group.right = Math.max(group.right, column);
      group.cells.push([row, column]);
      groups.set(key, group);
    }
    return [...groups.values()].map(({top, bottom, left, right, cells: inside}) => {
      const columns = right - left + 1;
      return {row: top, column: left, rows: bottom - top + 1, columns, offsets: inside.map(([r, c]) => (r - top) * columns + (c - left))};
    });
  }

  // Sets Cells (row, column pairs) blocked or open, as a stroke of its own: undo takes the whole
  // fix back. {touched, count, canUndo, canRedo}.
  function apply({cells, blocked}) {
    WorkerMap.handle();
    const value = blocked ? 1 : 0;
    const changes = bySegment(cells).map(({row, column, rows, columns, offsets}) => {
      const before = WorkerEdits.getCells(row, column, rows, columns);
      const after = before.slice();
      for (const at of offsets) after[at] = value;
      WorkerEdits.putCells(row, column, rows, columns, after);
      return {row, column, rows, columns, before, after};
    });
    return {...WorkerEdits.record(changes), count: cells.length / 2};
  }

  return {fixes, bySegment, apply};
})();

if (typeof module === 'object') module.exports = WorkerFixes;
