// The studio's worker: the library, compiled to WebAssembly, holds the map and answers the page's
// requests one at a time, in order, so that the page never waits on an analysis. Every answer is
// plain data; cells cross as typed arrays, handed over rather than copied where they are large.
'use strict';

const kFileLevel0 = 0, kFileInfo = 1, kFileWaypoint = 2;
const kNoRegion = 65535;

let core = null;  // the library's module
let map = 0;      // the varnholt_map*, 0 before the first map
let mapName = 'New1Level0Map.raw';
let cellsPerSide = 0;
let history = new VarnholtLogic.History();
let stroke = null;  // the changes of the stroke being painted

// ---- Calling the library ----

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

function requireMap() {
  if (map === 0) throw new Error('No map is open');
}

function replaceMap(next, name) {
  if (map !== 0) core._varnholt_close(map);
  map = next;
  mapName = name;
  cellsPerSide = core._varnholt_cells_per_side(map);
  history = new VarnholtLogic.History();
  stroke = null;
  return describe();
}

function describe() {
  return {name: mapName, cellsPerSide, segmentsPerSide: core._varnholt_segments_per_side(map)};
}

// The file name of one of the three files of a map named Name, as the converter names it.
function filePath(name, kind) {
  return withString(name, (path) => {
    const length = checked(core._varnholt_file_path(path, kind, 0, 0n));
    return withBuffer(length + 1, null, (out) => {
      checked(core._varnholt_file_path(path, kind, out, BigInt(length + 1)));
      return core.UTF8ToString(out);
    });
  });
}

// ---- Maps ----

function open({bytes, name, extras}) {
  const next = withBuffer(bytes.length, bytes, (pointer) => core._varnholt_analyse_memory(pointer, bytes.length));
  if (next === 0) throw failure();
  const opened = replaceMap(next, name || mapName);
  opened.notes = (extras || []).map((extra) => comparePair(extra));
  return opened;
}

// Whether a file dropped beside the map is the info or waypoint map the converter makes of it.
function comparePair(extra) {
  const kinds = [[kFileInfo, 'info map'], [kFileWaypoint, 'waypoint map']];
  const found = kinds.find(([kind]) => filePath(mapName, kind) === extra.name);
  if (!found) {
    return `${extra.name} is neither ${filePath(mapName, kFileInfo)} nor ${filePath(mapName, kFileWaypoint)}, the names of this map's pair`;
  }
  const [kind, what] = found;
  const result = withBuffer(extra.bytes.length, extra.bytes, (data) => withBuffer(256, null, (text) => {
    const length = Number(core._varnholt_compare_memory(map, kind, data, extra.bytes.length, text, 256n));
    return length < 0 ? failure().message : length === 0 ? '' : core.UTF8ToString(text);
  }));
  return result === ''
    ? `${extra.name} is the ${what} the converter makes of this map`
    : `${extra.name} is not the ${what} the converter makes of this map: ${result}`;
}

function create({cellsPerSide: side, blocked, name}) {
  const next = core._varnholt_create(side, blocked ? 1 : 0);
  if (next === 0) throw failure();
  return replaceMap(next, name || 'New1Level0Map.raw');
}

// The three files as the map now stands, named after Name where given (the map is named so from
// then on).
function files({name}) {
  requireMap();
  if (name) mapName = name;
  const bytesOf = (kind) => {
    const size = checked(core._varnholt_write_memory(map, kind, 0, 0n));
    return withBuffer(size, null, (pointer) => {
      checked(core._varnholt_write_memory(map, kind, pointer, BigInt(size)));
      return copyOut(pointer, size);
    });
  };
  const level0 = bytesOf(kFileLevel0), info = bytesOf(kFileInfo), waypoint = bytesOf(kFileWaypoint);
  return {
    level0, info, waypoint,
    names: {level0: mapName, info: filePath(mapName, kFileInfo), waypoint: filePath(mapName, kFileWaypoint)},
    transfer: [level0.buffer, info.buffer, waypoint.buffer],
  };
}

// ---- What the page draws ----

// The regions of segment (i, j), a value per cell (kNoRegion where blocked), and its kept areas.
function segmentRegions(i, j, regionsPointer, recordPointer) {
  checked(core._varnholt_segment_regions(map, i, j, regionsPointer));
  checked(core._varnholt_segment_record(map, i, j, recordPointer));
  const kept = VarnholtLogic.keptAreas(core.HEAPU8.subarray(recordPointer, recordPointer + VarnholtLogic.kRecordBytes));
  return {regions: new Uint16Array(core.HEAPU8.buffer, regionsPointer, 4096), kept};
}

