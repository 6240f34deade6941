// The map the page shows, as the worker described it ({name, cellsPerSide, segmentsPerSide}), and
// whether it holds edits not yet saved; with the title, name field and facts that tell both. Kept
// in one place so that the title, the leave prompt and the questions before a new map agree.
'use strict';

const StudioMap = (() => {
  const $ = (id) => document.getElementById(id);
  let map = null;
  let dirty = false;

  function current() {
    return map;
  }

  function show(next) {
    map = next;
  }

  function isDirty() {
    return dirty;
  }

  function setDirty(value) {
    dirty = value;
    describe();
  }

  // A save names the map after the level-0 file written.
  function rename(name) {
    map.name = name;
  }

  // The name typed into the field, which a save writes the map under.
  function typedName() {
    return $('map-name').value.trim();
  }

  function inside(cell) {
    return map && cell.row >= 0 && cell.column >= 0 && cell.row < map.cellsPerSide && cell.column < map.cellsPerSide;
  }

  function describe() {
    $('map-name').value = map ? map.name : '';
    $('map-facts').textContent = map ? `${map.cellsPerSide} x ${map.cellsPerSide} cells, ${map.segmentsPerSide} x ${map.segmentsPerSide} segments` : 'No map open';
    document.title = map ? `${map.name}${dirty ? ' *' : ''} - Varnholt Studio` : 'Varnholt Studio';
    $('drop-hint').hidden = Boolean(map);
  }

  return {current, show, isDirty, setDirty, rename, typedName, inside, describe};
})();
