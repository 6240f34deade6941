// Where the view stands ({scale: cells per CSS pixel, row, column: the cell at the top left}), the
// two canvases it is drawn on, and when a frame is drawn: at most one a frame, asked for by
// redraw(). What a frame holds is main.js's to say; this part only moves the view and keeps the
// canvases the size of the stage, in device pixels.
'use strict';

const StudioView = (() => {
  const L = VarnholtLogic;
  const $ = (id) => document.getElementById(id);
  let view = {scale: 1, row: 0, column: 0};
  let frameWanted = false;
  let drawFrame = () => {};
  let mapCanvas = null, overlay = null, mapContext = null, overlayContext = null;
  // The stage's size in CSS pixels, as last laid out: read here rather than from the page, as a
  // read after the page changed lays it all out again, in the middle of a frame.
  let stageSize = {width: 1, height: 1};

  // DrawFrame({mapContext, overlayContext, view, width, height}) draws on cleared canvases, the
  // view and sizes in device pixels.
  function start(draw) {
    drawFrame = draw;
    mapCanvas = $('map');
    overlay = $('overlay');
    mapContext = mapCanvas.getContext('2d');
    overlayContext = overlay.getContext('2d');
    $('fit').addEventListener('click', fit);
    // The stage, not the window: it changes too when the header wraps or the error line shows.
    new ResizeObserver(resize).observe($('stage'));
    resize();
  }

  function redraw() {
    if (frameWanted) return;
    frameWanted = true;
    requestAnimationFrame(() => {
      frameWanted = false;
      draw();
    });
  }

  function drawing() {
    return frameWanted;
  }

  function draw() {
    mapContext.fillStyle = '#1b1d22';
    mapContext.fillRect(0, 0, mapCanvas.width, mapCanvas.height);
    overlayContext.clearRect(0, 0, overlay.width, overlay.height);
    drawFrame({mapContext, overlayContext, view: device(), width: mapCanvas.width, height: mapCanvas.height});
  }

  function resize() {
    const stage = $('stage');
    const ratio = window.devicePixelRatio || 1;
    stageSize = {width: Math.max(1, stage.clientWidth), height: Math.max(1, stage.clientHeight)};
    for (const canvas of [mapCanvas, overlay]) {
      canvas.width = Math.max(1, Math.floor(stageSize.width * ratio));
      canvas.height = Math.max(1, Math.floor(stageSize.height * ratio));
      canvas.style.width = `${stageSize.width}px`;
      canvas.style.height = `${stageSize.height}px`;
    }
    redraw();
  }

  // The view in canvas pixels (device pixels), from the view in CSS pixels.
  function device() {
    const ratio = window.devicePixelRatio || 1;
    return {scale: view.scale / ratio, row: view.row, column: view.column};
  }

  // The tiles the canvas shows of a map of CellsPerSide cells a side.
  function visibleTiles(cellsPerSide) {
    return L.visibleTiles(device(), mapCanvas.width, mapCanvas.height, cellsPerSide);
  }

  function current() {
    return {...view};
  }

  function show(next) {
    view = next;
    redraw();
  }

  // The whole map, in the middle of the stage, a margin about it so that its edge shows.
  function fit() {
    const map = StudioMap.current();
    if (!map) return;
    const margin = 12;
    const fitted = L.fitView(map.cellsPerSide, Math.max(1, stageSize.width - 2 * margin), Math.max(1, stageSize.height - 2 * margin));
    show({scale: fitted.scale, row: fitted.row - margin * fitted.scale, column: fitted.column - margin * fitted.scale});
  }

  // The cell in the middle of the stage, at Scale cells a pixel, or at a quarter of a cell a
  // pixel or nearer.
  function centreOn(cell, wanted = Math.min(view.scale, 0.25)) {
    const scale = Math.max(L.kMinScale, wanted);
    show({scale, row: cell[0] - (stageSize.height / 2) * scale, column: cell[1] - (stageSize.width / 2) * scale});
  }

  function panBy(dx, dy) {
    show(L.panBy(view, dx, dy));
  }

  // Zoomed by Factor about the pixel (x, y) of the overlay, or about its middle.
  function zoomAt(x, y, factor) {
    show(L.zoomAbout(view, x, y, factor));
  }

  function zoomMiddle(factor) {
    zoomAt(stageSize.width / 2, stageSize.height / 2, factor);
  }

  // The pointer's place on the overlay, in CSS pixels.
  function pointAt(event) {
    const bounds = overlay.getBoundingClientRect();
    return {x: event.clientX - bounds.left, y: event.clientY - bounds.top};
  }

  function cellUnder(event) {
    const {x, y} = pointAt(event);
    const at = L.cellAt(view, x, y);
    return {row: Math.floor(at.row), column: Math.floor(at.column)};
  }

  // The overlay's size in CSS pixels.
  function size() {
    return {...stageSize};
  }

  return {start, redraw, drawing, device, visibleTiles, current, show, fit, centreOn, panBy, zoomAt, zoomMiddle, pointAt, cellUnder, size};
})();
