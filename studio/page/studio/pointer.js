// The pointer on the map: a press, drag and release mean what the tool chosen makes of them (a
// path's ends, a brush stroke, a rectangle, a fill), or a pan with the middle or right button or
// with Space held; the wheel zooms; and the words under the pointer come from the worker, one
// question at a time. The gesture under way is this part's alone.
'use strict';

const StudioPointer = (() => {
  const L = VarnholtLogic;
  const $ = (id) => document.getElementById(id);
  const pointer = {down: false, button: 0, x: 0, y: 0, startX: 0, startY: 0, moved: false, action: null, last: null, space: false};
  let hoverWaiting = false, hoverWanted = null;

  function attach() {
    const overlay = $('overlay');
    overlay.addEventListener('pointerdown', pressed);
    overlay.addEventListener('pointermove', moved);
    overlay.addEventListener('pointerup', released);
    overlay.addEventListener('contextmenu', (event) => event.preventDefault());
    overlay.addEventListener('wheel', wheeled, {passive: false});
  }

  // Space held: a drag pans, whatever the tool.
  function holdPan(held) {
    pointer.space = held;
  }

  function pressed(event) {
    const map = StudioMap.current();
    if (!map) return;
    $('overlay').setPointerCapture(event.pointerId);
    Object.assign(pointer, {down: true, button: event.button, x: event.clientX, y: event.clientY, startX: event.clientX, startY: event.clientY, moved: false});
    const cell = StudioView.cellUnder(event);
    const tool = StudioTools.current();
    if (event.button === 1 || event.button === 2 || pointer.space) {
      pointer.action = 'pan';
    } else if (tool === 'path') {
      const {x, y} = StudioView.pointAt(event);
      pointer.action = StudioPaths.endNear(StudioView.current(), x, y) || 'click-or-pan';
    } else if (tool === 'brush') {
      pointer.action = 'brush';
      pointer.last = cell;
      StudioEdits.beginBrush(cell, map.cellsPerSide);
    } else if (tool === 'rectangle') {
      pointer.action = 'rectangle';
      pointer.last = cell;
      StudioTools.setPreview(L.rectBetween(cell, cell, map.cellsPerSide));
    } else if (tool === 'fill') {
      pointer.action = 'fill';
    }
    event.preventDefault();
  }

  function moved(event) {
    const map = StudioMap.current();
    if (!map) return;
    const cell = StudioView.cellUnder(event);
    hoverAt(cell);
    if (!pointer.down) {
      const brushing = StudioTools.current() === 'brush';
      StudioTools.setPreview(brushing ? StudioTools.brushAt(cell, map.cellsPerSide) : null);
      if (brushing) StudioView.redraw();
      return;
    }
    const dx = event.clientX - pointer.x, dy = event.clientY - pointer.y;
    pointer.x = event.clientX;
    pointer.y = event.clientY;
    pointer.moved = pointer.moved || Math.hypot(event.clientX - pointer.startX, event.clientY - pointer.startY) > 4;
    if (pointer.action === 'click-or-pan' && pointer.moved) pointer.action = 'pan';
    dragged(cell, dx, dy, map.cellsPerSide);
  }

  // A move with the button down, by (dx, dy) pixels to Cell.
  function dragged(cell, dx, dy, cellsPerSide) {
    if (pointer.action === 'pan') {
      StudioView.panBy(dx, dy);
    } else if (pointer.action === 'start' || pointer.action === 'goal') {
      if (StudioMap.inside(cell)) StudioPaths.moveEnd(pointer.action, cell);
    } else if (pointer.action === 'brush') {
      StudioEdits.brushAlong(pointer.last, cell, cellsPerSide);
      pointer.last = cell;
      StudioTools.setPreview(StudioTools.brushAt(cell, cellsPerSide));
    } else if (pointer.action === 'rectangle') {
      StudioTools.setPreview(L.rectBetween(pointer.last, cell, cellsPerSide));
      StudioView.redraw();
    }
  }

  function released(event) {
    if (!pointer.down) return;
    pointer.down = false;
    const cell = StudioView.cellUnder(event);
    if (pointer.action === 'click-or-pan' && StudioMap.inside(cell)) {
      StudioPaths.click(cell);
    } else if (pointer.action === 'brush') {
      StudioEdits.endBrush();
    } else if (pointer.action === 'rectangle') {
      const rect = StudioTools.shownPreview();
      StudioTools.setPreview(null);
      StudioEdits.paintRectangle(rect);
    } else if (pointer.action === 'fill' && StudioMap.inside(cell)) {
      const {width, height} = StudioView.size();
      StudioEdits.fillAt(cell, L.fillWindow(StudioView.current(), width, height, cell, StudioMap.current().cellsPerSide));
    }
    pointer.action = null;
  }

  function wheeled(event) {
    if (!StudioMap.current()) return;
    event.preventDefault();
    const {x, y} = StudioView.pointAt(event);
    StudioView.zoomAt(x, y, Math.pow(1.0015, -event.deltaY * (event.deltaMode === 1 ? 40 : 1)));
  }

  // The words on the cell under the pointer; while a question is out, only the latest cell waits.
  function hoverAt(cell) {
    if (!StudioMap.inside(cell)) {
      $('hover').textContent = '';
      return;
    }
    if (hoverWaiting) {
      hoverWanted = cell;
      return;
    }
    hoverWaiting = true;
    StudioRequests.ask('hover', cell).then(({text}) => { $('hover').textContent = text; })
      .catch(() => {})
      .finally(() => {
        hoverWaiting = false;
        if (hoverWanted) {
          const next = hoverWanted;
          hoverWanted = null;
          hoverAt(next);
        }
      });
  }

  return {attach, holdPan};
})();
