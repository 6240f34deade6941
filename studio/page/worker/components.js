// The component of a cell: every cell joined to it by 4-adjacent cells of its kind, open or
// blocked, across the whole map. Found segment by segment over the groups of cells within each
// segment (the library's regions for open cells, groups labelled here for blocked ones), joined
// where they meet across a segment's border, so that the work grows with the component's
// segments, never with the map's cells. A fill and the component the page looks at both come from
// here. Pure, given the segments' labels: the tests give it maps laid out by hand.
'use strict';

const WorkerComponents = (() => {
  const kNone = 65535;
  const kSide = 64;
  const kTop = 0, kBottom = 1, kLeft = 2, kRight = 3;
  const kAcross = [[-1, 0, kBottom], [1, 0, kTop], [0, -1, kRight], [0, 1, kLeft]];

  // The blocked cells of a segment in 4-connected groups, from its regions (kNone where blocked):
  // labels from 0 in the order of the groups' first cells, kNone for open cells.
  function blockedGroups(regions) {
    const labels = new Uint16Array(kSide * kSide).fill(kNone);
    const stack = new Int32Array(kSide * kSide);
    let count = 0;
    for (let start = 0; start < labels.length; ++start) {
      if (regions[start] !== kNone || labels[start] !== kNone) continue;
      let top = 0;
      stack[top++] = start;
      labels[start] = count;
      while (top > 0) {
        const at = stack[--top], c = at & (kSide - 1);
        for (const next of [at - kSide, at + kSide, c > 0 ? at - 1 : -1, c < kSide - 1 ? at + 1 : -1]) {
          if (next < 0 || next >= labels.length || regions[next] !== kNone || labels[next] !== kNone) continue;
          labels[next] = count;
          stack[top++] = next;
        }
      }
      ++count;
    }
    return {labels, count};
  }

  // What the search keeps of a segment: its labels' count, each label's cells and first cell
  // (Stats: cells at 2 * label, first cell at 2 * label + 1), and the labels along its borders
  // (at side * 64 + k, sides top, bottom, left, right); the labels themselves are let go, as a
  // large component would hold too many. Few arrays a segment, as a map of 16384 cells a side
  // makes sixty thousand of them.
  function summarize({labels, count}) {
    const stats = new Int32Array(2 * count).fill(-1);
    for (let label = 0; label < count; ++label) stats[2 * label] = 0;
    // A segment all of one group, as most of a smooth map's are, found by the engine's own search.
    const whole = count === 1 && labels.indexOf(kNone) < 0;
    if (whole) stats.set([labels.length, 0]);
    for (let at = 0; at < labels.length && !whole; ++at) {
      const label = labels[at];
      if (label === kNone) continue;
      if (stats[2 * label] === 0) stats[2 * label + 1] = at;
      ++stats[2 * label];
    }
    const borders = new Uint16Array(4 * kSide);
    for (let k = 0; k < kSide; ++k) {
      borders[kTop * kSide + k] = labels[k];
      borders[kBottom * kSide + k] = labels[(kSide - 1) * kSide + k];
      borders[kLeft * kSide + k] = labels[k * kSide];
      borders[kRight * kSide + k] = labels[k * kSide + kSide - 1];
    }
    return {count, stats, borders, members: new Uint8Array(count)};
  }

  // The component of cell (Row, Column) on a map of SegmentsPerSide segments a side, Labels(i, j)
  // giving {labels, count} for segment (i, j), the groups of the kind wanted. With Contacts, the
  // pairs of groups that meet across a border are gathered too. Null where the cell is not of the
  // kind; else {segments: Map of i * SegmentsPerSide + j to the segment's summary, members set for
  // the groups of the component, contacts: key, label, key, label, ... one after another, or null},
  // the segments in the order of their keys.
  function find(segmentsPerSide, labelsOf, row, column, {contacts: wanted = false} = {}) {
    const seen = new Map();
    const load = (key) => {
      let found = seen.get(key);
      if (!found) seen.set(key, (found = summarize(labelsOf(Math.floor(key / segmentsPerSide), key % segmentsPerSide))));
      return found;
    };
    const startKey = Math.floor(row / kSide) * segmentsPerSide + Math.floor(column / kSide);
    const startLabels = labelsOf(Math.floor(row / kSide), Math.floor(column / kSide));
    const startLabel = startLabels.labels[(row % kSide) * kSide + (column % kSide)];
    if (startLabel === kNone) return null;
    seen.set(startKey, summarize(startLabels));
    const queue = [startKey, startLabel];
    seen.get(startKey).members[startLabel] = 1;
    const contacts = wanted ? [] : null;
    while (queue.length > 0) {
      const label = queue.pop(), key = queue.pop();
      const {borders} = seen.get(key);
      const i = Math.floor(key / segmentsPerSide), j = key % segmentsPerSide;
      for (let side = 0; side < 4; ++side) {
        const across = kAcross[side], di = across[0], dj = across[1], facing = across[2] * kSide, mine = side * kSide;
        if (i + di < 0 || j + dj < 0 || i + di >= segmentsPerSide || j + dj >= segmentsPerSide) continue;
        const nextKey = key + di * segmentsPerSide + dj;
        let theirs = null, last = kNone;
        for (let k = 0; k < kSide; ++k) {
          if (borders[mine + k] !== label) continue;
          theirs = theirs || load(nextKey);
          const other = theirs.borders[facing + k];
          if (other === kNone || other === last) continue;
          last = other;
          if (contacts && key < nextKey) contacts.push(key, label, nextKey, other);
          if (theirs.members[other]) continue;
          theirs.members[other] = 1;
          queue.push(nextKey, other);
        }
      }
    }
    // Segments loaded only to be looked across hold no member: they are no part of it.
    for (const [key, segment] of seen) if (!segment.members.includes(1)) seen.delete(key);
    return {segments: new Map([...seen].sort((a, b) => a[0] - b[0])), contacts};
  }

  // The number of cells of a component found, and the segments it spans: {cells, top, bottom,
  // left, right}, in segments.
  function extent(found, segmentsPerSide) {
    let cells = 0, top = Infinity, bottom = -1, left = Infinity, right = -1;
    for (const [key, segment] of found.segments) {
      const i = Math.floor(key / segmentsPerSide), j = key % segmentsPerSide;
      segment.members.forEach((member, label) => { if (member) cells += segment.stats[2 * label]; });
      top = Math.min(top, i);
      bottom = Math.max(bottom, i);
      left = Math.min(left, j);
      right = Math.max(right, j);
    }
    return {cells, top, bottom, left, right};
  }

  return {kNone, blockedGroups, find, extent};
})();

if (typeof module === 'object') module.exports = WorkerComponents;
