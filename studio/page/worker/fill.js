// A fill: every cell joined to the one clicked by cells as it is, open or blocked, made blocked or
// open, however far the component reaches; never a part of it cut off where the view or a window
// ends. The component is found by segments (WorkerComponents), and set in rectangles of segments
// about it, so that the cells read and written, and kept for undo, are about the component's.
'use strict';

const WorkerFill = (() => {
  const C = WorkerComponents;
  const kSide = 64;
  // Cells read and set by one fill at most: beyond, a fill would hold hundreds of megabytes for
  // its undo.
  const kMostCells = 32 * 1024 * 1024;

  // The groups of a segment's cells a fill from a cell of that kind follows, read at Pointer.
  function labelsFor(blocked, pointer) {
    return (i, j) => {
      const regions = WorkerMap.regionsAt(i, j, pointer);
      return blocked ? C.blockedGroups(regions.labels) : regions;
    };
  }

  // LabelsOf with each segment's labels kept as first read, for up to kMostKept segments: the fill
  // reads every segment of the component again to set its cells, and would otherwise ask the
  // library for each segment's regions twice. Copied, as the library's answer lies in a buffer
  // that the next call overwrites.
  const kMostKept = 4096;  // 32 MB of labels
  function keeping(labelsOf) {
    const kept = new Map();
    return (i, j) => {
      const key = i * 65536 + j;
      const known = kept.get(key);
      if (known) return known;
      const {labels, count} = labelsOf(i, j);
      if (kept.size >= kMostKept) return {labels, count};
      const copy = {labels: labels.slice(), count};
      kept.set(key, copy);
      return copy;
    };
  }

  // The rectangles of segments the fill sets, {i0, i1, j0, j1}: the component's bounding box where
  // it is about as large as the component's rows (one call analyses the segments once; a row
  // at a time analyses each border between rows twice), else each segment row from the
  // component's first segment in it to its last, so that a long diagonal corridor does not
  // read and keep the whole map.
  function rectsOf(found, segmentsPerSide) {
    const rows = new Map();
    for (const key of found.segments.keys()) {
      const i = Math.floor(key / segmentsPerSide), j = key % segmentsPerSide;
      const span = rows.get(i);
      if (span) span[1] = Math.max(span[1], j); else rows.set(i, [j, j]);
    }
    const strips = [...rows].map(([i, [j0, j1]]) => ({i0: i, i1: i, j0, j1}));
    const {top, bottom, left, right} = C.extent(found, segmentsPerSide);
    const area = (rect) => (rect.i1 - rect.i0 + 1) * (rect.j1 - rect.j0 + 1);
    const box = {i0: top, i1: bottom, j0: left, j1: right};
    return area(box) <= 1.25 * strips.reduce((sum, strip) => sum + area(strip), 0) ? [box] : strips;
  }

  // Sets the cells of a segment's groups that are Members to Value, in Cells laid out Columns wide
  // from Origin. A function of its own, over typed arrays alone and a row at a time: inlined in
  // the loop over segments, with the index worked out per cell, it took twice as long on a noisy
  // map of 4096 cells a side.
  function setMembers(cells, origin, columns, labels, members, value) {
    const none = C.kNone;
    for (let r = 0; r < kSide; ++r) {
      const from = r * kSide, to = origin + r * columns;
      for (let c = 0; c < kSide; ++c) {
        const label = labels[from + c];
        if (label !== none && members[label] === 1) cells[to + c] = value;
      }
    }
  }

  // Sets the component's cells within a rectangle of segments to Value: the change.
  function fillRect(found, labelsOf, segmentsPerSide, {i0, i1, j0, j1}, value) {
    const row = i0 * kSide, column = j0 * kSide, rows = (i1 - i0 + 1) * kSide, columns = (j1 - j0 + 1) * kSide;
    const before = WorkerEdits.getCells(row, column, rows, columns);
    const cells = before.slice();
    for (let i = i0; i <= i1; ++i) {
      for (let j = j0; j <= j1; ++j) {
        const segment = found.segments.get(i * segmentsPerSide + j);
        if (!segment) continue;
        setMembers(cells, (i - i0) * kSide * columns + (j - j0) * kSide, columns, labelsOf(i, j).labels, segment.members, value);
      }
    }
    WorkerEdits.putCells(row, column, rows, columns, cells);
    return {row, column, rows, columns, before, after: cells};
  }

  // Fills from (Row, Column) with blocked cells (Blocked) or open ones: {touched, count} and, out
  // of a stroke, whether there is now something to undo and redo. A cell already as the fill
  // makes it changes nothing.
  function fill({row, column, blocked}) {
    WorkerMap.handle();
    const segmentsPerSide = WorkerMap.segmentsPerSide();
    return WorkerLibrary.withBuffer(kSide * kSide * 2, null, (pointer) => {
      const cell = WorkerEdits.getCells(row, column, 1, 1)[0] !== 0;
      if (cell === Boolean(blocked)) return {touched: null, count: 0};
      const labelsOf = keeping(labelsFor(cell, pointer));
      const found = C.find(segmentsPerSide, labelsOf, row, column);
      const rects = rectsOf(found, segmentsPerSide);
      const reach = rects.reduce((sum, {i0, i1, j0, j1}) => sum + (i1 - i0 + 1) * (j1 - j0 + 1) * kSide * kSide, 0);
      if (reach > kMostCells) {
        const {top, bottom, left, right} = C.extent(found, segmentsPerSide);
        throw new Error(`This ${cell ? 'wall' : 'ground'} reaches over segments ${top} to ${bottom} down and ${left} to ${right} across, ` +
          `more than one fill changes at once: close it into smaller parts first, or paint it with the rectangle`);
      }
      const changes = rects.map((rect) => fillRect(found, labelsOf, segmentsPerSide, rect, blocked ? 1 : 0));
      return {...WorkerEdits.record(changes), count: C.extent(found, segmentsPerSide).cells};
    });
  }

  return {fill};
})();
