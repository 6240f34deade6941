// Paths of the package installed from its tarball, on maps of every kind the generator makes:
// walkable and as short as a breadth-first search finds (the ratio reported), connected and
// shortestPathCells exactly as the search says, toward the reached cell nearest the goal, and
// paths, paths toward and corners the very ones the C library gives.
import test from 'node:test';
import assert from 'node:assert/strict';
import {assertWalkable, generatedMap, importPackage, nativeAnswers, openCells, stepsFrom} from './support.js';

const {load} = await importPackage();
const varnholt = await load();

const kMaps = [['terrain', 3, 7], ['maze', 2, 2, 3], ['rooms', 3, 1], ['noise', 2, 30, 4], ['caves', 2, 8]].map((words) => {
  const {path, bytes} = generatedMap(words[0], ...words);
  const map = varnholt.analyse(bytes), side = map.cellsPerSide;
  return {name: `${words[0]} ${side}²`, path, map, side, cells: map.getCells(0, 0, side, side)};
});

// Pairs of open cells at least a quarter side apart.
function farPairs({cells, side}, count, seed) {
  const candidates = openCells(cells, side, 40 * count, seed), pairs = [];
  for (let k = 0; k + 1 < candidates.length && pairs.length < count; k += 2) {
    const [a, b] = [candidates[k], candidates[k + 1]];
    if (Math.abs(a[0] - b[0]) + Math.abs(a[1] - b[1]) >= side / 4) pairs.push([a, b]);
  }
  return pairs;
}

test('paths are walkable and near the shortest; connected and shortestPathCells are exact', (t) => {
  for (const {name, map, side, cells} of kMaps) {
    let worst = 1, taken = 0, shortest = 0;
    for (const [start, goal] of farPairs({cells, side}, 25, 17)) {
      const steps = stepsFrom(cells, side, ...start)[goal[0] * side + goal[1]];
      const path = map.findPath(...start, ...goal);
      assert.equal(map.connected(...start, ...goal), steps >= 0);
      assert.equal(map.shortestPathCells(...start, ...goal), steps + 1);
      if (steps < 0) assert.equal(path.length, 0);
      if (steps <= 0) continue;
      assertWalkable(path, cells, side, start, goal);
      worst = Math.max(worst, (path.length / 2 - 1) / steps);
      [taken, shortest] = [taken + path.length / 2 - 1, shortest + steps];
    }
    t.diagnostic(`${name}: paths ${(taken / shortest).toFixed(4)} × the shortest in all, ${worst.toFixed(4)} × at worst`);
    assert.ok(shortest > 0 && worst <= 1.25, `${name}: ${worst}`);
  }
});

test('a path toward any goal ends at the reached cell nearest it, by distance, row and column', () => {
  for (const {map, side, cells} of kMaps) {
    openCells(cells, side, 12, 23).forEach((start, k) => {
      const goal = [(start[0] * 7 + 31 * k) % side, (start[1] * 13 + 17 * k) % side];
      const steps = stepsFrom(cells, side, ...start);
      let end = -1;
      const distance = (at) => (Math.floor(at / side) - goal[0]) ** 2 + (at % side - goal[1]) ** 2;
      steps.forEach((step, at) => { if (step >= 0 && (end < 0 || distance(at) < distance(end))) end = at; });
      assertWalkable(map.findPathToward(...start, ...goal), cells, side, start, [Math.floor(end / side), end % side]);
    });
  }
});

test('paths, paths toward and corners are the C library\'s own', () => {
  for (const {path, map, side, cells} of kMaps) {
    const questions = farPairs({cells, side}, 10, 31).flatMap(([start, goal], k) => [
      ['find', ...start, ...goal], ['toward', ...start, (goal[0] + 5 * k) % side, (goal[1] * 3) % side]]);
    const answers = nativeAnswers(path, questions);
    questions.forEach(([kind, ...ends], k) => {
      const cells = kind === 'find' ? map.findPath(...ends) : map.findPathToward(...ends);
      assert.deepEqual(cells, Int32Array.from(answers[2 * k].slice(1)));
      const corners = map.smoothPath(cells);
      assert.deepEqual(corners, Int32Array.from(answers[2 * k + 1].slice(1)));
      assert.deepEqual(map.smoothPath(Array.from(cells)), corners);
      if (cells.length > 0) assert.deepEqual([...corners.subarray(0, 2), ...corners.subarray(-2)], [...cells.subarray(0, 2), ...cells.subarray(-2)]);
    });
  }
});
