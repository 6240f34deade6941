// The studio's own logic under Node: tiles against a cell-by-cell model of the view, records
// against bytes made by hand, colours told apart, and the history of strokes against a model map
// that every change is applied to. (Fills are components.test.js's.)
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const L = require('../page/logic.js');

test('the tiles in view cover every pixel of the canvas, once each, at the level of the scale', () => {
  const cellsPerSide = 4096;
  for (const scale of [1 / 32, 1 / 3, 1, 2.5, 16, 40]) {
    const view = {scale, row: 333.25, column: -120.5};
    const width = 700, height = 410;
    const tiles = L.visibleTiles(view, width, height, cellsPerSide);
    const level = L.levelOf(scale);
    assert.ok(2 ** level <= scale + 1e-9 && (scale < 2 ** (level + 1) || level === L.kMaxLevel));
    const keys = new Set(tiles.map(L.tileKey));
    assert.equal(keys.size, tiles.length);
    for (let y = 0; y < height; y += 7) {
      for (let x = 0; x < width; x += 7) {
        const cell = L.cellAt(view, x, y);
        if (cell.row < 0 || cell.column < 0 || cell.row >= cellsPerSide || cell.column >= cellsPerSide) continue;
        const holding = tiles.filter((t) => cell.row >= t.row && cell.row < t.row + t.cells && cell.column >= t.column && cell.column < t.column + t.cells);
        assert.equal(holding.length, 1, `scale ${scale}, pixel (${x}, ${y})`);
      }
    }
  }
});

test('zooming keeps the cell under the pointer, and panning moves the map with it', () => {
  let view = L.fitView(16384, 800, 600);
  assert.ok(Math.abs(view.scale - 16384 / 600) < 1e-9);
  const before = L.cellAt(view, 123, 456);
  view = L.zoomAbout(view, 123, 456, 7.5);
  const after = L.cellAt(view, 123, 456);
  assert.ok(Math.abs(before.row - after.row) < 1e-6 && Math.abs(before.column - after.column) < 1e-6);
  const moved = L.panBy(view, 10, -4);
  const there = L.pixelOf(moved, after.row, after.column);
  assert.ok(Math.abs(there.x - 133) < 1e-6 && Math.abs(there.y - 452) < 1e-6);
  // Nearer than the finest tiles, near enough to read a single cell, and no nearer.
  const far = L.zoomAbout(view, 0, 0, 1e9);
  assert.equal(far.scale, L.kMinScale);
  assert.ok(L.kMinScale < 2 ** L.kMinLevel && 1 / L.kMinScale >= 48);
});

test('a tile touches exactly the segments its cells lie in', () => {
  const tile = {row: 256, column: 512, cells: 128};  // segments 4 and 5 down, 8 and 9 across
  assert.ok(L.tileTouches(tile, 4, 4, 8, 8));
  assert.ok(L.tileTouches(tile, 5, 7, 9, 12));
  assert.ok(!L.tileTouches(tile, 6, 9, 8, 9));
  assert.ok(!L.tileTouches(tile, 4, 5, 10, 11));
  assert.ok(!L.tileTouches(tile, 0, 3, 0, 20));
});

test('a waypoint record reads as the waypoint map lays it out', () => {
  const bytes = new Uint8Array(16);
  // Area 1 below touches area 2 (bit 1); area 3 right touches area 4 (bit 4 * 2 + 3 = 11).
  bytes[0] = 0b10;
  bytes[3] = 1 << (11 - 8);
  bytes[4] = 5; bytes[5] = 9;      // area 1 at column 5, row 9
  bytes[8] = 63; bytes[9] = 0;     // area 3 at column 63, row 0
  bytes[12] = (1 << 4) | (1 << 6);  // areas 1 and 3
  const record = L.parseRecord(bytes);
  assert.deepEqual(record.areas, [{area: 1, column: 5, row: 9}, {area: 3, column: 63, row: 0}]);
  assert.deepEqual(record.down, [[1, 2]]);
  assert.deepEqual(record.right, [[3, 4]]);
  assert.equal(L.recordText(record), 'area 1 at (9, 5), area 3 at (0, 63); links down 1-2, right 3-4');
  assert.equal(L.recordText(L.parseRecord(new Uint8Array(16))), 'no kept areas');
});

