// The studio's own logic, apart from the page and the library: where the view stands and which
// tiles and segments it shows, what a segment's waypoint record says, the colours of the cells and
// marks, brushes, what is said of a path, and the history of strokes. The page and its worker
// both hold this script; the tests run it under Node.
'use strict';

const VarnholtLogic = (() => {
  const kSegmentSide = 64;
  const kTilePixels = 256;
  const kMinLevel = -5;  // tiles hold at most 32 screen pixels a cell
  const kMaxLevel = 8;   // 256 cells a pixel
  // The view goes nearer than the finest tiles, which are then drawn stretched, unsmoothed: near
  // enough to read a single cell, its borders drawn.
  const kMinScale = 1 / 64;

  // ---- The view ----

  // Cells per screen pixel, and the map cell (fractional) at the canvas's top left.
  function fitView(cellsPerSide, width, height) {
    const scale = Math.max(cellsPerSide / Math.max(1, width), cellsPerSide / Math.max(1, height));
    return {scale, row: (cellsPerSide - height * scale) / 2, column: (cellsPerSide - width * scale) / 2};
  }

  function cellAt(view, x, y) {
    return {row: view.row + y * view.scale, column: view.column + x * view.scale};
  }

  function pixelOf(view, row, column) {
    return {x: (column - view.column) / view.scale, y: (row - view.row) / view.scale};
  }

  // The view zoomed by Factor (above 1 nearer) about the canvas pixel (x, y), which keeps its cell.
  function zoomAbout(view, x, y, factor) {
    const scale = Math.min(Math.max(view.scale / factor, kMinScale), 2 ** (kMaxLevel + 1));
    const at = cellAt(view, x, y);
    return {scale, row: at.row - y * scale, column: at.column - x * scale};
  }

  function panBy(view, dx, dy) {
    return {scale: view.scale, row: view.row - dy * view.scale, column: view.column - dx * view.scale};
  }

  // The tile level for a scale: tiles of level L hold 2^L cells a pixel, the finest at or below
  // the view's, so that tiles are drawn at most halved.
  function levelOf(scale) {
    return Math.min(kMaxLevel, Math.max(kMinLevel, Math.floor(Math.log2(scale) + 1e-9)));
  }

  function tileCells(level) {
    return kTilePixels * 2 ** level;
  }

  // The tiles that cover the canvas, nearest the middle first, each with the cells it holds.
  function visibleTiles(view, width, height, cellsPerSide) {
    const level = levelOf(view.scale);
    const cells = tileCells(level);
    const last = Math.ceil(cellsPerSide / cells) - 1;
    const first = (value) => Math.max(0, Math.floor(value / cells));
    const final = (value) => Math.min(last, Math.floor(value / cells));
    const top = first(view.row), bottom = final(view.row + height * view.scale);
    const left = first(view.column), right = final(view.column + width * view.scale);
    const tiles = [];
    for (let ty = top; ty <= bottom; ++ty) {
      for (let tx = left; tx <= right; ++tx) {
        tiles.push({level, tx, ty, row: ty * cells, column: tx * cells, cells});
      }
    }
    const middle = cellAt(view, width / 2, height / 2);
    const away = (tile) => Math.hypot(tile.row + cells / 2 - middle.row, tile.column + cells / 2 - middle.column);
    tiles.sort((a, b) => away(a) - away(b));
    return tiles;
  }

  function tileKey(tile) {
    return `${tile.level}/${tile.tx}/${tile.ty}`;
  }

  // Whether the tile holds any cell of segments I0 ... I1 by J0 ... J1.
  function tileTouches(tile, i0, i1, j0, j1) {
    const first = (cell) => Math.floor(cell / kSegmentSide);
    const last = (cell) => Math.floor((cell + tile.cells - 1) / kSegmentSide);
    return first(tile.row) <= i1 && last(tile.row) >= i0 && first(tile.column) <= j1 && last(tile.column) >= j0;
  }

  // The segments the canvas (Width x Height pixels) shows, at least in part: rows Top ... Bottom
  // by columns Left ... Right, none where the view lies wholly past the map.
  function segmentsInView(view, width, height, segmentsPerSide) {
    const k = kSegmentSide, last = segmentsPerSide - 1;
    return {
      top: Math.max(0, Math.floor(view.row / k)), left: Math.max(0, Math.floor(view.column / k)),
      bottom: Math.min(last, Math.floor((view.row + height * view.scale) / k)),
      right: Math.min(last, Math.floor((view.column + width * view.scale) / k)),
    };
  }

  // ---- What the cells show ----

  // Kept areas 1 to 4 in four hues, each in two shades by segment, so that the same area number
  // in two neighbouring segments is told apart; area 4, which the info map does not hold,
  // striped; erased areas in a colour of their own; blocked cells grey, apart from the dark
  // outside of the map.
  const kBlocked = [56, 60, 70];
  const kErased = [226, 106, 106];
  const kOpen = [214, 214, 206];  // open, with the area layer off
  const kAreas = [
    [[92, 150, 222], [64, 118, 196]],
    [[104, 190, 112], [76, 158, 88]],
    [[236, 178, 76], [206, 146, 52]],
    [[170, 120, 214], [140, 94, 186]],
  ];
  const kArea4Stripe = [250, 250, 250];
  const kOutside = '#121418';
  // What the overlay draws, in one place with the cells' colours so that the legend shows the
  // very colours the map does.
  const kMarks = {
    path: '#ff3ec8', corners: '#ffe600', start: '#3cff6e', goal: '#ff5a3c',
    split: '#ff9f1c', lost: '#ff2e2e', chosen: '#00e5ff', joining: '#ff4fd8',
    fixBlock: '#ffe600', fixOpen: '#7cff00',
  };

  // The field toward a goal as a heat map: the goal's neighbourhood hot, the farthest cell in view
  // cool, the colours between read along these stops; drawn translucent over the cells.
  const kHeat = [[255, 40, 20], [255, 200, 0], [60, 210, 110], [40, 110, 255], [150, 60, 230]];
  const kHeatAlpha = 0.65;
  function heatColour(distance, most) {
    const at = most <= 0 ? 0 : Math.min(1, distance / most) * (kHeat.length - 1);
    const k = Math.min(kHeat.length - 2, Math.floor(at)), t = at - k;
    return kHeat[k].map((value, c) => Math.round(value + (kHeat[k + 1][c] - value) * t));
  }

  // The colour of a cell: Area its kept area (0 none), Blocked, Shade 0 or 1 by its segment,
  // Stripe whether it lies on area 4's stripes, and the layers shown.
  function cellColour(blocked, area, shade, stripe, layers) {
    if (blocked) return kBlocked;
    if (!layers.areas) return kOpen;
    if (area === 0) return layers.erased ? kErased : kOpen;
    if (area === 4 && layers.area4 && stripe) return kArea4Stripe;
    return kAreas[area - 1][shade];
  }

  // Ground outside the component looked at is dimmed toward the outside's colour, so that the
  // component stands out and its neighbours are still told apart.
  function dimmed([r, g, b]) {
    return [Math.round(r * 0.3 + 18 * 0.7), Math.round(g * 0.3 + 20 * 0.7), Math.round(b * 0.3 + 24 * 0.7)];
  }

  // Part P of a split, in a hue of its own: turns of the golden angle, so that parts numbered
  // near each other are far apart in hue, however many parts there are.
  function partColour(p) {
    const hue = (p * 137.508 + 200) % 360;
    const f = (n) => {
      const k = (n + hue / 30) % 12;
      return Math.round(255 * (0.6 - 0.35 * Math.max(-1, Math.min(k - 3, 9 - k, 1))));
    };
    return [f(0), f(8), f(4)];
  }

  function segmentShade(i, j) {
    return (i + j) & 1;
  }

  // ---- Waypoint records ----

  // A segment's record as the waypoint map stores it: down links in bytes 0 and 1, right links in
  // 2 and 3, a column and row per kept area from byte 4, the area mask in byte 12 (area A at bit
  // A + 3), three zero bytes. The page and the worker read records here and nowhere else, so that
  // the layout is written down once.
  const kRecordBytes = 16;
  const kRecordDown = 0, kRecordRight = 2, kRecordPoints = 4, kRecordMask = 12;

  function hasArea(bytes, area) {
    return ((bytes[kRecordMask] >> (area + 3)) & 1) === 1;
  }

  // How many kept areas the record holds: a segment's regions 0 to that less one are its kept
  // areas, the rest erased.
  function keptAreas(bytes) {
    let kept = 0;
    for (let area = 1; area <= 4; ++area) kept += hasArea(bytes, area) ? 1 : 0;
    return kept;
  }

  // A segment's 16-byte record: the kept areas (from the mask), each one's waypoint as a cell of
  // the segment, and its links: [area, area of the segment below or to the right].
  function parseRecord(bytes) {
    const areas = [];
    for (let area = 1; area <= 4; ++area) {
      const point = kRecordPoints + 2 * (area - 1);
      if (hasArea(bytes, area)) areas.push({area, column: bytes[point], row: bytes[point + 1]});
    }
    const links = (at) => {
      const word = bytes[at] | (bytes[at + 1] << 8);
      const found = [];
      for (let a = 1; a <= 4; ++a) {
        for (let b = 1; b <= 4; ++b) {
          if ((word >> (4 * (a - 1) + (b - 1))) & 1) found.push([a, b]);
        }
      }
      return found;
    };
    return {areas, down: links(kRecordDown), right: links(kRecordRight)};
  }

  // The records of segments I0 ... I1 by J0 ... J1, as the worker sends them (row by row, one
  // after another in Bytes): Use(i, j, record) for each.
  function eachRecord({i0, i1, j0, j1, bytes}, use) {
    let at = 0;
    for (let i = i0; i <= i1; ++i) {
      for (let j = j0; j <= j1; ++j, at += kRecordBytes) use(i, j, parseRecord(bytes.subarray(at, at + kRecordBytes)));
    }
  }

  function recordText(record) {
    if (record.areas.length === 0) return 'no kept areas';
    const points = record.areas.map((a) => `area ${a.area} at (${a.row}, ${a.column})`).join(', ');
    const links = (list) => (list.length === 0 ? 'none' : list.map(([a, b]) => `${a}-${b}`).join(' '));
    return `${points}; links down ${links(record.down)}, right ${links(record.right)}`;
  }

  // ---- Brushes ----

  // The square of Size cells a side about a cell, within the map: {row, column, rows, columns}.
  function brushRect(row, column, size, cellsPerSide) {
    const top = Math.max(0, Math.floor(row - (size - 1) / 2));
    const left = Math.max(0, Math.floor(column - (size - 1) / 2));
    const bottom = Math.min(cellsPerSide, Math.floor(row - (size - 1) / 2) + size);
    const right = Math.min(cellsPerSide, Math.floor(column - (size - 1) / 2) + size);
    if (bottom <= top || right <= left) return null;
    return {row: top, column: left, rows: bottom - top, columns: right - left};
  }

  // The cells along a stroke from one cell to the next, so that a fast stroke leaves no gaps: a
  // step of at most half the brush.
  function strokeCells(from, to, size) {
    const steps = Math.max(1, Math.ceil(Math.hypot(to.row - from.row, to.column - from.column) / Math.max(1, size / 2)));
    const cells = [];
    for (let k = 1; k <= steps; ++k) {
      cells.push({row: Math.round(from.row + ((to.row - from.row) * k) / steps), column: Math.round(from.column + ((to.column - from.column) * k) / steps)});
    }
    return cells;
  }

  // The rectangle between two cells, both included, within the map.
  function rectBetween(a, b, cellsPerSide) {
    const clamp = (v) => Math.min(cellsPerSide - 1, Math.max(0, v));
    const top = clamp(Math.min(a.row, b.row)), bottom = clamp(Math.max(a.row, b.row));
    const left = clamp(Math.min(a.column, b.column)), right = clamp(Math.max(a.column, b.column));
    return {row: top, column: left, rows: bottom - top + 1, columns: right - left + 1};
  }

  // ---- Paths ----

  // What the path panel says of a path found toward Goal: its steps, corners and length smoothed,
  // the time taken, and where it ends when the goal cannot be reached. Cells and corners come as
  // row, column pairs, as the worker sends them; End is the path's last cell.
  function pathSummary({cells, corners, milliseconds}, goal) {
    const steps = cells.length / 2 - 1;
    let smoothed = 0;
    for (let k = 2; k < corners.length; k += 2) smoothed += Math.hypot(corners[k] - corners[k - 2], corners[k + 1] - corners[k - 1]);
    const end = [cells[cells.length - 2], cells[cells.length - 1]];
    const toward = end[0] === goal.row && end[1] === goal.column ? '' : `; the goal cannot be reached: to the nearest cell reached, (${end.join(', ')})`;
    return {steps, end, text: `${steps} steps, ${corners.length / 2} corners, ${smoothed.toFixed(1)} cells long smoothed; found in ${milliseconds.toFixed(1)} ms${toward}`};
  }

  // What the panel adds once the exact search between the same ends is in: its steps, and the
  // path's steps over them.
  function shortestSummary(steps, exact) {
    const ratio = exact.steps > 0 ? (steps / exact.steps).toFixed(3) : '1.000';
    return `; the shortest ${exact.steps} steps (${ratio}), exact search ${exact.milliseconds.toFixed(0)} ms`;
  }

  // ---- History ----

  // Strokes of changed cells: each a list of rectangles with the cells before and after, undone
  // in reverse order and done again in order. Past a budget of bytes the oldest are forgotten.
  class History {
    constructor(budget = 256 * 1024 * 1024) {
      this.done = [];
      this.undone = [];
      this.budget = budget;
      this.bytes = 0;
    }
    static size(stroke) {
      return stroke.reduce((sum, change) => sum + change.before.length + change.after.length, 0);
    }
    record(stroke) {
      if (stroke.length === 0) return;
      this.done.push(stroke);
      this.bytes += History.size(stroke);
      for (const dropped of this.undone) this.bytes -= History.size(dropped);
      this.undone = [];
      while (this.bytes > this.budget && this.done.length > 1) this.bytes -= History.size(this.done.shift());
    }
    // The changes to apply to undo the last stroke: each rectangle's cells before, last first.
    undo() {
      const stroke = this.done.pop();
      if (!stroke) return null;
      this.undone.push(stroke);
      return stroke.slice().reverse().map((change) => ({...change, cells: change.before}));
    }
    redo() {
      const stroke = this.undone.pop();
      if (!stroke) return null;
      this.done.push(stroke);
      return stroke.map((change) => ({...change, cells: change.after}));
    }
    canUndo() {
      return this.done.length > 0;
    }
    canRedo() {
      return this.undone.length > 0;
    }
  }

  return {
    kSegmentSide, kTilePixels, kMinLevel, kMaxLevel, kMinScale, kRecordBytes,
    kBlocked, kErased, kOpen, kAreas, kArea4Stripe, kOutside, kMarks, kHeat, kHeatAlpha, heatColour,
    fitView, cellAt, pixelOf, zoomAbout, panBy, levelOf, tileCells, visibleTiles, tileKey, tileTouches, segmentsInView,
    cellColour, dimmed, partColour, segmentShade, keptAreas, parseRecord, eachRecord, recordText,
    brushRect, strokeCells, rectBetween, pathSummary, shortestSummary, History,
  };
})();

if (typeof module === 'object') module.exports = VarnholtLogic;
