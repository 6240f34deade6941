// The component of a cell under Node, as the worker finds it for fills and the ground looked at:
// over maps of several segments laid out at random, against a plain breadth-first fill of the
// whole map, for open and for blocked cells; the pairs of groups that meet, and the groups of a
// segment's blocked cells, against the cells themselves.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const C = require('../page/worker/components.js');

const kSide = 64;

// A map of Segments x Segments segments, cells blocked (1) at random in blobs, so that components
// cross segments' borders and some do not.
function randomMap(segments, seed) {
  let state = seed;
  const random = () => (state = (state * 1103515245 + 12345) % 2147483648) / 2147483648;
  const side = segments * kSide;
  const cells = new Uint8Array(side * side);
  for (let k = 0; k < cells.length; ++k) cells[k] = random() < 0.4 ? 1 : 0;
  // Smoothed once, into caves rather than noise, some of them wide.
  const smooth = Uint8Array.from(cells);
  for (let r = 1; r < side - 1; ++r) {
    for (let c = 1; c < side - 1; ++c) {
      let around = 0;
      for (let dr = -1; dr <= 1; ++dr) for (let dc = -1; dc <= 1; ++dc) around += cells[(r + dr) * side + c + dc];
      smooth[r * side + c] = around >= 5 ? 1 : 0;
    }
  }
  return {side, cells: smooth};
}

// The regions of segment (i, j) as the library gives them: its open cells in 4-connected groups,
// numbered in the order of their first cells; 65535 for blocked cells.
function regionsOf(map, i, j) {
  const regions = new Uint16Array(kSide * kSide).fill(C.kNone);
  let count = 0;
  for (let start = 0; start < regions.length; ++start) {
    if (map.cells[(i * kSide + (start >> 6)) * map.side + j * kSide + (start & 63)] !== 0 || regions[start] !== C.kNone) continue;
    const stack = [start];
    regions[start] = count;
    while (stack.length > 0) {
      const at = stack.pop(), r = at >> 6, c = at & 63;
      for (const [nr, nc] of [[r - 1, c], [r + 1, c], [r, c - 1], [r, c + 1]]) {
        if (nr < 0 || nc < 0 || nr >= kSide || nc >= kSide) continue;
        const next = nr * kSide + nc;
        if (regions[next] !== C.kNone || map.cells[(i * kSide + nr) * map.side + j * kSide + nc] !== 0) continue;
        regions[next] = count;
        stack.push(next);
      }
    }
    ++count;
  }
  return {labels: regions, count};
}

// The model of a fill: breadth-first from the cell over the whole map's cells as it is.
function modelComponent(map, row, column) {
  const was = map.cells[row * map.side + column];
  const seen = new Uint8Array(map.cells.length);
  const queue = [[row, column]];
  seen[row * map.side + column] = 1;
  for (let k = 0; k < queue.length; ++k) {
    const [r, c] = queue[k];
    for (const [nr, nc] of [[r - 1, c], [r + 1, c], [r, c - 1], [r, c + 1]]) {
      if (nr < 0 || nc < 0 || nr >= map.side || nc >= map.side || seen[nr * map.side + nc] || map.cells[nr * map.side + nc] !== was) continue;
      seen[nr * map.side + nc] = 1;
      queue.push([nr, nc]);
    }
  }
  return seen;
}

// The cells of a component found, as one byte a cell of the whole map.
function cellsFound(map, found, labelsOf) {
  const segments = map.side / kSide, marked = new Uint8Array(map.cells.length);
  for (const [key, segment] of found.segments) {
    const i = Math.floor(key / segments), j = key % segments, {labels} = labelsOf(i, j);
    for (let at = 0; at < kSide * kSide; ++at) {
      if (labels[at] !== C.kNone && segment.members[labels[at]]) marked[(i * kSide + (at >> 6)) * map.side + j * kSide + (at & 63)] = 1;
    }
  }
  return marked;
}

test('a component is every cell a breadth-first fill of the whole map reaches, open or blocked, across segments', () => {
  for (const seed of [3, 17, 29]) {
    const map = randomMap(4, seed), segments = 4;
    const open = (i, j) => regionsOf(map, i, j);
    const blocked = (i, j) => C.blockedGroups(regionsOf(map, i, j).labels);
    let state = seed, large = 0;
    for (let round = 0; round < 12; ++round) {
      state = (state * 48271) % 2147483647;
      const row = state % map.side, column = Math.floor(state / map.side) % map.side;
      const isBlocked = map.cells[row * map.side + column] !== 0;
      const labelsOf = isBlocked ? blocked : open;
      assert.equal(C.find(segments, isBlocked ? open : blocked, row, column), null, 'a cell of the other kind has no component');
      const found = C.find(segments, labelsOf, row, column);
      const expected = modelComponent(map, row, column);
      assert.deepEqual(cellsFound(map, found, labelsOf), expected, `seed ${seed}, cell (${row}, ${column})`);
      const {cells, top, bottom} = C.extent(found, segments);
      assert.equal(cells, expected.reduce((sum, value) => sum + value, 0));
      if (bottom > top) ++large;
    }
    assert.ok(large > 0, 'no component crossed a segment border');
  }
});

test('the groups that meet across borders are told in pairs, and a segment\'s blocked cells are grouped as they touch', () => {
  const map = randomMap(3, 5), segments = 3;
  // The component of the first open cell, on a diagonal, that reaches past its segment.
  let found = null;
  for (let at = 0; !found || found.segments.size < 2; at += 7) {
    if (map.cells[at * map.side + at] === 0) found = C.find(segments, (i, j) => regionsOf(map, i, j), at, at, {contacts: true});
  }
  // Each pair names two members of neighbouring segments whose cells touch across the border.
  assert.ok(found.contacts.length > 0);
  for (let c = 0; c < found.contacts.length; c += 4) {
    const [ka, la, kb, lb] = found.contacts.slice(c, c + 4);
    assert.ok(kb === ka + 1 || kb === ka + segments, `${ka} and ${kb} are no neighbours`);
    assert.ok(found.segments.get(ka).members[la] && found.segments.get(kb).members[lb]);
    const a = regionsOf(map, Math.floor(ka / segments), ka % segments).labels, b = regionsOf(map, Math.floor(kb / segments), kb % segments).labels;
    const touching = Array.from({length: kSide}, (_, k) => (kb === ka + 1 ? [k * kSide + 63, k * kSide] : [63 * kSide + k, k]))
      .some(([x, y]) => a[x] === la && b[y] === lb);
    assert.ok(touching, `groups ${ka}/${la} and ${kb}/${lb} do not touch`);
  }
  const groups = C.blockedGroups(regionsOf(map, 1, 1).labels);
  const blockedCell = (at) => map.cells[(kSide + (at >> 6)) * map.side + kSide + (at & 63)] !== 0;
  for (let at = 0; at < kSide * kSide; ++at) {
    assert.equal(groups.labels[at] !== C.kNone, blockedCell(at));
    if (!blockedCell(at)) continue;
    if ((at & 63) < 63 && blockedCell(at + 1)) assert.equal(groups.labels[at], groups.labels[at + 1]);
    if (at + kSide < kSide * kSide && blockedCell(at + kSide)) assert.equal(groups.labels[at], groups.labels[at + kSide]);
  }
});
