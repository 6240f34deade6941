// The engines the JavaScript benchmark compares, each run in a worker_threads worker of its own:
// the varnholt package, pathfinding's A* (4-connected) and easystarjs (synchronous, 4-connected).
// The worker sets its engine up on the grid, says what that took, then answers one query at a
// time, so that the main thread can end a query that does not finish in time.
import {createRequire} from 'node:module';
import {parentPort, workerData} from 'node:worker_threads';

const require = createRequire(new URL('../js/package.json', import.meta.url));

// The grid as rows of 0 (open) and 1 (blocked), the form both peers take.
function rowsOf(grid, side) {
  return Array.from({length: side}, (_, row) => Array.from(grid.subarray(row * side, (row + 1) * side)));
}

// Each engine set up on a map, timed from the grid or file a game holds to an engine that answers:
// setupMs, and query, which finds the path of a pair of cells and returns its cell count (0 when
// there is none), with what else is measured on the way.
const kEngines = {
  async varnholt({packageFolder, level0, grid, side}) {
    const {load} = await import(new URL(`file://${packageFolder}/index.js`));
    const varnholt = await load();
    // From the grid's bytes as a game holds them, then, as the map kept, from the level-0 file.
    let started = performance.now();
    const fromGrid = varnholt.create(side);
    fromGrid.setCells(0, 0, side, side, grid);
    const fromGridMs = performance.now() - started;
    fromGrid.close();
    started = performance.now();
    const map = varnholt.analyse(level0);
    const setupMs = performance.now() - started;
    return {query: ([r0, c0, r1, c1]) => map.findPath(r0, c0, r1, c1).length / 2, setupMs, fromGridMs};
  },

  pathfinding({grid, side}) {
    const PF = require('pathfinding');
    const started = performance.now();
    const base = new PF.Grid(side, side, rowsOf(grid, side));
    const setupMs = performance.now() - started;
    const finder = new PF.AStarFinder({diagonalMovement: PF.DiagonalMovement.Never});
    // A search marks the grid's nodes, so each needs a fresh grid: the clone its documentation asks
    // for is part of the query, and measured apart as well.
    let cloneMs = 0;
    const query = ([r0, c0, r1, c1]) => {
      const started = performance.now();
      const grid = base.clone();
      cloneMs = performance.now() - started;
      return finder.findPath(c0, r0, c1, r1, grid).length;
    };
    return {query, setupMs, cloneMs: () => cloneMs};
  },

  easystarjs({grid, side}) {
    const EasyStar = require('easystarjs');
    const started = performance.now();
    const finder = new EasyStar.js();
    finder.setGrid(rowsOf(grid, side));
    finder.setAcceptableTiles([0]);
    finder.enableSync();
    finder.disableDiagonals();
    const setupMs = performance.now() - started;
    const query = ([r0, c0, r1, c1]) => {
      let cells = -1;
      finder.findPath(c0, r0, c1, r1, (path) => { cells = path ? path.length : 0; });
      finder.calculate();
      return cells;
    };
    return {query, setupMs};
  },
};

// The process's memory before and after, the main thread idle meanwhile: what the engine holds,
// its code and the WebAssembly's start included.
const before = process.memoryUsage.rss();
const engine = await kEngines[workerData.engine](workerData);
const megabytes = (process.memoryUsage.rss() - before) / 2 ** 20;
parentPort.postMessage({setupMs: engine.setupMs, fromGridMs: engine.fromGridMs, megabytes});
parentPort.on('message', (pair) => {
  const started = performance.now();
  const cells = engine.query(pair);
  const ms = performance.now() - started;
  parentPort.postMessage({ms, cells, cloneMs: engine.cloneMs?.()});
});