test('cells show blocked, areas, area 4 and erased areas apart, and the layers switch them', () => {
  const all = {areas: true, area4: true, erased: true};
  const colours = new Set();
  for (const area of [0, 1, 2, 3, 4]) colours.add(String(L.cellColour(false, area, 0, false, all)));
  colours.add(String(L.cellColour(true, 0, 0, false, all)));
  assert.equal(colours.size, 6);
  assert.notDeepEqual(L.cellColour(false, 4, 0, true, all), L.cellColour(false, 4, 0, false, all));
  assert.deepEqual(L.cellColour(false, 4, 0, true, {...all, area4: false}), L.cellColour(false, 4, 0, false, all));
  assert.notDeepEqual(L.cellColour(false, 2, 0, false, all), L.cellColour(false, 2, 1, false, all));
  assert.deepEqual(L.cellColour(false, 0, 0, false, {...all, erased: false}), L.cellColour(false, 1, 0, false, {...all, areas: false}));
  // Ground about the ground looked at is darker; a split's parts in colours apart, and apart
  // from the next few parts'.
  for (const colour of [L.kAreas[0][0], L.kErased, L.kOpen]) assert.ok(L.dimmed(colour).every((value, k) => value < colour[k]));
  const parts = Array.from({length: 12}, (_, p) => L.partColour(p));
  for (let p = 0; p < parts.length; ++p) {
    for (let q = p + 1; q < Math.min(parts.length, p + 4); ++q) {
      assert.ok(parts[p].reduce((sum, value, k) => sum + Math.abs(value - parts[q][k]), 0) > 120, `parts ${p} and ${q}`);
    }
  }
});

test('brushes stay on the map and strokes leave no gaps', () => {
  assert.deepEqual(L.brushRect(10, 10, 5, 64), {row: 8, column: 8, rows: 5, columns: 5});
  assert.deepEqual(L.brushRect(0, 63, 4, 64), {row: 0, column: 61, rows: 2, columns: 3});
  assert.deepEqual(L.brushRect(5, 5, 1, 64), {row: 5, column: 5, rows: 1, columns: 1});
  assert.equal(L.brushRect(-10, -10, 4, 64), null);
  const size = 6;
  const cells = L.strokeCells({row: 0, column: 0}, {row: 40, column: -90}, size);
  assert.deepEqual(cells[cells.length - 1], {row: 40, column: -90});
  let last = {row: 0, column: 0};
  for (const cell of cells) {
    assert.ok(Math.hypot(cell.row - last.row, cell.column - last.column) <= size / 2 + 1);
    last = cell;
  }
  assert.deepEqual(L.rectBetween({row: 9, column: -3}, {row: 2, column: 70}, 64), {row: 2, column: 0, rows: 8, columns: 64});
});

test('undo and redo by strokes bring back the cells as they were, in any order of steps', () => {
  const side = 16;
  const map = new Uint8Array(side * side);
  const apply = (change) => {
    for (let r = 0; r < change.rows; ++r) {
      for (let c = 0; c < change.columns; ++c) map[(change.row + r) * side + change.column + c] = change.cells[r * change.columns + c];
    }
  };
  const read = (row, column, rows, columns) => Uint8Array.from({length: rows * columns}, (_, k) => map[(row + Math.floor(k / columns)) * side + column + (k % columns)]);
  const history = new L.History();
  const snapshots = [Uint8Array.from(map)];
  let seed = 3;
  const random = (n) => (seed = (seed * 48271) % 2147483647) % n;
  for (let s = 0; s < 12; ++s) {
    const stroke = [];
    for (let d = 0; d < 1 + random(4); ++d) {  // overlapping dabs
      const rows = 1 + random(6), columns = 1 + random(6);
      const row = random(side - rows + 1), column = random(side - columns + 1);
      const before = read(row, column, rows, columns);
      const after = Uint8Array.from({length: rows * columns}, () => random(2));
      apply({row, column, rows, columns, cells: after});
      stroke.push({row, column, rows, columns, before, after});
    }
    history.record(stroke);
    snapshots.push(Uint8Array.from(map));
  }
  let at = snapshots.length - 1;
  for (const step of 'uuuuurruuuuuuuuuuuurrrrrrrrrrrrrruu') {
    const changes = step === 'u' ? history.undo() : history.redo();
    if (!changes) {
      assert.equal(at, step === 'u' ? 0 : snapshots.length - 1);
      continue;
    }
    changes.forEach(apply);
    at += step === 'u' ? -1 : 1;
    assert.deepEqual(map, snapshots[at]);
  }
  // A new stroke after undoing drops what was undone.
  history.undo();
  history.record([{row: 0, column: 0, rows: 1, columns: 1, before: new Uint8Array(1), after: new Uint8Array(1)}]);
  assert.equal(history.canRedo(), false);
});

test('the history forgets its oldest strokes past its budget, never the last', () => {
  const history = new L.History(1000);
  const change = (size) => ({row: 0, column: 0, rows: 1, columns: size, before: new Uint8Array(size), after: new Uint8Array(size)});
  for (let k = 0; k < 10; ++k) history.record([change(200)]);
  let undone = 0;
  while (history.undo()) ++undone;
  assert.equal(undone, 2);
  const big = new L.History(10);
  big.record([change(100)]);
  assert.ok(big.canUndo());
});

