// Fields toward a goal and fixes for splits, from the package installed from its tarball: every
// distance against a breadth-first search from the goal, before and after edits, next steps one
// closer (the first of up, down, left and right), paths walkable and shortest; each fix, applied,
// removes its split in the survey; and fields closed with their map.
import test from 'node:test';
import assert from 'node:assert/strict';
import {assertWalkable, generatedMap, importPackage, openCells, stepsFrom} from './support.js';

const {load, VarnholtError} = await importPackage();
const varnholt = await load();

function assertFails(call, message, status) {
  assert.throws(call, (failure) => failure instanceof VarnholtError && failure.message === message && failure.status === status);
}

// Every open cell's distance and next step, and the paths of some, against the search's steps.
function assertField(field, cells, side) {
  const steps = stepsFrom(cells, side, field.goalRow, field.goalColumn);
  for (let at = 0; at < side * side; ++at) {
    if (cells[at] !== 0) continue;
    const [row, column] = [Math.floor(at / side), at % side];
    assert.equal(field.distance(row, column), steps[at], `distance of ${row}, ${column}`);
    // Of the cells one step closer, the first of up, down, left and right.
    const closer = [[row - 1, column], [row + 1, column], [row, column - 1], [row, column + 1]].find(([r, c]) =>
      r >= 0 && r < side && c >= 0 && c < side && steps[at] > 0 && steps[r * side + c] === steps[at] - 1);
    assert.deepEqual(field.next(row, column), closer ? Int32Array.from(closer) : null, `next of ${row}, ${column}`);
  }
  for (const [row, column] of openCells(cells, side, 20, side + field.goalRow)) {
    const path = field.path(row, column), count = steps[row * side + column];
    assert.equal(path.length, 2 * (count + 1));
    if (count >= 0) assertWalkable(path, cells, side, [row, column], [field.goalRow, field.goalColumn]);
  }
}

test('distances are a breadth-first search\'s, before and after edits; next steps and paths are shortest', () => {
  for (const words of [['maze', 2, 2, 3], ['caves', 2, 8], ['noise', 2, 35, 4], ['rooms', 2, 1]]) {
    const map = varnholt.analyse(generatedMap(words[0], ...words).bytes), side = map.cellsPerSide;
    let cells = map.getCells(0, 0, side, side);
    const fields = openCells(cells, side, 2, 5).map(([row, column]) => map.field(row, column));
    // A far cell asked first makes the search reach the whole component at once.
    fields[1].distance(...openCells(cells, side, 1, 9)[0]);
    for (const field of fields) assertField(field, cells, side);
    // A wall across the map with one gap, and a clearing, after the fields have been asked.
    const wall = new Uint8Array(side).fill(1);
    wall[side - 3] = 0;
    map.setCells(side / 2 + 1, 0, 1, side, wall);
    map.setCells(10, 10, 20, 30, new Uint8Array(600));
    cells = map.getCells(0, 0, side, side);
    for (const field of fields.filter((field) => cells[field.goalRow * side + field.goalColumn] === 0)) assertField(field, cells, side);
    map.close();
  }
});

test('fields refuse blocked and outside cells, and close with their map', () => {
  const map = varnholt.create(128);
  map.setCells(0, 64, 128, 1, new Uint8Array(128).fill(1));
  assertFails(() => map.field(0, 64), 'Cell blocked: 0, 64', 'VARNHOLT_ERROR_ARGUMENT');
  assertFails(() => map.field(128, 0), 'Cell outside the map: 128, 0', 'VARNHOLT_ERROR_ARGUMENT');
  const field = map.field(5, 5), other = map.field(70, 70);
  assert.deepEqual([field.distance(5, 5), field.next(5, 5), field.distance(5, 100), field.next(5, 100), field.path(5, 100)],
    [0, null, -1, null, new Int32Array(0)]);
  // A failure before the cell that is merely not connected does not make it one.
  assertFails(() => field.distance(3, 64), 'Cell blocked: 3, 64', 'VARNHOLT_ERROR_ARGUMENT');
  assert.equal(field.distance(5, 100), -1);
  assertFails(() => field.next(-1, 0), 'Cell outside the map: -1, 0', 'VARNHOLT_ERROR_ARGUMENT');
  assertFails(() => field.path(0, 64), 'Cell blocked: 0, 64', 'VARNHOLT_ERROR_ARGUMENT');
  assertFails(() => field.distance(0.5, 0), 'row is not a 32-bit integer: 0.5', 'VARNHOLT_ERROR_ARGUMENT');
  field.close();
  field.close();
  for (const name of ['next', 'distance', 'path']) assertFails(() => field[name](0, 0), 'The field is closed', 'VARNHOLT_ERROR_ARGUMENT');
  map.close();
  assert.ok(field.closed && other.closed);
  assertFails(() => other.distance(70, 70), 'The field is closed', 'VARNHOLT_ERROR_ARGUMENT');
  assertFails(() => map.field(5, 5), 'The map is closed', 'VARNHOLT_ERROR_ARGUMENT');
});

test('each fix for a split, applied, removes that split and makes no new one', (t) => {
  const kinds = {open: 0, block: 0};
  for (const words of [['noise', 2, 40, 3], ['noise', 3, 45, 7], ['caves', 3, 5], ['maze', 2, 3, 5]]) {
    const map = varnholt.analyse(generatedMap(words[0], ...words).bytes);
    const before = map.survey({splits: 4});
    for (let index = 0; index < before.splits.length; ++index) {
      for (const kind of ['open', 'block']) {
        const fix = map.splitFix(index, kind);
        if (fix.length === 0) continue;
        ++kinds[kind];
        const fixed = varnholt.analyse(map.file('level0'));
        for (let k = 0; k < fix.length; k += 2) {
          assert.equal(fixed.getCells(fix[k], fix[k + 1], 1, 1)[0], kind === 'open' ? 1 : 0, 'a fix changes its cells');
          fixed.setCells(fix[k], fix[k + 1], 1, 1, Uint8Array.of(kind === 'open' ? 0 : 1));
        }
        const after = fixed.survey({splits: 64});
        assert.equal(after.splitComponents, before.splitComponents - 1, `${words.join(' ')}: split ${index}, ${kind}`);
        const [first, second] = before.splits[index].partCells;
        assert.equal(fixed.connected(...first, ...second), kind === 'open');
        fixed.close();
      }
    }
    assertFails(() => map.splitFix(before.splitComponents, 'open'), `No such split: ${before.splitComponents}`, 'VARNHOLT_ERROR_ARGUMENT');
    assertFails(() => map.splitFix(0, 'mend'), "Unknown fix kind: mend; 'open' or 'block'", 'VARNHOLT_ERROR_ARGUMENT');
    map.close();
  }
  t.diagnostic(`fixes applied: ${kinds.open} to open, ${kinds.block} to block`);
  assert.ok(kinds.open > 0 && kinds.block > 0, JSON.stringify(kinds));
});
