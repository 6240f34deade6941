// A fill: every cell joined to the one clicked by cells as it is, open or blocked, made blocked or
// open, however far the component reaches; never a part of it cut off where the view or a window
// ends. The component is found by segments (WorkerComponents), and set a row of segments at a
// time, from the first to the last segment of the component in that row, so that the cells read
// and written, and kept for undo, are about the component's and not its bounding box's.
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

  // The component's segments by segment row: [i, first j, last j], in order.
  function rowsOf(found, segmentsPerSide) {
    const rows = new Map();
    for (const key of found.segments.keys()) {
      const i = Math.floor(key / segmentsPerSide), j = key % segmentsPerSide;
      const span = rows.get(i);
      if (span) span[1] = Math.max(span[1], j); else rows.set(i, [j, j]);
    }
    return [...rows].map(([i, [first, last]]) => [i, first, last]);
  }

  // Sets the component's cells of segment row I, segments First to Last, to Value: the change.
  function fillRow(found, labelsOf, segmentsPerSide, [i, first, last], value) {
    const row = i * kSide, column = first * kSide, columns = (last - first + 1) * kSide;
    const before = WorkerEdits.getCells(row, column, kSide, columns);
    const cells = before.slice();
    for (let j = first; j <= last; ++j) {
      const segment = found.segments.get(i * segmentsPerSide + j);
      if (!segment) continue;
      const {labels} = labelsOf(i, j);
      for (let at = 0; at < kSide * kSide; ++at) {
        if (labels[at] !== C.kNone && segment.members[labels[at]]) cells[(at >> 6) * columns + (j - first) * kSide + (at & (kSide - 1))] = value;
      }
    }
    WorkerEdits.putCells(row, column, kSide, columns, cells);
    return {row, column, rows: kSide, columns, before, after: cells};
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
      const labelsOf = labelsFor(cell, pointer);
      const found = C.find(segmentsPerSide, labelsOf, row, column);
      const rows = rowsOf(found, segmentsPerSide);
      const reach = rows.reduce((sum, [, first, last]) => sum + (last - first + 1) * kSide * kSide, 0);
      if (reach > kMostCells) {
        const {top, bottom, left, right} = C.extent(found, segmentsPerSide);
        throw new Error(`This ${cell ? 'wall' : 'ground'} reaches over segments ${top} to ${bottom} down and ${left} to ${right} across, ` +
          `more than one fill changes at once: close it into smaller parts first, or paint it with the rectangle`);
      }
      const changes = rows.map((span) => fillRow(found, labelsOf, segmentsPerSide, span, blocked ? 1 : 0));
      return {...WorkerEdits.record(changes), count: C.extent(found, segmentsPerSide).cells};
    });
  }

  return {fill};
})();
