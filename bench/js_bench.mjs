// The varnholt package against the grid pathfinders JavaScript games use, in Node on the same
// grids: pathfinding's AStarFinder and easystarjs, both 4-connected, as js/package-lock.json pins
// them. Maps of varnholt-genmap's: a 1024² maze, rooms and noise 30 %, and a 4096² terrain. For
// each engine: what it needs to set up the grid, and the median query over pairs of connected open
// cells at least a quarter side apart, the same pairs for all; a query that does not finish in 60 s
// ends that engine's run on the map.
//   npm ci --prefix js && cmake --build build --target varnholt_js varnholt-genmap
//   node bench/js_bench.mjs build/js/package build/varnholt-genmap
import {execFileSync} from 'node:child_process';
import {mkdtempSync, readFileSync, rmSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {join, resolve} from 'node:path';
import {Worker} from 'node:worker_threads';

const kMaps = [
  {name: 'maze 1024² (corridors 4 wide)', words: ['maze', 4, 4, 1], pairs: 25},
  {name: 'rooms 1024²', words: ['rooms', 4, 1], pairs: 25},
  {name: 'noise 30 % 1024²', words: ['noise', 4, 30, 1], pairs: 25},
  {name: 'terrain 4096²', words: ['terrain', 6, 1], pairs: 7},
];
const kEngines = ['varnholt', 'pathfinding', 'easystarjs'];
const kQuerySeconds = 60;
const kSetupSeconds = 300;
const kHeapMegabytes = 12 * 1024;  // room for a peer's grid of objects, in a 24 GB machine

const [packageFolder, genmap] = process.argv.slice(2).map((path) => resolve(path));
const scratch = mkdtempSync(join(tmpdir(), 'varnholt-bench-'));
process.on('exit', () => rmSync(scratch, {recursive: true, force: true}));

function generated(words) {
  const path = join(scratch, `${words.join('-')}.raw`);
  execFileSync(genmap, [...words.map(String), path]);
  return readFileSync(path);
}

// Pairs of open cells that the grid connects, at least a quarter side apart, by a seeded generator.
function farPairs(map, grid, count) {
  const side = map.cellsPerSide, pairs = [];
  let state = 12345;
  const cell = () => {
    state = (Math.imul(state, 1664525) + 1013904223) >>> 0;
    return Math.floor((state / 2 ** 32) * side * side);
  };
  while (pairs.length < count) {
    const [a, b] = [cell(), cell()];
    const [r0, c0, r1, c1] = [Math.floor(a / side), a % side, Math.floor(b / side), b % side];
    if (grid[a] || grid[b] || Math.hypot(r1 - r0, c1 - c0) < side / 4 || !map.connected(r0, c0, r1, c1)) continue;
    pairs.push([r0, c0, r1, c1]);
  }
  return pairs;
}

// An engine in a worker of its own. Its answers come one at a time: the set-up, then one per
// pair asked; an answer that does not come in time, or a worker that fails, ends the engine's run
// on the map, and the reason is kept.
class EngineRun {
  constructor(engine, data) {
    this.result = {times: [], cells: [], clones: [], unfinished: null};
    this.worker = new Worker(new URL('./js_engines.mjs', import.meta.url),
      {workerData: {engine, ...data}, resourceLimits: {maxOldGenerationSizeMb: kHeapMegabytes}});
    this.worker.on('error', (error) => this.end(error.code === 'ERR_WORKER_OUT_OF_MEMORY' ? `ran out of its ${kHeapMegabytes / 1024} GB heap` : error.message));
    this.pending = null;
  }

  // The worker's next message, or null when it does not come within seconds.
  next(seconds, late) {
    return new Promise((answer) => {
      const timer = setTimeout(() => this.end(late), seconds * 1000);
      this.pending = (message) => {
        clearTimeout(timer);
        answer(message);
      };
      this.worker.once('message', (message) => this.pending?.(message));
    });
  }

  async setUp() {
    const message = await this.next(kSetupSeconds, `did not set up in ${kSetupSeconds} s`);
    if (message) Object.assign(this.result, message);
  }

  async ask(pair) {
    if (this.result.unfinished) return;
    this.worker.postMessage(pair);
    const message = await this.next(kQuerySeconds, `did not finish a query in ${kQuerySeconds} s`);
    if (message) [this.result.times, this.result.cells, this.result.clones].forEach((list, k) => list.push([message.ms, message.cells, message.cloneMs][k]));
  }

  end(unfinished) {
    this.result.unfinished ??= unfinished;
    this.pending?.(null);
    this.pending = null;
    return this.worker.terminate();
  }
}

// Each engine alone on the machine, its worker ended before the next starts, so that none pays
// for another's collector; varnholt both first and last, its times pooled, so that a change in the
// machine's load while the benchmark runs weighs on it as on the peers.
async function runAll(data, pairs) {
  const results = [];
  for (const engine of [...kEngines, kEngines[0]]) {
    const run = new EngineRun(engine, data);
    await run.setUp();
    for (const pair of pairs) await run.ask(pair);
    await run.end(null);
    results.push(run.result);
  }
  const [first, ...rest] = results, last = rest.pop();
  first.times.push(...last.times);
  return [first, ...rest];
}

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
}

function milliseconds(value) {
  return value >= 100 ? value.toFixed(0) : value >= 1 ? value.toFixed(1) : value.toFixed(3);
}

// How long varnholt's paths are against another engine's, over the pairs both answered.
function lengthRatio(ours, theirs) {
  const sum = (cells) => cells.reduce((total, count) => total + count, 0);
  return (sum(ours.slice(0, theirs.length)) / sum(theirs)).toFixed(3);
}

function row(engine, result, ours) {
  const setup = result.fromGridMs === undefined ? milliseconds(result.setupMs)
    : `${milliseconds(result.setupMs)} (from the grid: ${milliseconds(result.fromGridMs)})`;
  if (result.times.length === 0) return `| ${engine} | ${result.setupMs === undefined ? '–' : setup} | – | ${result.unfinished} | | | |`;
  const query = median(result.times), fastest = median(ours.times);
  const clone = result.clones[0] === undefined ? '' : ` (of which the grid's clone ${milliseconds(median(result.clones))})`;
  const ratio = engine === 'varnholt' ? '1' : `${(query / fastest).toFixed(0)}×`;
  const lengths = engine === 'varnholt' ? '1' : lengthRatio(ours.cells, result.cells);
  const answered = result.unfinished ? ` ${result.times.length} of the pairs; then ${result.unfinished}` : '';
  return `| ${engine} | ${setup} | ${result.megabytes.toFixed(0)} | ${milliseconds(query)}${clone}${answered} | ${ratio} | ${median(result.cells)} | ${lengths} |`;
}

const {load} = await import(new URL(`file://${packageFolder}/index.js`));
const varnholt = await load();
console.log('| engine | set-up ms | memory MB | median query ms | varnholt faster | median path cells | varnholt\'s paths, length × theirs |');
console.log('|---|---|---|---|---|---|---|');
for (const {name, words, pairs: count} of kMaps) {
  const level0 = generated(words);
  const map = varnholt.analyse(level0), side = map.cellsPerSide, grid = map.getCells(0, 0, side, side);
  const pairs = farPairs(map, grid, count);
  map.close();
  console.log(`| **${name}**, \`varnholt-genmap ${words.join(' ')}\`, ${count} pairs | | | | | | |`);
  const results = await runAll({packageFolder, level0, grid, side}, pairs);
  kEngines.forEach((engine, k) => console.log(row(engine, results[k], results[0])));
}
