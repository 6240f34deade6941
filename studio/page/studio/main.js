// Varnholt Studio, the page: the view, the tools and the panels. The map lives in the worker,
// which the library compiled to WebAssembly runs; the page asks it for tiles of pixels, records,
// paths and edits, and draws what comes back, so that it never freezes on an analysis. Each of the
// page's other files holds one concern and its state behind a namespace object of a few functions.
//
// This one is the page's start, and what a frame holds: the tiles of the map, then the overlay
// and the marks with the scene gathered from the parts that own them, the minimap and the zoom
// readout. The one place that knows all the parts, so that none of them needs to know the others
// just to be drawn or started.
'use strict';

(() => {
  const L = VarnholtLogic;
  // The minimap and the zoom readout follow a moving view ten times a second, and at once when it
  // stops: redrawn with every frame, in a page drawn in software they cost a third of the frames.
  const kReadoutEvery = 100;  // milliseconds
  let readoutAt = -Infinity, readoutTimer = 0;

  function drawReadouts(visible) {
    const now = performance.now();
    clearTimeout(readoutTimer);
    if (now - readoutAt < kReadoutEvery) {
      readoutTimer = setTimeout(StudioView.redraw, kReadoutEvery - (now - readoutAt));
      return;
    }
    readoutAt = now;
    StudioMinimap.draw(StudioView.current(), StudioTiles.allDrawn(visible));
    StudioNavigation.showZoom(StudioView.current());
  }

  function drawFrame(frame) {
    const map = StudioMap.current();
    if (map) {
      const layers = StudioLayers.shown();
      const ratio = window.devicePixelRatio || 1;
      const visible = L.visibleTiles(frame.view, frame.width, frame.height, map.cellsPerSide);
      StudioTiles.draw(frame.mapContext, frame.view, visible, layers);
      const framed = {...frame, ratio};
      StudioOverlay.draw(frame.overlayContext, framed, {
        segmentsPerSide: map.segmentsPerSide, layers,
        record: StudioTiles.record, wantRecords: StudioTiles.wantRecords,
        ...StudioPaths.scene(), preview: StudioTools.shownPreview(), blocking: StudioTools.isBlocking(),
      });
      StudioField.draw(frame.overlayContext, framed);
      StudioMarks.draw(frame.overlayContext, framed, {
        ...StudioProblems.scene(), shown: layers.marks, chosen: StudioNavigation.markedCell(), ...StudioGround.scene(),
        ...StudioFixes.scene(),
      });
      drawReadouts(visible);
    } else {
      StudioMinimap.draw(StudioView.current(), false);
    }
    StudioAutomation.afterDraw();
  }

  StudioRequests.start(StudioAutomation.settle);
  StudioSurvey.attach(StudioEdits.applying);
  StudioMap.attach();
  StudioPointer.attach();
  StudioKeys.attach();
  StudioFiles.attach();
  StudioExports.attach();
  StudioNewMap.attach();
  StudioEdits.attach();
  StudioTools.attach();
  StudioLayers.attach();
  StudioProblems.attach();
  StudioFixes.attach();
  StudioGround.attach();
  StudioNavigation.attach();
  StudioMinimap.attach();
  StudioLegend.attach();
  StudioHelp.attach();
  StudioAutomation.install();
  StudioView.start(drawFrame);
  StudioMap.describe();
  StudioTools.choose('path');
})();
