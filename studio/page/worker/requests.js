// The worker's requests: each names an operation of the parts before, answered in order once the
// library has started. An edit's answer carries the ground looked at as the edit left it, the
// tiles and the minimap it changed. Every other part is reached from this table alone, so that it
// says all the worker does.
'use strict';

(() => {
  // A map opened or made anew starts without a history of strokes, a ground looked at or a minimap.
  // An import may wait on the browser's decoding, so what follows waits for the map made.
  const replacing = (make) => (argument) => Promise.resolve(make(argument)).then((described) => {
    if (!argument.hold) {
      WorkerEdits.forget();
      WorkerInspect.forget();
      WorkerMinimap.forget();
    }
    return described;
  });

  const kOperations = {
    open: replacing(WorkerImports.open), take: replacing(WorkerMap.take), drop: WorkerMap.drop, create: replacing(WorkerMap.create),
    files: WorkerMap.files, rename: WorkerMap.rename, exportMap: WorkerExports.movingAi, exportPng: WorkerExports.png,
    tile: WorkerTiles.tile, records: WorkerTiles.records, hover: WorkerTiles.hover, minimap: WorkerMinimap.minimap,
    path: WorkerPaths.path, findPath: WorkerPaths.findPath, shortest: WorkerPaths.shortest,
    beginStroke: WorkerEdits.beginStroke, endStroke: WorkerEdits.endStroke, setCells: WorkerEdits.setCells,
    paint: WorkerEdits.paint, fill: WorkerFill.fill, undo: WorkerEdits.undo, redo: WorkerEdits.redo,
    survey: WorkerSurvey.survey, look: WorkerInspect.look, forgetLook: WorkerInspect.forget,
    splitFixes: WorkerFixes.fixes, applyFix: WorkerFixes.apply,
    fieldGoal: WorkerField.setGoal, fieldView: WorkerField.view, fieldDistance: WorkerField.distance, forgetField: WorkerField.forget,
  };
  // The end of a stroke is one too: the ground looked at is found again as it ends.
  const kEdits = new Set(['setCells', 'paint', 'fill', 'applyFix', 'undo', 'redo', 'endStroke']);

  // An edit's answer, with all that follows from it for the page that asked.
  function edited(result, shown) {
    const looked = WorkerInspect.afterEdit(result, WorkerEdits.inStroke());
    return WorkerMinimap.withMinimap(WorkerTiles.withTiles(looked, shown), shown);
  }

  // An edit meant for a map that another has since replaced changes neither.
  function checkSerial(operation, argument) {
    if ((kEdits.has(operation) || operation === 'beginStroke') && argument && argument.serial !== undefined && argument.serial !== WorkerMap.currentSerial()) {
      throw new Error('The map was replaced before this edit reached it');
    }
  }

  const started = WorkerLibrary.start();

  self.onmessage = (event) => {
    const {id, operation, argument} = event.data;
    started.then(() => {
      const handler = kOperations[operation];
      if (!handler) throw new Error(`Unknown request: ${operation}`);
      checkSerial(operation, argument);
      return kEdits.has(operation) ? edited(handler(argument || {}), argument && argument.shown) : handler(argument || {});
    }).then((result) => {
      const transfer = (result && result.transfer) || [];
      if (result && result.transfer) delete result.transfer;
      self.postMessage({id, ok: true, result}, transfer);
    }).catch((error) => {
      self.postMessage({id, ok: false, error: String((error && error.message) || error)});
    });
  };
})();
