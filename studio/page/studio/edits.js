// Edits of the map's cells as the page asks for them: strokes of the brush, rectangles, fills,
// fixes for splits, cells set through the automation interface, undo and redo; and what follows
// each answer (tiles and the minimap drawn anew, the ground looked at as the edit left it, the map
// marked edited, the survey, the path and the words under the pointer asked for again, the Undo
// and Redo buttons). Each edit goes with the tiles in view, which come back drawn with its answer.
// A brush's dabs are gathered while one request is out and sent together, so that a fast stroke
// on a large map never queues more work than the worker can do in a frame or two.
'use strict';

const StudioEdits = (() => {
  const L = VarnholtLogic, W = VarnholtWords;
  const $ = (id) => document.getElementById(id);
  let editsOut = 0;    // edits sent whose answers are not yet applied
  let stroke = null;   // the brush stroke under way: {rects waiting, sending, blocked}

  function attach() {
    $('undo').addEventListener('click', undo);
    $('redo').addEventListener('click', redo);
  }

  function applying() {
    return editsOut > 0;
  }

  const report = (error) => StudioStatus.showError(error.message);

  // An edit, sent with the tiles in view: those it changed come back drawn with its answer. An
  // answer for a map no longer shown changes nothing.
  function askEdit(operation, argument = {}, transfer = []) {
    const asked = StudioTiles.generation(), generation = StudioMap.currentGeneration();
    const map = StudioMap.current();
    const shown = map ? {
      tiles: StudioView.visibleTiles(map.cellsPerSide).map(({level, tx, ty}) => ({level, tx, ty})),
      layers: StudioLayers.shown(), minimap: StudioMinimap.shown(),
    } : null;
    ++editsOut;
    StudioSurvey.edited();
    StudioGround.edited(null);
    return StudioRequests.ask(operation, {...argument, shown, serial: generation}, transfer).then(async (result) => {
      const fresh = await StudioTiles.bitmapsOf(result.tiles || []);
      if (generation !== StudioMap.currentGeneration()) return result;
      afterEdit(result);
      StudioField.edited();
      StudioTiles.keepEdited(fresh, result.records, asked);
      StudioMinimap.edited(result.minimap);
      StudioGround.edited(result);
      return result;
    }).finally(() => {
      --editsOut;
      StudioView.redraw();
      StudioSurvey.want();
    });
  }

  function afterEdit(result) {
    const ranges = Array.isArray(result.touched) ? result.touched : result.touched ? [result.touched] : [];
    ranges.forEach(StudioTiles.invalidate);
    if (ranges.length > 0) {
      StudioMap.setDirty(true);
      StudioPaths.refresh();
      StudioHover.refresh();
    }
    if ('canUndo' in result) showHistory(result);
  }

  function showHistory({canUndo, canRedo}) {
    $('undo').disabled = !canUndo;
    $('redo').disabled = !canRedo;
  }

  // A brush stroke: begun at a cell, drawn along from cell to cell, ended (or cancelled, which
  // keeps what was painted); one step to undo.
  function beginBrush(cell, cellsPerSide) {
    stroke = {rects: [], sending: false, blocked: StudioTools.isBlocking()};
    StudioSurvey.stroke(true);
    StudioRequests.ask('beginStroke', {serial: StudioMap.currentGeneration()}).catch(report);
    queue(StudioTools.brushAt(cell, cellsPerSide));
  }

  function brushAlong(from, to, cellsPerSide) {
    for (const step of L.strokeCells(from, to, StudioTools.brushSize())) queue(StudioTools.brushAt(step, cellsPerSide));
  }

  function queue(rect) {
    if (!rect || !stroke) return;
    stroke.rects.push(rect);
    send(stroke);
  }

  // Sends the dabs waiting, unless the last sent is still out: they go once it is in.
  function send(current) {
    if (current.sending || current.rects.length === 0) return;
    const rects = current.rects;
    current.rects = [];
    current.sending = true;
    askEdit('paint', {rects, blocked: current.blocked}).catch(report).finally(() => {
      current.sending = false;
      send(current);
    });
  }

  function endBrush() {
    const current = stroke;
    stroke = null;
    if (!current) return;
    // The dabs still waiting go now, whatever is out: the worker answers in order, so the stroke
    // ends after them.
    if (current.rects.length > 0) {
      askEdit('paint', {rects: current.rects, blocked: current.blocked}).catch(report);
      current.rects = [];
    }
    // Its end is an edit of its own: the ground looked at is found again as the stroke ends.
    askEdit('endStroke').catch(report).finally(() => StudioSurvey.stroke(false));
  }

  // A rectangle, a stroke of its own.
  function paintRectangle(rect) {
    if (!rect) return Promise.resolve();
    return askEdit('paint', {rects: [rect], blocked: StudioTools.isBlocking()}).catch(report);
  }

  // A fill from Cell over every cell joined to it, however far: a stroke of its own.
  function fillAt(cell) {
    return askEdit('fill', {row: cell.row, column: cell.column, blocked: StudioTools.isBlocking()}).then((result) => {
      StudioStatus.showNote(result.count === 0 ? `(${cell.row}, ${cell.column}) is already ${StudioTools.isBlocking() ? 'blocked' : 'open'}`
        : `Filled ${W.plural(result.count, 'cell')} from (${cell.row}, ${cell.column})`);
      return result;
    }).catch(report);
  }

  // A fix for a split: Cells (row, column pairs) made blocked or open, a stroke of its own.
  function applyFix(cells, blocked) {
    return askEdit('applyFix', {cells, blocked}, [cells.buffer]);
  }

  // Cells set as a stroke of their own, through the automation interface.
  function setCells(row, column, rows, columns, blocked) {
    return askEdit('setCells', {row, column, rows, columns, blocked});
  }

  function undo() {
    return askEdit('undo');
  }

  function redo() {
    return askEdit('redo');
  }

  // A new map has nothing to undo or redo, and no stroke under way.
  function forgetHistory() {
    stroke = null;
    showHistory({canUndo: false, canRedo: false});
  }

  return {attach, applying, beginBrush, brushAlong, endBrush, paintRectangle, fillAt, applyFix, setCells, undo, redo, forgetHistory};
})();
