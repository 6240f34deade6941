// The automation interface, window.varnholtStudio, through which tests and benchmarks drive the
// page as a map maker would: open, create, setCells, findPath, files, undo, redo, idle, view, and
// what the page shows of the map: drawn() (every tile in view drawn), problems() (every split and
// unreachable place listed, the one chosen) and ground() (the ground looked at, its parts and
// joining areas), with look(row, column) to look at one, and fixes() (what mends the split
// chosen), and field(row, column) (a cell's distance to the field's goal, and what is drawn for
// it). Idle is the page at rest: no answer owed by the worker, no edit being applied, the
// survey, the ground, the fix and the minimap of the map as it is, and every tile in view drawn;
// with no map open, the page is at rest at once.
'use strict';

const StudioAutomation = (() => {
  let idleWaiters = [];

  function atRest() {
    if (StudioRequests.busy() || StudioEdits.applying()) return false;
    if (!StudioSurvey.settled() || !StudioGround.settled() || !StudioMinimap.settled() || !StudioFixes.settled() || !StudioField.settled()) return false;
    const map = StudioMap.current();
    return !map || StudioTiles.allDrawn(StudioView.visibleTiles(map.cellsPerSide));
  }

  // Resolves the waiters once the page is at rest; while any wait, frames go on being drawn, so
  // that whatever settles last is seen settled.
  function settle() {
    if (idleWaiters.length === 0) return;
    if (!atRest()) {
      StudioView.redraw();
      return;
    }
    const waiters = idleWaiters;
    idleWaiters = [];
    waiters.forEach((resolve) => resolve());
  }

  // A frame was drawn: the page may be at rest now.
  function afterDraw() {
    settle();
  }

  function idle() {
    return new Promise((resolve) => {
      idleWaiters.push(resolve);
      StudioView.redraw();
    });
  }

  const bytesOf = (value) => (value instanceof Uint8Array ? value : new Uint8Array(value));

  function install() {
    window.varnholtStudio = {
      open: (bytes, name = 'Map1Level0Map.raw') => StudioFiles.openBytes(Uint8Array.from(bytesOf(bytes)), name, []),
      create: (cellsPerSide, blocked) => StudioFiles.createMap(cellsPerSide, Boolean(blocked)),
      setCells: (row, column, rows, columns, blockedBytes) => StudioEdits.setCells(row, column, rows, columns, Uint8Array.from(bytesOf(blockedBytes))),
      findPath: (row0, column0, row1, column1) => StudioRequests.ask('findPath', {row0, column0, row1, column1}),
      files: () => StudioRequests.ask('files', {name: StudioMap.typedName() || undefined}).then(({level0, info, waypoint}) => ({level0, info, waypoint})),
      undo: StudioEdits.undo,
      redo: StudioEdits.redo,
      idle,
      view: (view) => {
        if (view) StudioView.show({...view});
        return StudioView.current();
      },
      drawn: () => {
        const map = StudioMap.current();
        return Boolean(map) && StudioTiles.allDrawn(StudioView.visibleTiles(map.cellsPerSide));
      },
      problems: StudioProblems.listed,
      look: (row, column) => StudioGround.look({row, column}),
      ground: StudioGround.highlighted,
      fixes: StudioFixes.shown,
      field: (row, column) => StudioRequests.ask('fieldDistance', {row, column}).then(({distance}) => ({distance, shown: StudioField.shownAt(row, column)})),
    };
  }

  return {settle, afterDraw, install};
})();
