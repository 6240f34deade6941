// The tool chosen (path, brush, rectangle or fill), what it paints (blocked or open cells), the
// brush's size, and the square or rectangle it shows under the pointer; with the header's
// buttons that set them. Painting itself is edits.js's; this part only says how.
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
    $('brush-size').addEventListener('input', (event) => {
      brush = Number(event.target.value);
      $('brush-size-value').textContent = String(brush);
    });
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

  // Shown from the next frame drawn; the caller asks for one where none is coming.
  function setPreview(rect) {
    preview = rect;
  }

  return {attach, choose, setBlocking, current, isBlocking, brushSize, brushAt, shownPreview, setPreview};
})();