// The colours of a segment's cells as pixel words, at kind * 2 + stripe: kind 0 erased, 1 to 4 the
// kept areas, 5 blocked; stripe 1 on area 4's stripes.
function fillPalette(palette, shade, layers) {
  for (let kind = 0; kind <= 5; ++kind) {
    for (let stripe = 0; stripe < 2; ++stripe) {
      const [r, g, b] = VarnholtLogic.cellColour(kind === 5, kind === 5 ? 0 : kind, shade, stripe === 1, layers);
      palette[kind * 2 + stripe] = (r | (g << 8) | (b << 16) | (255 << 24)) >>> 0;
    }
  }
}

// The pixels of a tile, RGBA: at level L each pixel samples the cell in the middle of its 2^L x
// 2^L cells, or below level 0 each cell fills 2^-L x 2^-L pixels.
function tile({level, tx, ty, layers}) {
  requireMap();
  const size = VarnholtLogic.kTilePixels;
  const cells = VarnholtLogic.tileCells(level);
  const step = 2 ** level;
  const pixels = new Uint8ClampedArray(size * size * 4);
  const row0 = ty * cells, column0 = tx * cells;
  const sample = (pixel) => Math.floor(pixel * step + (step > 1 ? step / 2 : 0));
  return withBuffer(4096 * 2 + 16, null, (pointer) => {
    const recordPointer = pointer + 8192;
    const k = VarnholtLogic.kSegmentSide;
    const firstI = Math.floor(row0 / k), lastI = Math.min(cellsPerSide - 1, row0 + cells - 1) / k | 0;
    const firstJ = Math.floor(column0 / k), lastJ = Math.min(cellsPerSide - 1, column0 + cells - 1) / k | 0;
    // The pixels whose sampled cell lies in each segment row and column, found once: for each,
    // the pixels and their cells within the segment.
    const pixelsIn = (first, origin) => {
      const ranges = [];
      for (let p = 0; p < size; ++p) {
        const cell = origin + sample(p);
        if (cell >= cellsPerSide) break;
        const segment = Math.floor(cell / k) - first;
        const range = (ranges[segment] = ranges[segment] || {pixels: [], cells: []});
        range.pixels.push(p);
        range.cells.push(cell % k);
      }
      return ranges;
    };
    const rows = pixelsIn(firstI, row0), columns = pixelsIn(firstJ, column0);
    // The page's platforms are little-endian, so a pixel's RGBA bytes are one word R | G << 8 | ...
    const words = new Uint32Array(pixels.buffer);
    const palette = new Uint32Array(12);
    for (let i = firstI; i <= lastI; ++i) {
      const rowPixels = rows[i - firstI];
      if (!rowPixels) continue;
      for (let j = firstJ; j <= lastJ; ++j) {
        const columnPixels = columns[j - firstJ];
        if (!columnPixels) continue;
        const {regions, kept} = segmentRegions(i, j, pointer, recordPointer);
        fillPalette(palette, VarnholtLogic.segmentShade(i, j), layers);
        const xs = columnPixels.pixels, cs = columnPixels.cells;
        for (let a = 0; a < rowPixels.pixels.length; ++a) {
          const y = rowPixels.pixels[a], line = rowPixels.cells[a] * k, out = y * size;
          const diagonal = tx * size + ty * size + y;
          for (let b = 0; b < xs.length; ++b) {
            const region = regions[line + cs[b]];
            const kind = region === kNoRegion ? 5 : region < kept ? region + 1 : 0;
            const stripe = ((diagonal + xs[b]) & 3) === 0 ? 1 : 0;
            words[out + xs[b]] = palette[kind * 2 + stripe];
          }
        }
      }
    }
    return {pixels, transfer: [pixels.buffer]};
  });
}

// The waypoint records of segments I0 ... I1 by J0 ... J1, 16 bytes each, row by row.
function records({i0, i1, j0, j1}) {
  requireMap();
  const count = (i1 - i0 + 1) * (j1 - j0 + 1);
  const bytes = new Uint8Array(16 * count);
  withBuffer(16, null, (pointer) => {
    let at = 0;
    for (let i = i0; i <= i1; ++i) {
      for (let j = j0; j <= j1; ++j, at += 16) {
        checked(core._varnholt_segment_record(map, i, j, pointer));
        bytes.set(core.HEAPU8.subarray(pointer, pointer + 16), at);
      }
    }
  });
  return {bytes, transfer: [bytes.buffer]};
}

function hover({row, column}) {
  requireMap();
  const k = VarnholtLogic.kSegmentSide;
  const i = Math.floor(row / k), j = Math.floor(column / k);
  return withBuffer(4096 * 2 + 16, null, (pointer) => {
    const {regions, kept} = segmentRegions(i, j, pointer, pointer + 8192);
    const region = regions[(row % k) * k + (column % k)];
    const record = VarnholtLogic.parseRecord(core.HEAPU8.slice(pointer + 8192, pointer + 8208));
    const what = region === kNoRegion ? 'blocked'
      : region < kept ? `open, area ${region + 1}, region ${region}`
      : `open, erased area (region ${region})`;
    return {text: `cell (${row}, ${column}) ${what}; segment (${i}, ${j}): ${VarnholtLogic.recordText(record)}`};
  });
}

