// What the page draws, as the worker makes it: the pixels of a tile (with the ground looked at
// standing out), the waypoint records of a block of segments, the words under the pointer, and
// the tiles and records an edit changed, sent back with the edit's answer. Held together because all of them read a segment's regions and
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
    const count = checked(core._varnholt_segment_regions(map, i, j, pointer));
    checked(core._varnholt_segment_record(map, i, j, recordPointer));
    const record = core.HEAPU8.subarray(recordPointer, recordPointer + L.kRecordBytes);
    return {regions: new Uint16Array(core.HEAPU8.buffer, pointer, 4096), count, kept: L.keptAreas(record), record};
  }

  const word = ([r, g, b]) => (r | (g << 8) | (b << 16) | (255 << 24)) >>> 0;
  const kJoiningColour = [0xff, 0x4f, 0xd8];

  // A region's colour as a pixel word, by its area (0 erased), the segment's shade, the stripe, and
  // what it is to the ground looked at: nothing (-1), outside it, erased in it, joining its parts,
  // or in part p. Kept for the layers last asked for: a tile of a large map paints thousands of
  // segments, and each region's colour would otherwise be worked out anew in each.
  const colourWords = new Map();
  let colourLayers = '';

  function colourWord(area, shade, stripe, code, several, layers) {
    const key = (((code + 1) * 5 + area) * 2 + shade) * 2 + stripe;
    let found = colourWords.get(key);
    if (found !== undefined) return found;
    let colour = L.cellColour(false, area, shade, stripe === 1, layers);
    if (code === WorkerInspect.kOutside) colour = L.dimmed(colour);
    else if (code === WorkerInspect.kJoining) colour = kJoiningColour;
    else if (several && code >= WorkerInspect.kFirstPart) colour = L.partColour(code - WorkerInspect.kFirstPart);
    colourWords.set(key, (found = word(colour)));
    return found;
  }

  // The colour of each region of segment (i, j) as pixel words, at region * 2 + stripe (stripe 1
  // on area 4's stripes), into Colours: kept areas, erased areas, and where a ground is looked at,
  // its parts in colours of their own where it has several, its joining erased areas marked and
  // all about it dimmed.
  function regionColours(colours, i, j, {count, kept}, layers) {
    const shade = L.segmentShade(i, j);
    const looking = WorkerInspect.active(), codes = looking ? WorkerInspect.codesOf(i * WorkerMap.segmentsPerSide() + j) : null;
    const several = WorkerInspect.partCount() > 1;
    for (let region = 0; region < count; ++region) {
      const area = region < kept ? region + 1 : 0;
      const code = !looking ? -1 : codes && region < codes.length ? codes[region] : WorkerInspect.kOutside;
      colours[region * 2] = colourWord(area, shade, 0, code, several, layers);
      colours[region * 2 + 1] = colourWord(area, shade, 1, code, several, layers);
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
  function paintSegment(words, colours, blocked, rows, columns, regions, diagonal) {
    const size = L.kTilePixels, k = L.kSegmentSide;
    const xs = columns.pixels, cs = columns.cells;
    for (let a = 0; a < rows.pixels.length; ++a) {
      const y = rows.pixels[a], line = rows.cells[a] * k, out = y * size;
      for (let b = 0; b < xs.length; ++b) {
        const region = regions[line + cs[b]];
        words[out + xs[b]] = region === kNoRegion ? blocked : colours[region * 2 + (((diagonal + y + xs[b]) & 3) === 0 ? 1 : 0)];
      }
    }
  }

  // Paints the tile (Level, Tx, Ty) into Pixels (RGBA), only its segments within Within (segment
  // rows i0 ... i1 by columns j0 ... j1) where given: at level L each pixel samples the cell in
  // the middle of its 2^L x 2^L cells, or below level 0 each cell fills 2^-L x 2^-L pixels.
  function paintTile({level, tx, ty, layers}, pixels, within) {
    WorkerMap.handle();
    const size = L.kTilePixels, cells = L.tileCells(level), k = L.kSegmentSide;
    const row0 = ty * cells, column0 = tx * cells;
    const firstI = Math.floor(row0 / k), firstJ = Math.floor(column0 / k);
    const rows = pixelsBySegment(level, row0), columns = pixelsBySegment(level, column0);
    // The page's platforms are little-endian, so a pixel's RGBA bytes are one word R | G << 8 | ...
    const words = new Uint32Array(pixels.buffer);
    const colours = new Uint32Array(2 * 2048), blocked = word(L.kBlocked);
    const inside = (i, j) => !within || (i >= within.i0 && i <= within.i1 && j >= within.j0 && j <= within.j1);
    const shown = `${JSON.stringify(layers)} ${WorkerInspect.partCount() > 1}`;
    if (shown !== colourLayers) {
      colourWords.clear();
      colourLayers = shown;
    }
    withBuffer(kRegionsBytes + L.kRecordBytes, null, (pointer) => {
      rows.forEach((rowPixels, di) => columns.forEach((columnPixels, dj) => {
        const i = firstI + di, j = firstJ + dj;
        if (!inside(i, j)) return;
        const segment = segmentRegions(i, j, pointer);
        regionColours(colours, i, j, segment, layers);
        paintSegment(words, colours, blocked, rowPixels, columnPixels, segment.regions, tx * size + ty * size);
      }));
    });
    return pixels;
  }

  function tile(wanted) {
    const pixels = paintTile(wanted, new Uint8ClampedArray(L.kTilePixels * L.kTilePixels * 4), null);
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
      const parsed = L.parseRecord(record);
      const text = VarnholtWords.cellText({row, column, i, j, blocked: region === kNoRegion, area: region < kept ? region + 1 : 0, record: parsed});
      return {text, record: `Segment ${i}, ${j} in the waypoint map: ${L.recordText(parsed)}`};
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

  return {paintTile, tile, records, hover, withTiles};
})();
