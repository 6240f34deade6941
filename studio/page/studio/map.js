// The map the page shows, as the worker described it ({name, cellsPerSide, segmentsPerSide}),
// whether it holds edits not yet saved, and what was said of the files dropped beside it; with the
// title, name field and facts that tell them. Kept in one place so that the title, the leave
// prompt and the questions before a new map agree. Each map shown has a generation of its own, so
// that an answer about one map is never taken for the next.
'use strict';

const StudioMap = (() => {
  const W = VarnholtWords;
  const $ = (id) => document.getElementById(id);
  let map = null;
  let dirty = false;
  let generation = 0;
  let notes = [];              // what was said of the files dropped beside the map
  let editedSinceOpen = false;

  function attach() {
    $('map-name').addEventListener('input', checkName);
  }

  function current() {
    return map;
  }

  function currentGeneration() {
    return generation;
  }

  // A map opened or made, with what was said of the files dropped beside it: the name field
  // shows its name, and any name typed before is let go. Its generation is the worker's count of
  // maps, which the edits meant for it carry.
  function show(next, pairNotes = []) {
    map = next;
    generation = next.serial;
    notes = pairNotes;
    editedSinceOpen = false;
    dirty = false;
    $('map-name').value = map ? map.name : '';
    checkName();
    describe();
  }

  function isDirty() {
    return dirty;
  }

  // Edits mark the map (the title and the notes on its pair follow); a save clears the mark. The
  // name field is left as typed.
  function setDirty(value) {
    dirty = value;
    if (value) editedSinceOpen = true;
    describe();
  }

  // A save names the map after the level-0 file written.
  function rename(name) {
    map.name = name;
    $('map-name').value = name;
    checkName();
    describe();
  }

  // The name typed into the field, which a save writes the map under.
  function typedName() {
    return $('map-name').value.trim();
  }

  // Why the name typed cannot name a file, or null: the field shows it as it is typed.
  function nameProblem() {
    return map ? W.nameProblem(typedName()) : null;
  }

  function checkName() {
    const problem = nameProblem();
    $('map-name').setAttribute('aria-invalid', problem ? 'true' : 'false');
    $('map-name').title = problem || "The level-0 map's file name; the info and waypoint maps are named after it";
  }

  function inside(cell) {
    return Boolean(map) && cell.row >= 0 && cell.column >= 0 && cell.row < map.cellsPerSide && cell.column < map.cellsPerSide;
  }

  // What was said of the pair holds for the map as opened: once it is edited, the pair a save
  // writes is another.
  function pairText() {
    if (!editedSinceOpen) return notes.join('\n');
    const said = / is (not )?the (info|waypoint) map the converter makes of this map/;
    return notes.map((note) => (!said.test(note) ? note
      : `${note.replace(said, ' was $1the $2 map the converter makes of this map as opened')}; it is edited since, and its pair is the one a save writes`)).join('\n');
  }

  function describe() {
    $('map-facts').textContent = map ? `${map.cellsPerSide} x ${map.cellsPerSide} cells, ${map.segmentsPerSide} x ${map.segmentsPerSide} segments` : 'No map open';
    $('pair-notes').textContent = pairText();
    document.title = map ? `${map.name}${dirty ? ' *' : ''} - Varnholt Studio` : 'Varnholt Studio';
    $('drop-hint').hidden = Boolean(map);
  }

  return {attach, current, currentGeneration, show, isDirty, setDirty, rename, typedName, nameProblem, inside, describe};
})();
