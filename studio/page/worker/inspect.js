// The ground the page looks at: the component of open cells joined to a cell (a map maker's click,
// or a problem chosen), as the map now stands. Its kept areas fall into the parts of the waypoint
// graph, joined by the waypoint map's links; its erased areas into groups that meet across
// segments' borders, and a group that touches two parts or more is what joins them, a split's
// only way through. Found again after every edit, so that what the tiles paint and the page
// lists is never the map before it; the tiles read here, region by region, how to paint it.
'use strict';

const WorkerInspect = (() => {
  const L = VarnholtLogic, C = WorkerComponents;
  const kSide = 64;
  // A region's code: outside the ground, erased, erased and joining parts, or kept in part
  // code - kFirstPart.
  const kOutside = 0, kErased = 1, kJoining = 2, kFirstPart = 3;
  let looked = null;      // [row, column]
  let codes = new Map();  // segment key → a code per region
  let parts = 0;
  let owed = false;       // edits since the ground was last found

  function forget() {
    looked = null;
    owed = false;
    codes = new Map();
    parts = 0;
    return {};
  }

  function active() {
    return looked !== null;
  }

  function codesOf(key) {
    return codes.get(key) || null;
  }

  function partCount() {
    return parts;
  }

  // Union-find over N nodes: join(a, b) and root(a).
  function unions(n) {
    const parent = Int32Array.from({length: n}, (_, k) => k);
    const root = (a) => {
      while (parent[a] !== a) a = parent[a] = parent[parent[a]];
      return a;
    };
    return {root, join: (a, b) => { parent[root(a)] = root(b); }};
  }

  // The kept areas of the ground in parts of the waypoint graph, parts numbered in the order of
  // their first areas: each kept node's part, and each part's waypoint, areas and cells.
  function partsOf(found, records, segmentsPerSide) {
    const kept = [], index = new Map();
    for (const [key, segment] of found.segments) {
      records.get(key).areas.forEach((_, r) => {
        if (!segment.members[r]) return;
        index.set(key * 4 + r, kept.length);
        kept.push([key, r]);
      });
    }
    const {root, join} = unions(kept.length);
    const link = (a, b) => index.has(a) && index.has(b) && join(index.get(a), index.get(b));
    for (const key of found.segments.keys()) {
      const record = records.get(key);
      for (const [a, b] of record.down) link(key * 4 + a - 1, (key + segmentsPerSide) * 4 + b - 1);
      for (const [a, b] of record.right) link(key * 4 + a - 1, (key + 1) * 4 + b - 1);
    }
    const list = [], numbered = new Map(), partOf = new Map();
    kept.forEach(([key, r], n) => {
      if (!numbered.has(root(n))) {
        const point = records.get(key).areas[r];
        const i = Math.floor(key / segmentsPerSide), j = key % segmentsPerSide;
        numbered.set(root(n), list.length);
        list.push({cell: [i * kSide + point.row, j * kSide + point.column], areas: 0, cells: 0});
      }
      const part = numbered.get(root(n));
      partOf.set(key * 4 + r, part);
      ++list[part].areas;
      list[part].cells += found.segments.get(key).stats[2 * r];
    });
    return {list, partOf};
  }

  // The erased areas of the ground, in the order of their first cells by segment, and their groups
  // with the parts each touches; those touching two parts or more join them.
  function erasedOf(found, records, partOf, segmentsPerSide) {
    const areas = [], index = new Map();
    for (const [key, segment] of found.segments) {
      for (let r = records.get(key).areas.length; r < segment.count; ++r) {
        if (!segment.members[r]) continue;
        index.set(key * 2048 + r, areas.length);
        const i = Math.floor(key / segmentsPerSide), j = key % segmentsPerSide, first = segment.stats[2 * r + 1];
        areas.push({key, r, cell: [i * kSide + (first >> 6), j * kSide + (first & (kSide - 1))], cells: segment.stats[2 * r]});
      }
    }
    const {root, join} = unions(areas.length);
    const touching = [];
    const contacts = found.contacts;
    for (let c = 0; c < contacts.length; c += 4) {
      const ka = contacts[c], la = contacts[c + 1], kb = contacts[c + 2], lb = contacts[c + 3];
      const a = index.get(ka * 2048 + la), b = index.get(kb * 2048 + lb);
      if (a !== undefined && b !== undefined) join(a, b);
      else if (a !== undefined && partOf.has(kb * 4 + lb)) touching.push([a, partOf.get(kb * 4 + lb)]);
      else if (b !== undefined && partOf.has(ka * 4 + la)) touching.push([b, partOf.get(ka * 4 + la)]);
    }
    const groups = new Map();
    areas.forEach((area, n) => {
      const group = groups.get(root(n)) || {cell: area.cell, areas: 0, cells: 0, parts: new Set()};
      ++group.areas;
      group.cells += area.cells;
      groups.set(root(n), group);
    });
    for (const [n, part] of touching) groups.get(root(n)).parts.add(part);
    const joiningRoots = new Set([...groups].filter(([, group]) => group.parts.size >= 2).map(([key]) => key));
    const joining = [...groups].filter(([key]) => joiningRoots.has(key))
      .map(([, group]) => ({...group, parts: [...group.parts].sort((a, b) => a - b)}));
    return {areas, joining, joins: (n) => joiningRoots.has(root(n))};
  }

  // The codes of each segment's regions, for the tiles.
  function codesFor(found, partOf, erased) {
    const next = new Map();
    for (const [key, segment] of found.segments) next.set(key, new Uint16Array(segment.count));
    for (const [id, part] of partOf) next.get(Math.floor(id / 4))[id % 4] = kFirstPart + part;
    erased.areas.forEach((area, n) => { next.get(area.key)[area.r] = erased.joins(n) ? kJoining : kErased; });
    return next;
  }

  function recordsOf(found, segmentsPerSide, pointer) {
    const records = new Map(), core = WorkerLibrary.core;
    for (const key of found.segments.keys()) {
      WorkerLibrary.checked(core._varnholt_segment_record(WorkerMap.handle(), Math.floor(key / segmentsPerSide), key % segmentsPerSide, pointer));
      records.set(key, L.parseRecord(core.HEAPU8.subarray(pointer, pointer + L.kRecordBytes)));
    }
    return records;
  }

  // The ground of the cell looked at, as the map now stands: what the page is told of it, and the
  // codes of its segments.
  function analyse([row, column]) {
    const segmentsPerSide = WorkerMap.segmentsPerSide(), side = WorkerMap.side();
    if (row < 0 || column < 0 || row >= side || column >= side) return {summary: {cell: [row, column], kind: 'outside'}, next: new Map()};
    return WorkerLibrary.withBuffer(kSide * kSide * 2, null, (pointer) => {
      const found = C.find(segmentsPerSide, (i, j) => WorkerMap.regionsAt(i, j, pointer), row, column, {contacts: true});
      if (!found) return {summary: {cell: [row, column], kind: 'blocked'}, next: new Map()};
      const records = recordsOf(found, segmentsPerSide, pointer);
      const {list, partOf} = partsOf(found, records, segmentsPerSide);
      const erased = erasedOf(found, records, partOf, segmentsPerSide);
      const {cells, top, bottom, left, right} = C.extent(found, segmentsPerSide);
      const erasedCells = Int32Array.from(erased.areas.flatMap((area) => area.cell));
      const summary = {
        cell: [row, column], kind: 'open', cells, segments: {top, bottom, left, right},
        keptAreas: partOf.size, parts: list, erasedAreas: erased.areas.length,
        erasedCellCount: erased.areas.reduce((sum, area) => sum + area.cells, 0), erased: erasedCells, joining: erased.joining,
      };
      return {summary, next: codesFor(found, partOf, erased)};
    });
  }

  // The segments whose codes differ between two sets of codes, as one range, or null.
  function changedRange(before, after, segmentsPerSide) {
    let range = null;
    for (const key of new Set([...before.keys(), ...after.keys()])) {
      const a = before.get(key), b = after.get(key);
      if (a && b && a.length === b.length && a.every((code, r) => code === b[r])) continue;
      const i = Math.floor(key / segmentsPerSide), j = key % segmentsPerSide;
      range = range ? {i0: Math.min(range.i0, i), i1: Math.max(range.i1, i), j0: Math.min(range.j0, j), j1: Math.max(range.j1, j)} : {i0: i, i1: i, j0: j, j1: j};
    }
    return range;
  }

  // Finds the ground of the cell looked at again: what the page is told, and the segments to be
  // painted anew.
  function refresh() {
    const {summary, next} = analyse(looked);
    const changed = changedRange(codes, next, WorkerMap.segmentsPerSide());
    codes = next;
    parts = summary.parts ? summary.parts.length : 0;
    return {summary, changed};
  }

  // Looks at the ground of (Row, Column): what it is. Every tile changes, the ground's and the
  // dimmed ones about it, so the page draws them all anew.
  function look({row, column}) {
    looked = [row, column];
    const {summary} = refresh();
    return {summary, transfer: summary.erased ? [summary.erased.buffer] : []};
  }

  // After an edit: the ground found again, its summary and any segments it changed added to the
  // edit's answer. Within a stroke (Later) it is found once, as the stroke ends: on a map of
  // 16384 cells a side a ground may take a second to find, and a stroke is many edits.
  function afterEdit(result, later) {
    const touched = !result ? [] : Array.isArray(result.touched) ? result.touched : result.touched ? [result.touched] : [];
    if (!looked || (touched.length === 0 && !owed)) return result;
    if (later) {
      owed = true;
      return {...result, lookOwed: true};
    }
    owed = false;
    const {summary, changed} = refresh();
    return {...result, touched: changed ? [...touched, changed] : touched, inspection: summary,
      transfer: [...(result.transfer || []), ...(summary.erased ? [summary.erased.buffer] : [])]};
  }

  return {kOutside, kErased, kJoining, kFirstPart, forget, active, codesOf, partCount, look, afterEdit};
})();
