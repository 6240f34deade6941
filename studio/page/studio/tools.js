// The tool chosen (path, inspect, brush, rectangle or fill), what it paints (blocked or open
// cells), the brush's size, and the square or rectangle it shows under the pointer; with the
// header's buttons that set them. Painting itself is edits.js's; this part only says how.
'use strict';

const StudioTools = (() => {
  const L = VarnholtLogic;
  const $ = (id) => document.getElementById(id);
  let tool = 'path';
  let blocking = true;
  let brush = 8;
  let preview = null;  // {row, column, rows, columns}, drawn on the overlay

  function attach() {
    for (const button of document.querySelectorAll('[data-tool]')) button.addEventListener('click', () => choose(button.dataset.tool));
    $('paint-blocked').addEventListener('change', () => setBlocking(true));
    $('paint-open').addEventListener('change', () => setBlocking(false));
    $('brush-size').addEventListener('input', (event) => setBrushSize(Number(event.target.value)));
  }

  // The brush Size cells a side, 1 to 64; the square under the pointer follows.
  function setBrushSize(size) {
    brush = Math.max(1, Math.min(64, Math.round(size)));
    $('brush-size').value = String(brush);
    $('brush-size-value').textContent = String(brush);
    if (preview && !preview.sized && tool === 'brush') {
      const middle = {row: preview.row + Math.floor((preview.rows - 1) / 2), column: preview.column + Math.floor((preview.columns - 1) / 2)};
      const map = StudioMap.current();
      if (map) preview = brushAt(middle, map.cellsPerSide);
      StudioView.redraw();
    }
  }

  // A size a step larger (By 1) or smaller (-1): by about a quarter of it, at least a cell.
  function stepBrush(by) {
    setBrushSize(by > 0 ? brush + Math.max(1, Math.floor(brush / 4)) : brush - Math.max(1, Math.floor(brush / 5)));
  }

  function choose(next) {
    tool = next;
    for (const button of document.querySelectorAll('[data-tool]')) button.classList.toggle('chosen', button.dataset.tool === next);
    preview = null;
    StudioView.redraw();
  }

  function setBlocking(value) {
    blocking = value;
    $('paint-blocked').checked = value;
    $('paint-open').checked = !value;
    StudioView.redraw();
  }

  function current() {
    return tool;
  }

  function isBlocking() {
    return blocking;
  }

  function brushSize() {
    return brush;
  }

  // The brush's square about Cell, within a map of CellsPerSide cells a side.
  function brushAt(cell, cellsPerSide) {
    return L.brushRect(cell.row, cell.column, brush, cellsPerSide);
  }

  function shownPreview() {
    return preview;
  }

  // Shown from the next frame drawn, a rectangle (Sized) with its size beside it.
  function setPreview(rect, sized = false) {
    preview = rect && {...rect, sized};
    StudioView.redraw();
  }

  return {attach, choose, setBlocking, current, isBlocking, brushSize, setBrushSize, stepBrush, brushAt, shownPreview, setPreview};
})();
