// The pointer on the map: a press, drag and release mean what the tool chosen makes of them (a
// path's ends, the ground looked at, a brush stroke, a rectangle, a fill), or a pan with the
// middle or right button or with Space held; the wheel zooms. A gesture the browser cancels ends
// as a release would; the pointer leaving the map takes its brush square and words with it. The
// gesture under way is this part's alone.
'use strict';

const StudioPointer = (() => {
  const L = VarnholtLogic;
  const $ = (id) => document.getElementById(id);
  const kDragPixels = 4;  // a press that moves less is a click
  const pointer = {down: false, x: 0, y: 0, startX: 0, startY: 0, moved: false, action: null, last: null, space: false, end: null};

  function attach() {
    const overlay = $('overlay');
    overlay.addEventListener('pointerdown', pressed);
    overlay.addEventListener('pointermove', moved);
    overlay.addEventListener('pointerup', released);
    overlay.addEventListener('pointercancel', cancelled);
    overlay.addEventListener('pointerleave', left);
    overlay.addEventListener('contextmenu', (event) => event.preventDefault());
    overlay.addEventListener('wheel', wheeled, {passive: false});
  }

  // Space held: a drag pans, whatever the tool.
  function holdPan(held) {
    pointer.space = held;
  }

  function pressed(event) {
    const map = StudioMap.current();
    if (!map || pointer.down) return;
    $('overlay').setPointerCapture(event.pointerId);
    Object.assign(pointer, {down: true, x: event.clientX, y: event.clientY, startX: event.clientX, startY: event.clientY, moved: false, end: null});
    const cell = StudioView.cellUnder(event);
    const tool = StudioTools.current();
    if (event.button === 1 || event.button === 2 || pointer.space) {
      pointer.action = 'pan';
    } else if (tool === 'path') {
      // On an end's mark a drag moves that end, a click still begins a new path there.
      const {x, y} = StudioView.pointAt(event);
      pointer.end = StudioPaths.endNear(StudioView.current(), x, y);
      pointer.action = 'click-or-pan';
    } else if (tool === 'inspect' || tool === 'field') {
      pointer.action = 'click-or-pan';
    } else if (tool === 'brush') {
      pointer.action = 'brush';
      pointer.last = cell;
      StudioEdits.beginBrush(cell, map.cellsPerSide);
    } else if (tool === 'rectangle') {
      pointer.action = 'rectangle';
      pointer.last = cell;
      StudioTools.setPreview(L.rectBetween(cell, cell, map.cellsPerSide), true);
    } else if (tool === 'fill') {
      pointer.action = 'fill';
    }
    event.preventDefault();
  }

  function moved(event) {
    const map = StudioMap.current();
    if (!map) return;
    const cell = StudioView.cellUnder(event);
    StudioHover.at(cell);
    if (!pointer.down) {
      const brushing = StudioTools.current() === 'brush';
      StudioTools.setPreview(brushing ? StudioTools.brushAt(cell, map.cellsPerSide) : null);
      return;
    }
    const dx = event.clientX - pointer.x, dy = event.clientY - pointer.y;
    pointer.x = event.clientX;
    pointer.y = event.clientY;
    pointer.moved = pointer.moved || Math.hypot(event.clientX - pointer.startX, event.clientY - pointer.startY) > kDragPixels;
    if (pointer.action === 'click-or-pan' && pointer.moved) pointer.action = pointer.end || 'pan';
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
      const rect = L.rectBetween(pointer.last, cell, cellsPerSide);
      StudioTools.setPreview(rect, true);
      StudioStatus.showNote(`Rectangle ${VarnholtWords.rectText(rect)}`);
    }
  }

  function released(event) {
    if (!pointer.down) return;
    pointer.down = false;
    const cell = StudioView.cellUnder(event);
    const inside = StudioMap.inside(cell);
    if (pointer.action === 'click-or-pan' && inside) {
      const tool = StudioTools.current();
      if (tool === 'inspect') StudioGround.look(cell); else if (tool === 'field') StudioField.setGoal(cell); else StudioPaths.click(cell);
    } else if (pointer.action === 'brush') {
      StudioEdits.endBrush();
    } else if (pointer.action === 'rectangle') {
      const rect = StudioTools.shownPreview();
      StudioTools.setPreview(null);
      StudioEdits.paintRectangle(rect && {row: rect.row, column: rect.column, rows: rect.rows, columns: rect.columns});
    } else if (pointer.action === 'fill' && inside) {
      StudioEdits.fillAt(cell);
    }
    pointer.action = null;
  }

  // The browser took the pointer away (a touch turned into a scroll, a window switch): a stroke
  // ends with what it painted, a rectangle or a click is let go.
  function cancelled() {
    if (!pointer.down) return;
    pointer.down = false;
    if (pointer.action === 'brush') StudioEdits.endBrush();
    if (pointer.action === 'rectangle') StudioTools.setPreview(null);
    pointer.action = null;
  }

  // Off the map: nothing is under the pointer any more.
  function left() {
    if (pointer.down) return;
    StudioHover.leave();
    StudioTools.setPreview(null);
  }

  function wheeled(event) {
    if (!StudioMap.current()) return;
    event.preventDefault();
    const {x, y} = StudioView.pointAt(event);
    StudioView.zoomAt(x, y, Math.pow(1.0015, -event.deltaY * (event.deltaMode === 1 ? 40 : 1)));
  }

  return {attach, holdPan};
})();
