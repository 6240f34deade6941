// The automation interface, window.varnholtStudio, through which tests and benchmarks drive the
// page as a map maker would: open, create, setCells, findPath, files, undo, redo, idle and view.
// Idle is the page at rest: no answer owed by the worker, no edit being applied, no frame
// waiting, and every tile in view drawn.
'use strict';

const StudioAutomation = (() => {
  let idleWaiters = [];

  // Resolves the waiters once nothing is asked of the worker and every tile in view is drawn.
  function settle() {
    if (StudioRequests.busy() || StudioEdits.applying() || StudioView.drawing()) return;
    const map = StudioMap.current();
    const visible = map ? StudioView.visibleTiles(map.cellsPerSide) : [];
    if (!StudioTiles.allDrawn(visible)) return;
    const waiters = idleWaiters;
    idleWaiters = [];
    waiters.forEach((resolve) => resolve());
  }

  // A frame of a map was drawn: the page may be at rest now.
  function afterDraw() {
    if (idleWaiters.length > 0) settle();
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
    };
  }

  return {settle, afterDraw, install};
})();
