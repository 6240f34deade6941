// The layers shown: which of the map's colours and marks are drawn. A change of the colours paints
// every tile and the minimap anew; the marks are the overlay's and need only a frame.
'use strict';

const StudioLayers = (() => {
  const layers = {areas: true, area4: true, erased: true, waypoints: true, links: true, grid: true, marks: true};

  function attach() {
    for (const box of document.querySelectorAll('[data-layer]')) {
      box.addEventListener('change', () => {
        layers[box.dataset.layer] = box.checked;
        if (['areas', 'area4', 'erased'].includes(box.dataset.layer)) {
          StudioTiles.repaintAll();
          StudioMinimap.refresh();
        }
        StudioView.redraw();
      });
    }
  }

  function shown() {
    return {...layers};
  }

  return {attach, shown};
})();
