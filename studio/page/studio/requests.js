// Messages to the worker, which holds the map: each request is answered by a promise, and any
// answer more than 100 ms in coming shows as work under way. The rest of the page sees only ask()
// and whether an answer is still owed, never the worker itself or how its answers are matched to
// their requests.
'use strict';

const StudioRequests = (() => {
  const pending = new Map();
  let nextRequest = 1;
  let worker = null;
  let onQuiet = () => {};
  // What each request does, in the words the sign of work shows.
  const kLabels = {
    open: 'Reading and analysing the map', take: 'Opening', create: 'Making the map', files: 'Writing the files', tile: 'Drawing the map',
    records: 'Reading waypoints', hover: 'Reading the cell', minimap: 'Drawing the minimap', path: 'Finding the path',
    findPath: 'Finding a path', shortest: 'Measuring the shortest path', setCells: 'Analysing the edit', paint: 'Analysing the stroke',
    fill: 'Filling', undo: 'Undoing', redo: 'Redoing', survey: 'Surveying the map', look: 'Finding the ground',
    splitFixes: 'Finding what mends the split', applyFix: 'Mending the split',
    fieldGoal: 'Setting the goal', fieldView: 'Measuring the distances to the goal', fieldDistance: 'Measuring a distance',
    exportMap: 'Writing the Moving AI map', exportPng: 'Writing the picture',
  };

  // The worker is the logic and the worker's own scripts, which the page holds as text. Quiet is
  // called whenever the last answer owed comes in.
  function start(quiet) {
    onQuiet = quiet;
    const text = (id) => document.getElementById(id).textContent;
    worker = new Worker(URL.createObjectURL(new Blob([text('logic-source'), text('worker-source')], {type: 'text/javascript'})));
    worker.onmessage = answered;
    worker.onerror = (event) => StudioStatus.showError(`The studio's worker stopped: ${event.message}`);
  }

  function ask(operation, argument, transfer = []) {
    return new Promise((resolve, reject) => {
      const id = nextRequest++;
      const token = StudioBusy.begin(kLabels[operation] || 'Working');
      pending.set(id, {resolve, reject, token});
      worker.postMessage({id, operation, argument}, transfer);
    });
  }

  function answered(event) {
    const {id, ok, result, error} = event.data;
    const waiting = pending.get(id);
    pending.delete(id);
    StudioBusy.done(waiting.token);
    if (ok) waiting.resolve(result); else waiting.reject(new Error(error));
    if (pending.size === 0) onQuiet();
  }

  function busy() {
    return pending.size > 0;
  }

  return {start, ask, busy};
})();
