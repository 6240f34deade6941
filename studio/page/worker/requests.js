// The worker's requests: each names an operation of the parts before, answered in order once the
// library has started. An edit's answer carries the tiles it changed. Every other part is reached
// from this table alone, so that it says all the worker does.
'use strict';

(() => {
  // A map opened or made anew starts without a history of strokes.
  const replacing = (make) => (argument) => {
    const described = make(argument);
    WorkerEdits.forget();
    return described;
  };

  const kOperations = {
    open: replacing(WorkerMap.open), create: replacing(WorkerMap.create), files: WorkerMap.files,
    tile: WorkerTiles.tile, records: WorkerTiles.records, hover: WorkerTiles.hover,
    path: WorkerPaths.path, findPath: WorkerPaths.findPath, shortest: WorkerPaths.shortest,
    beginStroke: WorkerEdits.beginStroke, endStroke: WorkerEdits.endStroke, setCells: WorkerEdits.setCells,
    fill: WorkerEdits.fill, undo: WorkerEdits.undo, redo: WorkerEdits.redo,
    survey: WorkerSurvey.survey,
  };
  const kEdits = new Set(['setCells', 'fill', 'undo', 'redo']);

  const started = WorkerLibrary.start();

  self.onmessage = (event) => {
    const {id, operation, argument} = event.data;
    started.then(() => {
      const handler = kOperations[operation];
      if (!handler) throw new Error(`Unknown request: ${operation}`);
      const result = kEdits.has(operation) ? WorkerTiles.withTiles(handler(argument || {}), argument && argument.shown) : handler(argument || {});
      const transfer = (result && result.transfer) || [];
      if (result && result.transfer) delete result.transfer;
      self.postMessage({id, ok: true, result}, transfer);
    }).catch((error) => {
      self.postMessage({id, ok: false, error: String((error && error.message) || error)});
    });
  };
})();
