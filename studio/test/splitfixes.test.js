// The worker's gathering of a fix's cells by segment, under Node: each segment's cells set within
// their own bounding box, so that a fix whose cells lie far apart reads and keeps a few small
// rectangles, never the rectangle over all of them.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const WorkerFixes = require('../page/worker/fixes.js');

test('a fix\'s cells are set a segment at a time, each within the box of its own cells', () => {
  // Two cells in segment (0, 0), one in (0, 1) at its first column, one far off in (200, 200).
  const groups = WorkerFixes.bySegment(Int32Array.from([5, 60, 9, 62, 7, 64, 12850, 12830]));
  assert.deepEqual(groups, [
    {row: 5, column: 60, rows: 5, columns: 3, offsets: [0, 14]},
    {row: 7, column: 64, rows: 1, columns: 1, offsets: [0]},
    {row: 12850, column: 12830, rows: 1, columns: 1, offsets: [0]},
  ]);
  // Each cell is at its offset in its box, and every cell in exactly one box.
  const cells = [[5, 60], [9, 62], [7, 64], [12850, 12830]];
  const placed = groups.flatMap(({row, column, columns, offsets}) => offsets.map((at) => [row + Math.floor(at / columns), column + (at % columns)]));
  assert.deepEqual(placed, cells);
  assert.deepEqual(WorkerFixes.bySegment(new Int32Array(0)), []);
});
