// The package installed from its tarball: maps opened and made anew, cells and edits, the three
// files against what the varnholt program writes, segments and the survey against its files and
// the C library, failures with the library's words and status, and closed maps.
import test from 'node:test';
import assert from 'node:assert/strict';
import {readFileSync, statSync, writeFileSync} from 'node:fs';
import {join} from 'node:path';
import {generatedMap, given, importPackage, installedPackage, nativeAnswers, programFiles, scratchFolder} from './support.js';

const {load, VarnholtError} = await importPackage();
const varnholt = await load();
const header = readFileSync(new URL('../../include/varnholt/varnholt.h', import.meta.url), 'utf8');
// The survey's counts by the names the package gives them: the header's fields in camelCase.
const kSurveyCounts = header.match(/typedef struct varnholt_survey \{([^}]*)\}/)[1].replace(/\/\*[\s\S]*?\*\//g, '')
  .match(/[a-z0-9_]+(?=;)/g).map((field) => field.replace(/_([a-z0-9])/g, (_, letter) => letter.toUpperCase()));

function randomCells(count, seed, blockedShare) {
  let state = seed;
  return Uint8Array.from({length: count}, () => ((state = (Math.imul(state, 1103515245) + 12345) >>> 0) / 2 ** 32 < blockedShare ? 1 : 0));
}

// The map's files, its segments' records and its survey against the program's files and the C
// library's survey.
function assertAsTheProgram(map, path) {
  const written = programFiles(path);
  assert.deepEqual(map.file('info'), new Uint8Array(written.info), path);
  assert.deepEqual(map.file('waypoint'), new Uint8Array(written.waypoint), path);
  assert.equal(map.compare('info', written.info) + map.compare('waypoint', written.waypoint), '');
  const n = map.segmentsPerSide;
  for (let k = 0; k < n * n; ++k) {
    assert.deepEqual(map.segmentRecord(Math.floor(k / n), k % n), new Uint8Array(written.waypoint.subarray(8 + 16 * k, 24 + 16 * k)));
  }
  const [native] = nativeAnswers(path, [['survey']]);
  const survey = map.survey({splits: 8, lost: 64});
  const splits = survey.splits.flatMap((split) => [split.parts, split.partCells.length, ...split.partCells.flat(), split.erasedCells.length, ...split.erasedCells.flat()]);
  assert.deepEqual([...kSurveyCounts.map((name) => survey[name]), survey.lost.length, ...survey.lost.flat(), ...splits], native);
  return survey;
}

test('opened maps, edited or not, write and answer as the program and the C library', () => {
  assert.equal(load(), load());
  let splits = 0;
  for (const words of [[], ['terrain', 3, 7], ['maze', 2, 3, 5], ['rooms', 2, 4], ['noise', 2, 40, 3]]) {
    const name = words.length === 0 ? 'Sample' : words[0];  // names without digits, as the program's rule needs
    const {path, bytes} = generatedMap(name, ...words);
    const map = varnholt.analyse(bytes);
    assert.deepEqual(map.file('level0'), new Uint8Array(bytes));
    splits += assertAsTheProgram(map, path).splits.length;
    // Walls and clearings across segment borders and within one, 255 as blocked too.
    for (const [row, column, rows, columns, share] of [[60, 60, 10, 10, 0], [0, 100, 30, 80, 1], [130, 0, 64, 64, 0.5], [5, 5, 1, 1, 0]]) {
      map.setCells(row, column, rows, columns, randomCells(rows * columns, row + 1, share).map((blocked) => 255 * blocked));
    }
    const edited = join(scratchFolder(`Edited${name}`), 'Edited1Level0Map.raw');
    writeFileSync(edited, map.file('level0'));
    assertAsTheProgram(map, edited);
    map.close();
  }
  assert.ok(splits > 0);
});

test('cells set are the cells got, and areas and regions agree with them', () => {
  const map = varnholt.create(256);
  assert.deepEqual([map.cellsPerSide, map.segmentsPerSide], [256, 4]);
  assert.deepEqual(map.getCells(0, 0, 256, 256), new Uint8Array(256 * 256));
  const cells = randomCells(256 * 256, 3, 0.3);
  map.setCells(0, 0, 256, 256, cells);
  assert.deepEqual(varnholt.analyse(map.file('level0')).getCells(0, 0, 256, 256), cells);
  const window = map.getCells(70, 5, 3, 200);
  for (let r = 0; r < 3; ++r) assert.deepEqual(window.subarray(200 * r, 200 * r + 200), cells.subarray(256 * (70 + r) + 5, 256 * (70 + r) + 205));
  const segment = map.getCells(64, 128, 64, 64), areas = map.segmentAreas(1, 2), regions = map.segmentRegions(1, 2);
  for (let at = 0; at < 4096; ++at) {
    assert.equal(map.areaOf(64 + (at >> 6), 128 + (at & 63)), areas[at]);
    assert.ok(segment[at] ? regions[at] === 65535 && areas[at] === 0 : areas[at] === 0 || regions[at] === areas[at] - 1);
  }
  assert.equal(map.areaOf(256, 0), -1);
  assert.deepEqual(varnholt.create(128, true).getCells(0, 0, 128, 128), new Uint8Array(128 * 128).fill(1));
  map.close();
});

function assertFails(call, message, status) {
  assert.throws(call, (failure) => failure instanceof VarnholtError && failure.name === 'VarnholtError' &&
    failure.message === message && failure.status === status);
}

test('failures throw a VarnholtError with the library\'s message and status, the map as it was', () => {
  const {bytes, path} = generatedMap('Failing', 'rooms', 1, 2);
  assertFails(() => varnholt.analyse(bytes.subarray(0, 100)), 'Error reading file', 'VARNHOLT_ERROR_READ');
  assertFails(() => varnholt.analyse(programFiles(path).info), 'You selected an Info map!', 'VARNHOLT_ERROR_NOT_LEVEL0');
  assertFails(() => varnholt.create(100), 'Invalid map size!', 'VARNHOLT_ERROR_SIZE');
  assertFails(() => varnholt.analyse('map'), 'bytes is not bytes: a Uint8Array, another typed array or an ArrayBuffer', 'VARNHOLT_ERROR_ARGUMENT');
  const huge = varnholt.create(65536);  // filled segments: cheap to make, its cells too many to copy out
  assertFails(() => huge.getCells(0, 0, 65536, 65536), 'Out of memory', 'VARNHOLT_ERROR_MEMORY');
  huge.close();
  const map = varnholt.analyse(bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.length));
  const cells = map.getCells(0, 0, 128, 128), wall = cells.indexOf(1), open = cells.indexOf(0);
  const [row, column, openRow, openColumn] = [wall >> 7, wall & 127, open >> 7, open & 127];
  assertFails(() => map.findPath(openRow, openColumn, row, column), `Cell blocked: ${row}, ${column}`, 'VARNHOLT_ERROR_ARGUMENT');
  assertFails(() => map.connected(128, 0, openRow, openColumn), 'Cell outside the map: 128, 0', 'VARNHOLT_ERROR_ARGUMENT');
  assertFails(() => map.setCells(120, 0, 10, 2, new Uint8Array(20)), 'Cells outside the map: 120, 0, 10 x 2', 'VARNHOLT_ERROR_ARGUMENT');
  assertFails(() => map.setCells(0, 0, 10, 2, new Uint8Array(19)), 'Expected 10 x 2 bytes of cells, not 19', 'VARNHOLT_ERROR_ARGUMENT');
  assertFails(() => map.findPath(2 ** 32, 0, 0, 0.5), `row0 is not a 32-bit integer: ${2 ** 32}`, 'VARNHOLT_ERROR_ARGUMENT');
  assertFails(() => map.segmentAreas(2, 0), 'Segment outside the map: 2, 0', 'VARNHOLT_ERROR_ARGUMENT');
  assertFails(() => map.smoothPath([openRow, openColumn, row, column]), `Not a path: cell 1 (${row}, ${column})`, 'VARNHOLT_ERROR_ARGUMENT');
  assertFails(() => map.file('infos'), "Unknown file kind: infos; 'level0', 'info' or 'waypoint'", 'VARNHOLT_ERROR_ARGUMENT');
  assertFails(() => map.compare('waypoint', new Uint8Array(5)), 'Error reading file', 'VARNHOLT_ERROR_STALE_PAIR');
  const waypoint = map.file('waypoint');
  waypoint[waypoint.length - 1] = 7;
  assert.match(map.compare('waypoint', waypoint), /^segment \(1, 1\), /);
  assert.deepEqual([map.getCells(0, 0, 128, 128), map.file('level0')], [cells, new Uint8Array(bytes)]);
  map.close();
  // A closed map refuses every call; another map goes on.
  const other = varnholt.create(64);
  map.close();
  assert.ok(map.closed && !other.closed);
  for (const name of ['getCells', 'setCells', 'areaOf', 'segmentAreas', 'segmentRegions', 'segmentRecord', 'survey', 'connected',
    'findPath', 'findPathToward', 'smoothPath', 'shortestPathCells', 'file', 'compare']) {
    assertFails(() => map[name](0, 0, 1, 1, new Uint8Array(1)), 'The map is closed', 'VARNHOLT_ERROR_ARGUMENT');
  }
  assert.equal(other.findPath(0, 0, 63, 63).length, 2 * 127);
  other.close();
});

test('the package is at most 400 KB packed, and its declarations name every status of the header', () => {
  assert.ok(statSync(given('VARNHOLT_PACKAGE')).size <= 400 * 1024);
  const names = (text, declaration) => text.match(declaration)[1].replace(/\/\*[\s\S]*?\*\//g, '').match(/VARNHOLT_[A-Z0-9_]+/g);
  const declarations = readFileSync(join(installedPackage().folder, 'node_modules/varnholt/index.d.ts'), 'utf8');
  assert.deepEqual(names(declarations, /export type VarnholtStatus =([^;]*);/), names(header, /typedef enum varnholt_status \{([^}]*)\}/));
  assert.equal(varnholt.filePath('maps/Infantry1Level0Map.raw', 'info'), 'maps/InfantryInfo.raw');
});