test('the segments in view are those of the cells the canvas shows, on the map', () => {
  const segmentsPerSide = 32, cellsPerSide = segmentsPerSide * L.kSegmentSide;
  for (const view of [{scale: 0.5, row: 100.5, column: -40}, {scale: 3, row: 1500, column: 1700}, {scale: 40, row: -9000, column: 0}]) {
    const width = 640, height = 360;
    const range = L.segmentsInView(view, width, height, segmentsPerSide);
    const seen = new Set();
    const step = view.scale >= 8 ? 1 : 4;  // never a segment's width between two pixels looked at
    for (let y = 0; y <= height; y += step) {
      for (let x = 0; x <= width; x += step) {
        const cell = L.cellAt(view, x, y);
        if (cell.row < 0 || cell.column < 0 || cell.row >= cellsPerSide || cell.column >= cellsPerSide) continue;
        const i = Math.floor(cell.row / L.kSegmentSide), j = Math.floor(cell.column / L.kSegmentSide);
        assert.ok(i >= range.top && i <= range.bottom && j >= range.left && j <= range.right, `segment (${i}, ${j}) at (${x}, ${y})`);
        seen.add(`${i},${j}`);
      }
    }
    // And no wider: its corner segments are shown.
    assert.ok(seen.has(`${range.top},${range.left}`) && seen.has(`${range.bottom},${range.right}`), JSON.stringify(range));
  }
  const past = L.segmentsInView({scale: 1, row: 5000, column: 0}, 100, 100, 8);
  assert.ok(past.top > past.bottom);
});

test('a block of records reads record by record, and the kept areas are the mask\'s', () => {
  const bytes = new Uint8Array(L.kRecordBytes * 6);  // segments (3 ... 4) by (7 ... 9)
  for (let k = 0; k < 6; ++k) {
    bytes[k * L.kRecordBytes + 12] = (k << 4) & 0xf0;   // areas as the bits of k
    bytes[k * L.kRecordBytes + 4] = k;                  // area 1's column, where it is kept
  }
  const seen = [];
  L.eachRecord({i0: 3, i1: 4, j0: 7, j1: 9, bytes}, (i, j, record) => seen.push([i, j, record]));
  assert.deepEqual(seen.map(([i, j]) => [i, j]), [[3, 7], [3, 8], [3, 9], [4, 7], [4, 8], [4, 9]]);
  assert.deepEqual(seen.map(([, , record]) => record.areas.map((a) => a.area)), [[], [1], [2], [1, 2], [3], [1, 3]]);
  assert.deepEqual(seen[5][2].areas[0], {area: 1, column: 5, row: 0});
  for (let mask = 0; mask < 256; ++mask) {
    const record = new Uint8Array(L.kRecordBytes);
    record[12] = mask;
    assert.equal(L.keptAreas(record), L.parseRecord(record).areas.length, `mask ${mask}`);
  }
});

test('a path is told by its steps, corners and smoothed length, and where it ends short of the goal', () => {
  const cells = Int32Array.from([0, 0, 0, 1, 0, 2, 1, 2, 2, 2, 3, 2, 4, 2]);
  const corners = Int32Array.from([0, 0, 0, 2, 4, 2]);
  const reached = L.pathSummary({cells, corners, milliseconds: 1.26}, {row: 4, column: 2});
  assert.equal(reached.text, '6 steps, 3 corners, 6.0 cells long smoothed; found in 1.3 ms');
  assert.deepEqual([reached.steps, reached.end], [6, [4, 2]]);
  const short = L.pathSummary({cells, corners: Int32Array.from([0, 0, 4, 2]), milliseconds: 0}, {row: 9, column: 2});
  assert.equal(short.text, '6 steps, 2 corners, 4.5 cells long smoothed; found in 0.0 ms; the goal cannot be reached: to the nearest cell reached, (4, 2)');
  assert.equal(L.shortestSummary(6, {steps: 4, milliseconds: 12.5}), '; the shortest 4 steps (1.500), exact search 13 ms');
  assert.equal(L.shortestSummary(0, {steps: 0, milliseconds: 0.2}), '; the shortest 0 steps (1.000), exact search 0 ms');
});

test('the field\'s heat map runs from the first stop at the goal to the last at the farthest cell, through every stop between', () => {
  assert.deepEqual(L.heatColour(0, 40), L.kHeat[0]);
  assert.deepEqual(L.heatColour(40, 40), L.kHeat[L.kHeat.length - 1]);
  assert.deepEqual(L.heatColour(10, 40), L.kHeat[1]);
  assert.deepEqual(L.heatColour(5, 40), L.kHeat[0].map((value, c) => Math.round((value + L.kHeat[1][c]) / 2)));
  // A goal with nothing else in view, and a cell beyond the farthest asked, keep to the ends.
  assert.deepEqual(L.heatColour(0, 0), L.kHeat[0]);
  assert.deepEqual(L.heatColour(50, 40), L.kHeat[L.kHeat.length - 1]);
});
