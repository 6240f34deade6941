// The minimap in the stage's corner: the whole map, the view's outline on it, and a click or drag
// on it to move the view there. Its picture is the worker's, painted anew with every edit and
// layer, so it never shows the map as it was. M shows or hides it.
'use strict';

const StudioMinimap = (() => {
  const L = VarnholtLogic;
  const $ = (id) => document.getElementById(id);
  let wanted = true;       // shown, where a map is open
  let bitmap = null;
  let asking = 0;
  let dragging = false;
  let stale = false;  // the picture is to be asked for anew
  let painted = 0, shownPainting = 0;  // pictures asked for, and the latest shown

  function attach() {
    const canvas = $('minimap');
    canvas.addEventListener('pointerdown', (event) => {
      dragging = true;
      canvas.setPointerCapture(event.pointerId);
      moveTo(event);
    });
    canvas.addEventListener('pointermove', (event) => dragging && moveTo(event));
    for (const type of ['pointerup', 'pointercancel']) canvas.addEventListener(type, () => { dragging = false; });
  }

  // The view centred on the cell under the pointer on the minimap, at the view's zoom.
  function moveTo(event) {
    const map = StudioMap.current();
    if (!map) return;
    const bounds = $('minimap').getBoundingClientRect();
    const row = ((event.clientY - bounds.top) / bounds.height) * map.cellsPerSide;
    const column = ((event.clientX - bounds.left) / bounds.width) * map.cellsPerSide;
    StudioView.centreOn([row, column], StudioView.current().scale);
  }

  function shown() {
    return wanted && Boolean(StudioMap.current());
  }

  function toggle() {
    wanted = !wanted;
    if (wanted) refresh();
    StudioView.redraw();
  }

  // A picture of the worker's, kept unless a later one is already shown.
  function keep(pixels, generation) {
    if (generation !== StudioMap.currentGeneration()) return Promise.resolve();
    const order = ++painted;
    return createImageBitmap(new ImageData(pixels, L.kTilePixels, L.kTilePixels)).then((next) => {
      if (generation !== StudioMap.currentGeneration() || order < shownPainting) return;
      shownPainting = order;
      bitmap = next;
      StudioView.redraw();
    });
  }

  // The whole minimap wanted anew: a new map, or new colours. Asked for once the view's own tiles
  // are drawn (draw()), as on a large map it reads every segment and would hold them up.
  function refresh() {
    stale = true;
    StudioView.redraw();
  }

  function ask() {
    stale = false;
    if (!shown()) {
      bitmap = null;
      return;
    }
    const generation = StudioMap.currentGeneration();
    ++asking;
    StudioRequests.ask('minimap', {layers: StudioLayers.shown()}).then(({pixels}) => keep(pixels, generation))
      .catch((error) => StudioStatus.showError(error.message)).finally(() => { --asking; });
  }

  // An edit's answer brought the minimap as it left it.
  function edited(pixels) {
    if (pixels) keep(pixels, StudioMap.currentGeneration());
  }

  // A new map: its own minimap.
  function clear() {
    bitmap = null;
    refresh();
  }

  // Draws the minimap with the outline of View (CSS pixels) on it; asks for its picture where it
  // is stale and the view's tiles are all drawn (ViewDrawn).
  function draw(view, viewDrawn) {
    const canvas = $('minimap'), map = StudioMap.current();
    if (canvas.hidden !== !shown()) canvas.hidden = !shown();
    if (canvas.hidden) return;
    if (stale && viewDrawn && !StudioRequests.busy()) ask();
    const context = canvas.getContext('2d');
    context.fillStyle = L.kOutside;
    context.fillRect(0, 0, canvas.width, canvas.height);
    if (bitmap) context.drawImage(bitmap, 0, 0, canvas.width, canvas.height);
    const {width, height} = StudioView.size();
    const k = canvas.width / map.cellsPerSide;
    context.strokeStyle = '#ffffff';
    context.lineWidth = 2;
    context.strokeRect(view.column * k, view.row * k, width * view.scale * k, height * view.scale * k);
  }

  function settled() {
    return asking === 0 && (!stale || !shown());
  }

  return {attach, shown, toggle, refresh, edited, clear, draw, settled};
})();
