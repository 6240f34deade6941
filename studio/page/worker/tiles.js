// What the page draws, as the worker makes it: the pixels of a tile, the waypoint records of a
// block of segments, the words under the pointer, and the tiles and records an edit changed, sent
// back with the edit's answer. Held together because all of them read a segment's regions and
// record out of the library the same way.
'use strict';

const WorkerTiles = (() => {
  const L = VarnholtLogic;
  const {checked, withBuffer} = WorkerLibrary;
  const kNoRegion = 65535;
  const kRegionsBytes = 4096 * 2;  // a segment's regions, a 16-bit value per cell

  // The regions of segment (i, j), a value per cell (kNoRegion where blocked), and its kept areas,
  // read into the buffer at Pointer: the regions, then the record.
  function segmentRegions(i, j, pointer) {
    const core = WorkerLibrary.core, map = WorkerMap.handle();
    const recordPointer = pointer + kRegionsBytes;
    checked(core._varnholt_segment_regions(map, i, j, pointer));
    checked(core._varnholt_segment_record(map, i, j, recordPointer));
    const record = core.HEAPU8.subarray(recordPointer, recordPointer + L.kRecordBytes);
    return {regions: new Uint16Array(core.HEAPU8.buffer, pointer, 4096), kept: L.keptAreas(record), record};
  }

  // The colours of a segment's cells as pixel words, at kind * 2 + stripe: kind 0 erased, 1 to 4 the
  // kept areas, 5 blocked; stripe 1 on area 4's stripes.
  function fillPalette(palette, shade, layers) {
    for (let kind = 0; kind <= 5; ++kind) {
      for (let stripe = 0; stripe < 2; ++stripe) {
        const [r, g, b] = L.cellColour(kind === 5, kind === 5 ? 0 : kind, shade, stripe === 1, layers);
        palette[kind * 2 + stripe] = (r | (g << 8) | (b << 16) | (255 << 24)) >>> 0;
      }
    }
  }

  // The pixels of a tile's side whose sampled cell lies in each segment row (or column), from the
  // tile's first cell Origin on: for each segment from the first, the pixels and their cells
  // within the segment. Found once a tile, not once a pixel.
  function pixelsBySegment(level, origin) {
    const size = L.kTilePixels, k = L.kSegmentSide, step = 2 ** level, side = WorkerMap.side();
    const first = Math.floor(origin / k);
    const sample = (pixel) => Math.floor(pixel * step + (step > 1 ? step / 2 : 0));
    const ranges = [];
    for (let p = 0; p < size; ++p) {
      const cell = origin + sample(p);
      if (cell >= side) break;
      const segment = Math.floor(cell / k) - first;
      const range = (ranges[segment] = ranges[segment] || {pixels: [], cells: []});
      range.pixels.push(p);
      range.cells.push(cell % k);
    }
    return ranges;
  }

  // Paints one segment's pixels of a tile into Words, a word a pixel; Diagonal counts the tile's
  // place along area 4's stripes.
  function paintSegment(words, palette, rows, columns, {regions, kept}, diagonal) {
    const size = L.kTilePixels, k = L.kSegmentSide;
    const xs = columns.pixels, cs = columns.cells;
    for (let a = 0; a < rows.pixels.length; ++a) {
      const y = rows.pixels[a], line = rows.cells[a] * k, out = y * size;
      for (let b = 0; b < xs.length; ++b) {
        const region = regions[line + cs[b]];
        const kind = region === kNoRegion ? 5 : region < kept ? region + 1 : 0;
        const stripe = ((diagonal + y + xs[b]) & 3) === 0 ? 1 : 0;
        words[out + xs[b]] = palette[kind * 2 + stripe];
      }
    }
  }

  // The pixels of a tile, RGBA: at level L each pixel samples the cell in the middle of its 2^L x
  // 2^L cells, or below level 0 each cell fills 2^-L x 2^-L pixels.
  function tile({level, tx, ty, layers}) {
    WorkerMap.handle();
    const size = L.kTilePixels, cells = L.tileCells(level), k = L.kSegmentSide;
    const pixels = new Uint8ClampedArray(size * size * 4);
    const row0 = ty * cells, column0 = tx * cells;
    const firstI = Math.floor(row0 / k), firstJ = Math.floor(column0 / k);
    const rows = pixelsBySegment(level, row0), columns = pixelsBySegment(level, column0);
    // The page's platforms are little-endian, so a pixel's RGBA bytes are one word R | G << 8 | ...
    const words = new Uint32Array(pixels.buffer);
    const palette = new Uint32Array(12);
    withBuffer(kRegionsBytes + L.kRecordBytes, null, (pointer) => {
      rows.forEach((rowPixels, di) => columns.forEach((columnPixels, dj) => {
        const segment = segmentRegions(firstI + di, firstJ + dj, pointer);
        fillPalette(palette, L.segmentShade(firstI + di, firstJ + dj), layers);
        paintSegment(words, palette, rowPixels, columnPixels, segment, tx * size + ty * size);
      }));
    });
    return {pixels, transfer: [pixels.buffer]};
  }

  // The waypoint records of segments I0 ... I1 by J0 ... J1, one after another, row by row, as
  // the logic's eachRecord reads them.
  function records({i0, i1, j0, j1}) {
    const map = WorkerMap.handle();
    const count = (i1 - i0 + 1) * (j1 - j0 + 1), size = L.kRecordBytes;
    const bytes = new Uint8Array(size * count);
    withBuffer(size, null, (pointer) => {
      let at = 0;
      for (let i = i0; i <= i1; ++i) {
        for (let j = j0; j <= j1; ++j, at += size) {
          checked(WorkerLibrary.core._varnholt_segment_record(map, i, j, pointer));
          bytes.set(WorkerLibrary.core.HEAPU8.subarray(pointer, pointer + size), at);
        }
      }
    });
    return {bytes, transfer: [bytes.buffer]};
  }

  function hover({row, column}) {
    WorkerMap.handle();
    const k = L.kSegmentSide;
    const i = Math.floor(row / k), j = Math.floor(column / k);
    return withBuffer(kRegionsBytes + L.kRecordBytes, null, (pointer) => {
      const {regions, kept, record} = segmentRegions(i, j, pointer);
      const region = regions[(row % k) * k + (column % k)];
      const what = region === kNoRegion ? 'blocked'
        : region < kept ? `open, area ${region + 1}, region ${region}`
        : `open, erased area (region ${region})`;
      return {text: `cell (${row}, ${column}) ${what}; segment (${i}, ${j}): ${L.recordText(L.parseRecord(record))}`};
    });
  }

  // The segments of the tiles the page shows, as far as the map reaches.
  function segmentsShown(tiles) {
    const k = L.kSegmentSide, last = WorkerMap.side() / k - 1;
    const view = {i0: last, i1: 0, j0: last, j1: 0};
    for (const wanted of tiles) {
      const cells = L.tileCells(wanted.level);
      const row = wanted.ty * cells, column = wanted.tx * cells;
      Object.assign(view, {
        i0: Math.min(view.i0, row / k | 0), i1: Math.max(view.i1, Math.min(last, (row + cells - 1) / k | 0)),
        j0: Math.min(view.j0, column / k | 0), j1: Math.max(view.j1, Math.min(last, (column + cells - 1) / k | 0)),
      });
    }
    return view;
  }

  // An edit comes with the tiles the page shows; those it changed are drawn anew in the same answer,
  // with the records of the segments in view it may have changed, so that the stroke shows in the
  // frame after it, not after a request for each tile and one for the records.
  function withTiles(result, shown) {
    if (!shown || !result || !result.touched) return result;
    const ranges = Array.isArray(result.touched) ? result.touched : [result.touched];
    if (ranges.length === 0 || shown.tiles.length === 0) return result;
    result.tiles = [];
    result.transfer = result.transfer || [];
    for (const wanted of shown.tiles) {
      const cells = L.tileCells(wanted.level);
      const area = {row: wanted.ty * cells, column: wanted.tx * cells, cells};
      if (!ranges.some((range) => L.tileTouches(area, range.i0, range.i1, range.j0, range.j1))) continue;
      const {pixels} = tile({...wanted, layers: shown.layers});
      result.tiles.push({...wanted, pixels});
      result.transfer.push(pixels.buffer);
    }
    const view = segmentsShown(shown.tiles);
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

  return {tile, records, hover, withTiles};
})();