// ---- Paths ----

// Calls Query(cells, capacity) to learn the count, then again with room; the cells as pairs.
function cellsOf(query) {
  const count = checked(query(0, 0n));
  if (count === 0) return new Int32Array(0);
  return withBuffer(count * 8, null, (pointer) => {
    checked(query(pointer, BigInt(count)));
    return new Int32Array(core.HEAPU8.slice(pointer, pointer + count * 8).buffer);
  });
}

function smooth(cells) {
  const count = cells.length / 2;
  if (count === 0) return new Int32Array(0);
  return withBuffer(cells.byteLength, new Uint8Array(cells.buffer), (path) =>
    cellsOf((out, capacity) => core._varnholt_smooth_path(map, path, BigInt(count), out, capacity)));
}

// The path toward the goal (to the nearest cell reached where the goal cannot be), its corners
// and the time taken.
function path({row0, column0, row1, column1}) {
  requireMap();
  const started = performance.now();
  const cells = cellsOf((out, capacity) => core._varnholt_find_path_toward(map, row0, column0, row1, column1, out, capacity));
  const corners = smooth(cells);
  const milliseconds = performance.now() - started;
  return {cells, corners, milliseconds, transfer: [cells.buffer, corners.buffer]};
}

function findPath({row0, column0, row1, column1}) {
  requireMap();
  const cells = cellsOf((out, capacity) => core._varnholt_find_path(map, row0, column0, row1, column1, out, capacity));
  const pairs = [];
  for (let k = 0; k < cells.length; k += 2) pairs.push([cells[k], cells[k + 1]]);
  return pairs;
}

function shortest({row0, column0, row1, column1}) {
  requireMap();
  const started = performance.now();
  const count = checked(core._varnholt_shortest_path_cells(map, row0, column0, row1, column1));
  return {steps: count - 1, milliseconds: performance.now() - started};
}

// ---- Edits ----

function getCells(row, column, rows, columns) {
  return withBuffer(rows * columns, null, (pointer) => {
    checked(core._varnholt_get_cells(map, row, column, rows, columns, pointer));
    return copyOut(pointer, rows * columns);
  });
}

function putCells(row, column, rows, columns, cells) {
  withBuffer(cells.length, cells, (pointer) => checked(core._varnholt_set_cells(map, row, column, rows, columns, pointer)));
}

