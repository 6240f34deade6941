// One round of the package's calls on a map's bytes, run alike on the main thread and, started as
// a worker_threads worker, in a worker, which posts what it answered.
import {isMainThread, parentPort, workerData} from 'node:worker_threads';

export async function exercise(entry, bytes) {
  const {load, VarnholtError} = await import(entry);
  const map = (await load()).analyse(bytes);
  const failure = (call) => {
    try {
      return call();
    } catch (error) {
      return {varnholtError: error instanceof VarnholtError, message: error.message, status: error.status};
    }
  };
  const side = map.cellsPerSide, start = map.getCells(side / 2, 0, 1, side).indexOf(0);
  const path = map.findPathToward(side / 2, start, side - 3, side / 2);
  const answers = {path, corners: map.smoothPath(path), waypoint: map.file('waypoint'), survey: map.survey()};
  answers.failed = failure(() => map.getCells(side, 0, 1, 1));
  // The segment half way along the path, blocked whole: its record can only change.
  const middle = 2 * Math.floor(path.length / 4);
  map.setCells(path[middle] & ~63, path[middle + 1] & ~63, 64, 64, new Uint8Array(4096).fill(1));
  answers.edited = map.file('waypoint');
  map.close();
  answers.closed = failure(() => map.findPath(0, 0, 0, 0));
  return answers;
}

if (!isMainThread) parentPort.postMessage(await exercise(workerData.entry, workerData.bytes));
