// What the package's tests share: the packed tarball installed afresh in a temporary folder, as a
// user's project has it; maps made by varnholt-genmap, the files the varnholt program writes of
// them and the C library's own answers; and a plain breadth-first search over cells.
import assert from 'node:assert/strict';
import {execFileSync} from 'node:child_process';
import {mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {join} from 'node:path';
import {pathToFileURL} from 'node:url';

// What ctest gives: the tarball, the programs and the sample map.
export function given(name) {
  if (!process.env[name]) throw new Error(`${name} is not set: these tests run from ctest`);
  return process.env[name];
}

const scratch = mkdtempSync(join(tmpdir(), 'varnholt-js-'));
process.on('exit', () => rmSync(scratch, {recursive: true, force: true}));

export function scratchFolder(name) {
  mkdirSync(join(scratch, name), {recursive: true});
  return join(scratch, name);
}

let installed = null;

// A project that has installed the tarball, and a module of it that imports 'varnholt' as a
// user's code does, through the package's exports.
export function installedPackage() {
  if (installed) return installed;
  const folder = scratchFolder('project');
  writeFileSync(join(folder, 'package.json'), JSON.stringify({name: 'project', private: true, type: 'module'}));
  execFileSync(given('VARNHOLT_NPM'), ['install', '--offline', '--no-audit', '--no-fund', given('VARNHOLT_PACKAGE')], {cwd: folder, stdio: 'pipe'});
  writeFileSync(join(folder, 'entry.js'), "export * from 'varnholt';\n");
  installed = {folder, entry: pathToFileURL(join(folder, 'entry.js')).href};
  return installed;
}

export function importPackage() {
  return import(installedPackage().entry);
}

// A map of varnholt-genmap's (the words after its kind), alone in a folder so that the program's
// outputs meet no other map's; or the sample map, copied.
export function generatedMap(name, ...words) {
  const path = join(scratchFolder(name), `${name}1Level0Map.raw`);
  if (words.length === 0) writeFileSync(path, readFileSync(given('VARNHOLT_SAMPLE')));
  else execFileSync(given('VARNHOLT_GENMAP'), [...words.map(String), path]);
  return {path, bytes: readFileSync(path)};
}

// The info and waypoint maps the varnholt program writes beside NAME1Level0Map.raw at path.
export function programFiles(path) {
  execFileSync(given('VARNHOLT_PROGRAM'), [path], {stdio: 'pipe'});
  const prefix = path.replace(/1Level0Map\.raw$/, '');
  return {info: readFileSync(`${prefix}Info.raw`), waypoint: readFileSync(`${prefix}.raw`)};
}

// The C library's answers to questions (arrays of words) on the map at path: for each, its lines
// of numbers, as native/answers.c writes them.
export function nativeAnswers(path, questions) {
  const input = questions.map((words) => words.join(' ')).join('\n');
  const lines = execFileSync(given('VARNHOLT_NATIVE_ANSWERS'), [path], {input, maxBuffer: 2 ** 28}).toString().trim().split('\n');
  return lines.map((line) => line.trim().split(' ').map(Number));
}

// Steps from (row, column) to every cell over 4-adjacent open cells; -1 where none leads.
export function stepsFrom(cells, side, row, column) {
  const steps = new Int32Array(side * side).fill(-1);
  const queue = new Int32Array(side * side);
  let head = 0, tail = 0;
  steps[queue[tail++] = row * side + column] = 0;
  while (head < tail) {
    const at = queue[head++], r = Math.floor(at / side), c = at % side;
    for (const [next, inside] of [[at - side, r > 0], [at + side, r < side - 1], [at - 1, c > 0], [at + 1, c < side - 1]]) {
      if (inside && cells[next] === 0 && steps[next] < 0) steps[queue[tail++] = next] = steps[at] + 1;
    }
  }
  return steps;
}

// Asserts that the path (row, column pairs) goes from start to end by 4-adjacent open cells.
export function assertWalkable(path, cells, side, start, end) {
  assert.deepEqual([...path.subarray(0, 2), ...path.subarray(-2)], [...start, ...end]);
  for (let k = 0; k < path.length; k += 2) {
    assert.equal(cells[path[k] * side + path[k + 1]], 0, `cell ${k / 2} is open`);
    if (k > 0) assert.equal(Math.abs(path[k] - path[k - 2]) + Math.abs(path[k + 1] - path[k - 1]), 1, `step ${k / 2}`);
  }
}

// Open cells of the map, the same on every run.
export function openCells(cells, side, count, seed) {
  let state = seed;
  const found = [];
  while (found.length < count) {
    state = (Math.imul(state, 1664525) + 1013904223) >>> 0;
    const at = Math.floor((state / 2 ** 32) * side * side);
    if (cells[at] === 0) found.push([Math.floor(at / side), at % side]);
  }
  return found;
}
