// Edits of the map's cells as the page asks for them: strokes of the brush, rectangles, fills,
// cells set through the automation interface, undo and redo; and what follows each answer (tiles
// drawn anew, the map marked edited, the survey and the path asked for again, the Undo and Redo
// buttons). Each edit goes with the tiles in view, which come back drawn with its answer.
'use strict';

const StudioEdits = (() => {
  const L = VarnholtLogic;
  const $ = (id) => document.getElementById(id);
  // Edits answered whose tiles are still being made into bitmaps: the page is not idle yet.
  let editsApplying = 0;

  function attach() {
    $('undo').addEventListener('click', undo);
    $('redo').addEventListener('click', redo);
  }

  function applying() {
    return editsApplying > 0;
  }

  // An edit, sent with the tiles in view: those it changed come back drawn with its answer.
  function askEdit(operation, argument = {}, transfer = []) {
    const asked = StudioTiles.generation();
    const map = StudioMap.current();
    const shown = map ? {
      tiles: StudioView.visibleTiles(map.cellsPerSide).map(({level, tx, ty}) => ({level, tx, ty})),
      layers: StudioPanels.shownLayers(),
    } : null;
    ++editsApplying;
    return StudioRequests.ask(operation, {...argument, shown}, transfer).then(async (result) => {
      const fresh = await StudioTiles.bitmapsOf(result.tiles || []);
      afterEdit(result);
      StudioTiles.keepEdited(fresh, result.records, asked);
      return result;
    }).finally(() => {
      --editsApplying;
      StudioView.redraw();
    });
  }

  function afterEdit(result) {
    const ranges = Array.isArray(result.touched) ? result.touched : result.touched ? [result.touched] : [];
    ranges.forEach(StudioTiles.invalidate);
    if (ranges.length > 0) {
      StudioMap.setDirty(true);
      StudioPanels.refreshSurvey(400);
      StudioPaths.refresh();
    }
    if ('canUndo' in result) showHistory(result);
    return result;
  }

  function showHistory({canUndo, canRedo}) {
    $('undo').disabled = !canUndo;
    $('redo').disabled = !canRedo;
  }

  // Sets Rect's cells to what the tools paint, as part of the stroke begun.
  function paintRect(rect) {
    if (!rect) return Promise.resolve();
    const blocked = new Uint8Array(rect.rows * rect.columns).fill(StudioTools.isBlocking() ? 1 : 0);
    return askEdit('setCells', {...rect, blocked}, [blocked.buffer]).catch((error) => StudioStatus.showError(error.message));
  }

  // A brush stroke: begun at a cell, drawn along from cell to cell, ended; one step to undo.
  function beginBrush(cell, cellsPerSide) {
    StudioRequests.ask('beginStroke');
    paintRect(StudioTools.brushAt(cell, cellsPerSide));
  }

  function brushAlong(from, to, cellsPerSide) {
    for (const step of L.strokeCells(from, to, StudioTools.brushSize())) paintRect(StudioTools.brushAt(step, cellsPerSide));
  }

  function endBrush() {
    StudioRequests.ask('endStroke').then(afterEdit);
  }

  function paintRectangle(rect) {
    StudioRequests.ask('beginStroke').then(() => paintRect(rect)).then(() => StudioRequests.ask('endStroke')).then(afterEdit);
  }

  // A fill from Cell over the cells joined to it, within Window.
  function fillAt(cell, window) {
    StudioRequests.ask('beginStroke')
      .then(() => askEdit('fill', {row: cell.row, column: cell.column, blocked: StudioTools.isBlocking(), window}))
      .then(() => StudioRequests.ask('endStroke'))
      .then(showHistory)
      .catch((error) => StudioStatus.showError(error.message));
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

  // A new map has nothing to undo or redo.
  function forgetHistory() {
    showHistory({canUndo: false, canRedo: false});
  }

  return {attach, applying, beginBrush, brushAlong, endBrush, paintRectangle, fillAt, setCells, undo, redo, forgetHistory};
})();
