// A 16384 x 16384 map, every segment explicit, in the package installed from its tarball: it
// opens, answers paths across it and edits, writes what the program writes, and stays within a
// bound of memory that queries do not raise: the map is never copied for a call.
import test from 'node:test';
import assert from 'node:assert/strict';
import {generatedMap, importPackage, programFiles} from './support.js';

const {load} = await importPackage();
const varnholt = await load();

// Node itself, the map's 34 MB file as read, its copy handed to the library and the library's
// own need (about 110 MB natively), with room to spare: a fifth of the map's cells as bytes.
const kMostMegabytes = 512;

// Connected open cells near the top left and the bottom right corners.
function farEnds(map) {
  const side = map.cellsPerSide, top = map.getCells(10, 0, 1, side), bottom = map.getCells(side - 10, 0, 1, side);
  for (let c0 = top.indexOf(0); ; c0 = top.indexOf(0, c0 + 1)) {
    const c1 = bottom.findLastIndex((cell, c) => cell === 0 && c > side - 64 && map.connected(10, c0, side - 10, c));
    if (c1 >= 0) return [[10, c0], [side - 10, c1]];
  }
}

test('a 16384² map opens, answers and edits within the memory the library needs', (t) => {
  const {path: file, bytes} = generatedMap('Large', 'noise', 8, 30, 1);
  let started = performance.now();
  const map = varnholt.analyse(bytes);
  const side = map.cellsPerSide, [start, goal] = farEnds(map);
  t.diagnostic(`opened in ${Math.round(performance.now() - started)} ms`);
  started = performance.now();
  const path = map.findPath(...start, ...goal);
  t.diagnostic(`a path of ${path.length / 2} cells across it in ${Math.round(performance.now() - started)} ms`);
  assert.deepEqual([side, ...path.subarray(0, 2), ...path.subarray(-2)], [16384, ...start, ...goal]);
  for (let k = 2; k < path.length; k += 2) {
    assert.equal(Math.abs(path[k] - path[k - 2]) + Math.abs(path[k + 1] - path[k - 1]), 1);
    if (k % 64 === 0) assert.equal(map.getCells(path[k], path[k + 1], 1, 1)[0], 0);
  }
  const settled = process.memoryUsage().rss;
  for (let k = 0; k < 10; ++k) assert.ok(map.connected(...start, ...goal) && map.findPathToward(...start, side - 1 - 97 * k, 1000 * k).length > 0);
  const grown = (process.memoryUsage().rss - settled) / 2 ** 20;
  t.diagnostic(`ten more queries grew the process by ${grown.toFixed(1)} MB`);
  assert.ok(grown < 32, `${grown} MB`);
  const written = programFiles(file);
  assert.deepEqual([map.file('info'), map.file('waypoint')], [new Uint8Array(written.info), new Uint8Array(written.waypoint)]);
  // A clearing across the map, then a wall there that cuts it in two.
  map.setCells(8000, 0, 64, side, new Uint8Array(64 * side));
  assert.equal(map.findPath(8010, 5, 8010, side - 5).length, 2 * (side - 9));
  map.setCells(8000, 0, 64, side, new Uint8Array(64 * side).fill(1));
  assert.equal(map.findPath(...start, ...goal).length, 0);
  const megabytes = process.resourceUsage().maxRSS / 1024;
  t.diagnostic(`the process peaked at ${Math.round(megabytes)} MB`);
  assert.ok(megabytes < kMostMegabytes, `${megabytes} MB`);
  map.close();
});
