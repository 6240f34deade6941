// Finding one's way on the map: the go-to box (a row and column, or a problem's cell flown to
// from the lists), the cell marked where the view was taken, and the zoom readout in the footer,
// which follows the view at every frame it draws.
'use strict';

const StudioNavigation = (() => {
  const W = VarnholtWords;
  const $ = (id) => document.getElementById(id);
  let marked = null;  // [row, column] flown to
  let zoomShown = '';

  function attach() {
    const box = $('goto');
    box.addEventListener('keydown', (event) => {
      if (event.key === 'Enter') {
        event.preventDefault();
        goTo(box.value);
      } else if (event.key === 'Escape') {
        box.blur();
      }
    });
    box.addEventListener('input', () => box.setAttribute('aria-invalid', 'false'));
  }

  // The cell of Text ("row, column", or two numbers apart), or why it is none on this map.
  function parse(text) {
    const map = StudioMap.current();
    if (!map) return {problem: 'Open or make a map first'};
    const numbers = text.trim().split(/[\s,;]+/).filter(Boolean);
    if (numbers.length !== 2 || !numbers.every((n) => /^\d+$/.test(n))) return {problem: 'Type a row and a column, as 120, 45'};
    const [row, column] = numbers.map(Number);
    if (!StudioMap.inside({row, column})) return {problem: `The map's rows and columns run from 0 to ${map.cellsPerSide - 1}`};
    return {cell: [row, column]};
  }

  function goTo(text) {
    const {cell, problem} = parse(text);
    const box = $('goto');
    box.setAttribute('aria-invalid', problem ? 'true' : 'false');
    box.title = problem || 'Centre the view on a cell (Ctrl+G)';
    if (problem) {
      StudioStatus.showNote(problem);
      return;
    }
    flyTo(cell, 1 / 16);
    box.blur();
  }

  // Centres the view on Cell and marks it; Scale cells a pixel where given.
  function flyTo(cell, scale) {
    marked = cell;
    StudioView.centreOn(cell, scale);
  }

  function focusBox() {
    $('goto').focus();
    $('goto').select();
  }

  // A new map: nothing flown to.
  function clear() {
    marked = null;
  }

  function markedCell() {
    return marked;
  }

  // The zoom of View (in CSS pixels), shown as it changes.
  function showZoom(view) {
    const {text, detail} = W.zoomText(view.scale);
    if (text === zoomShown) return;
    zoomShown = text;
    $('zoom').textContent = `zoom ${text}`;
    $('zoom').title = detail;
  }

  return {attach, parse, goTo, flyTo, focusBox, clear, markedCell, showZoom};
})();
