// Varnholt Studio, the page: the view, the tools and the panels. The map lives in the worker,
// which the library compiled to WebAssembly runs; the page asks it for tiles of pixels, records,
// paths and edits, and draws what comes back, so that it never freezes on an analysis. Each of the
// page's other files holds one concern and its state behind a namespace object of a few functions.
//
// This one is the page's start, and what a frame holds: the tiles of the map, then the overlay
// with the scene gathered from the parts that own it. The one place that knows all the parts, so
// that none of them needs to know the others just to be drawn or started.
'use strict';

(() => {
  const L = VarnholtLogic;

  function drawFrame(frame) {
    const map = StudioMap.current();
    if (!map) return;
    const layers = StudioPanels.shownLayers();
    const visible = L.visibleTiles(frame.view, frame.width, frame.height, map.cellsPerSide);
    StudioTiles.draw(frame.mapContext, frame.view, visible, layers);
    StudioOverlay.draw(frame.overlayContext, frame, {
      segmentsPerSide: map.segmentsPerSide, layers,
      record: StudioTiles.record, wantRecords: StudioTiles.wantRecords,
      ...StudioPaths.scene(), ...StudioPanels.marks(),
      preview: StudioTools.shownPreview(), blocking: StudioTools.isBlocking(),
    });
    StudioAutomation.afterDraw();
  }

  StudioRequests.start(StudioAutomation.settle);
  StudioPointer.attach();
  StudioKeys.attach();
  StudioFiles.attach();
  StudioEdits.attach();
  StudioTools.attach();
  StudioPanels.attach();
  StudioAutomation.install();
  StudioView.start(drawFrame);
  StudioMap.describe();
  StudioTools.choose('path');
})();
