// Paths on the map the worker holds: the path toward a goal with its corners smoothed, as the path
// tool shows it; a path as the automation interface gives it; and the exact search that the path
// panel measures the path against.
'use strict';

const WorkerPaths = (() => {
  const {checked, withBuffer, cellsOf} = WorkerLibrary;

  function smooth(map, cells) {
    const count = cells.length / 2;
    if (count === 0) return new Int32Array(0);
    return withBuffer(cells.byteLength, new Uint8Array(cells.buffer), (path) =>
      cellsOf((out, capacity) => WorkerLibrary.core._varnholt_smooth_path(map, path, BigInt(count), out, capacity)));
  }

  // The path toward the goal (to the nearest cell reached where the goal cannot be), its corners
  // and the time taken.
  function path({row0, column0, row1, column1}) {
    const map = WorkerMap.handle();
    const started = performance.now();
    const cells = cellsOf((out, capacity) => WorkerLibrary.core._varnholt_find_path_toward(map, row0, column0, row1, column1, out, capacity));
    const corners = smooth(map, cells);
    const milliseconds = performance.now() - started;
    return {cells, corners, milliseconds, transfer: [cells.buffer, corners.buffer]};
  }

  function findPath({row0, column0, row1, column1}) {
    const map = WorkerMap.handle();
    const cells = cellsOf((out, capacity) => WorkerLibrary.core._varnholt_find_path(map, row0, column0, row1, column1, out, capacity));
    const pairs = [];
    for (let k = 0; k < cells.length; k += 2) pairs.push([cells[k], cells[k + 1]]);
    return pairs;
  }

  function shortest({row0, column0, row1, column1}) {
    const map = WorkerMap.handle();
    const started = performance.now();
    const count = checked(WorkerLibrary.core._varnholt_shortest_path_cells(map, row0, column0, row1, column1));
    return {steps: count - 1, milliseconds: performance.now() - started};
  }

  return {path, findPath, shortest};
})();
