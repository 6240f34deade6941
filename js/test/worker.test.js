// The package installed from its tarball in worker_threads workers, two at once: each loads its
// own instance and answers as the main thread does, paths, files, failures and a closed map alike.
import test from 'node:test';
import assert from 'node:assert/strict';
import {Worker} from 'node:worker_threads';
import {exercise} from './worker-task.js';
import {generatedMap, installedPackage} from './support.js';

function inWorker(entry, bytes) {
  return new Promise((resolve, reject) => {
    const worker = new Worker(new URL('./worker-task.js', import.meta.url), {workerData: {entry, bytes}});
    worker.once('message', resolve);
    worker.once('error', reject);
    worker.once('exit', (code) => reject(new Error(`the worker ended with ${code} before answering`)));
  });
}

test('workers answer as the main thread does', async () => {
  const {entry} = installedPackage();
  const maps = [generatedMap('Terrain', 'terrain', 2, 3).bytes, generatedMap('Maze', 'maze', 2, 3, 4).bytes];
  const answered = await Promise.all(maps.map((bytes) => inWorker(entry, bytes)));
  for (const [k, bytes] of maps.entries()) {
    const expected = await exercise(entry, bytes);
    assert.ok(expected.path.length > 2 && expected.corners.length >= 4);
    assert.notDeepEqual(expected.edited, expected.waypoint);
    assert.equal(expected.failed.status, 'VARNHOLT_ERROR_ARGUMENT');
    assert.deepEqual(expected.closed, {varnholtError: true, message: 'The map is closed', status: 'VARNHOLT_ERROR_ARGUMENT'});
    assert.deepEqual(answered[k], expected);
  }
});
