// The status line's words on the cell under the pointer, asked of the worker one question at a
// time (while one is out, only the latest cell waits). They are of the map as it is: asked again
// after every edit and for every map, and gone when the pointer leaves the map.
'use strict';

const StudioHover = (() => {
  const $ = (id) => document.getElementById(id);
  let cell = null;  // {row, column} under the pointer
  let waiting = false, again = false;

  function show(text, title = '') {
    $('hover').textContent = text;
    $('hover').title = title;
  }

  // The pointer over Cell (or off the map).
  function at(next) {
    if (cell && StudioMap.inside(next) && cell.row === next.row && cell.column === next.column) return;
    cell = StudioMap.inside(next) ? next : null;
    if (!cell) show('');
    else ask();
  }

  // The pointer left the map, or the map changed: nothing under it is told.
  function leave() {
    cell = null;
    show('');
  }

  // The cells changed: the words on the cell under the pointer are asked for again.
  function refresh() {
    if (cell) ask();
  }

  function ask() {
    if (waiting) {
      again = true;
      return;
    }
    waiting = true;
    const asked = cell, generation = StudioMap.currentGeneration();
    StudioRequests.ask('hover', asked).then(({text, record}) => {
      if (cell === asked && generation === StudioMap.currentGeneration()) show(text, record);
    }).catch(() => {}).finally(() => {
      waiting = false;
      if (again || (cell && cell !== asked)) {
        again = false;
        if (cell) ask();
      }
    });
  }

  return {at, leave, refresh};
})();