// The segments a change of cells may show anew: its own, and for their links those above and to
// the left.
function touched(row, column, rows, columns) {
  const k = VarnholtLogic.kSegmentSide;
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

// Sets a rectangle of cells (one byte each, 0 open), as part of the stroke being painted or as a
// stroke of its own.
function setCells({row, column, rows, columns, blocked}) {
  requireMap();
  if (!(blocked instanceof Uint8Array) || blocked.length !== rows * columns) {
    throw new Error(`Expected ${rows} x ${columns} bytes of cells`);
  }
  const before = getCells(row, column, rows, columns);
  putCells(row, column, rows, columns, blocked);
  const after = Uint8Array.from(blocked, (value) => (value !== 0 ? 1 : 0));
  const change = {row, column, rows, columns, before, after};
  if (stroke) {
    stroke.push(change);
    return {touched: touched(row, column, rows, columns)};
  }
  history.record([change]);
  return {touched: touched(row, column, rows, columns), canUndo: history.canUndo(), canRedo: history.canRedo()};
}

// Fills the cells 4-connected to (row, column) that are as it is, within the window given.
function fill({row, column, blocked, window}) {
  requireMap();
  const cells = getCells(window.row, window.column, window.rows, window.columns);
  const filled = VarnholtLogic.floodFill(cells, window.rows, window.columns, row - window.row, column - window.column, blocked);
  if (filled.count === 0) return {touched: null, count: 0};
  const result = setCells({...window, blocked: filled.cells});
  return {...result, count: filled.count};
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
  requireMap();
  return replay(history.undo());
}

function redo() {
  requireMap();
  return replay(history.redo());
}

// ---- The survey ----

function survey({splitCapacity, lostCapacity}) {
  requireMap();
  const surveyBytes = 16 * 8;
  const splitBytes = 64;  // varnholt_split: an int64, then 14 int32
  return withBuffer(surveyBytes + splitBytes * splitCapacity + 8 * lostCapacity, null, (pointer) => {
    const splitsPointer = pointer + surveyBytes, lostPointer = splitsPointer + splitBytes * splitCapacity;
    checked(core._varnholt_survey_map(map, pointer, splitsPointer, BigInt(splitCapacity), lostPointer, BigInt(lostCapacity)));
    const numbers = new BigInt64Array(core.HEAPU8.buffer, pointer, 16);
    const names = ['filledOpen', 'filledBlocked', 'explicit', 'areasFound', 'areasKept', 'segmentsOverFour',
      'erasedCells', 'segmentsWithArea4', 'area4Cells', 'downLinks', 'rightLinks', 'gridComponents',
      'graphComponents', 'lostComponents', 'lostCells', 'splitComponents'];
    const result = {};
    names.forEach((name, k) => { result[name] = Number(numbers[k]); });
    result.splits = [];
    for (let k = 0; k < Math.min(splitCapacity, result.splitComponents); ++k) {
      const at = splitsPointer + splitBytes * k;
      const words = new Int32Array(core.HEAPU8.buffer, at + 8, (splitBytes - 8) / 4);
      const parts = Number(new BigInt64Array(core.HEAPU8.buffer, at, 1)[0]);
      const partCells = [], erasedCells = [];
      for (let c = 0; c < words[0]; ++c) partCells.push([words[1 + 2 * c], words[2 + 2 * c]]);
      for (let c = 0; c < words[7]; ++c) erasedCells.push([words[8 + 2 * c], words[9 + 2 * c]]);
      result.splits.push({parts, partCells, erasedCells});
    }
    const lost = new Int32Array(core.HEAPU8.buffer, lostPointer, 2 * lostCapacity);
    result.lost = [];
    for (let k = 0; k < Math.min(lostCapacity, result.lostComponents); ++k) result.lost.push([lost[2 * k], lost[2 * k + 1]]);
    return result;
  });
}

// ---- Requests ----

const kOperations = {open, create, files, tile, records, hover, path, findPath, shortest, beginStroke, endStroke, setCells, fill, undo, redo, survey};
const kEdits = new Set(['setCells', 'fill', 'undo', 'redo']);

// An edit comes with the tiles the page shows; those it changed are drawn anew in the same answer,
// with the records of the segments in view it may have changed, so that the stroke shows in the
// frame after it, not after a request for each tile and one for the records.
function withTiles(result, shown) {
  if (!shown || !result || !result.touched) return result;
  const ranges = Array.isArray(result.touched) ? result.touched : [result.touched];
  if (ranges.length === 0 || shown.tiles.length === 0) return result;
  result.tiles = [];
  result.transfer = result.transfer || [];
  const k = VarnholtLogic.kSegmentSide, last = cellsPerSide / k - 1;
  const view = {i0: last, i1: 0, j0: last, j1: 0};
  for (const wanted of shown.tiles) {
    const cells = VarnholtLogic.tileCells(wanted.level);
    const area = {row: wanted.ty * cells, column: wanted.tx * cells, cells};
    Object.assign(view, {
      i0: Math.min(view.i0, area.row / k | 0), i1: Math.max(view.i1, Math.min(last, (area.row + cells - 1) / k | 0)),
      j0: Math.min(view.j0, area.column / k | 0), j1: Math.max(view.j1, Math.min(last, (area.column + cells - 1) / k | 0)),
    });
    if (!ranges.some((range) => VarnholtLogic.tileTouches(area, range.i0, range.i1, range.j0, range.j1))) continue;
    const {pixels} = tile({...wanted, layers: shown.layers});
    result.tiles.push({...wanted, pixels});
    result.transfer.push(pixels.buffer);
  }
  const changed = {
    i0: Math.max(view.i0, Math.min(...ranges.map((range) => range.i0)) - 1), i1: Math.min(view.i1, Math.max(...ranges.map((range) => range.i1))),
    j0: Math.max(view.j0, Math.min(...ranges.map((range) => range.j0)) - 1), j1: Math.min(view.j1, Math.max(...ranges.map((range) => range.j1))),
  };
  if (changed.i0 <= changed.i1 && changed.j0 <= changed.j1) {
    const {bytes} = records(changed);
    result.records = {...changed, bytes};
    result.transfer.push(bytes.buffer);
  }
  return result;
}

const started = createVarnholt().then((module) => { core = module; });

self.onmessage = (event) => {
  const {id, operation, argument} = event.data;
  started.then(() => {
    const handler = kOperations[operation];
    if (!handler) throw new Error(`Unknown request: ${operation}`);
    const result = kEdits.has(operation) ? withTiles(handler(argument || {}), argument && argument.shown) : handler(argument || {});
    const transfer = (result && result.transfer) || [];
    if (result && result.transfer) delete result.transfer;
    self.postMessage({id, ok: true, result}, transfer);
  }).catch((error) => {
    self.postMessage({id, ok: false, error: String((error && error.message) || error)});
  });
};
