// The minimap: the whole map in one tile of 256 x 256 pixels, at the level where the map fits it,
// kept here and painted anew only where an edit or the ground looked at changed it. Every edit's
// answer carries it while the page shows it, so that it is never the map as it was: on a map of
// 16384 cells a side, painting the whole of it reads every segment, a dab's change only a few.
'use strict';

const WorkerMinimap = (() => {
  const L = VarnholtLogic;
  let pixels = null;  // the minimap as last painted, for the layers in Layers
  let layers = null;

  function forget() {
    pixels = null;
    return {};
  }

  // The level whose tile (0, 0) holds the whole map.
  function level() {
    return Math.max(L.kMinLevel, Math.ceil(Math.log2(WorkerMap.side() / L.kTilePixels)));
  }

  function copy() {
    const sent = pixels.slice();
    return {pixels: sent, level: level(), transfer: [sent.buffer]};
  }

  // The whole minimap painted for Layers.
  function minimap({layers: shown}) {
    layers = shown;
    pixels = WorkerTiles.paintTile({level: level(), tx: 0, ty: 0, layers}, new Uint8ClampedArray(L.kTilePixels * L.kTilePixels * 4), null);
    return copy();
  }

  // An edit's answer, with the minimap painted anew where it touched, while the page shows it.
  function withMinimap(result, shown) {
    if (!pixels || !shown || !shown.minimap || !result || !result.touched) return result;
    const ranges = Array.isArray(result.touched) ? result.touched : [result.touched];
    if (ranges.length === 0) return result;
    for (const within of ranges) WorkerTiles.paintTile({level: level(), tx: 0, ty: 0, layers}, pixels, within);
    const {pixels: sent, transfer} = copy();
    return {...result, minimap: sent, transfer: [...(result.transfer || []), ...transfer]};
  }

  return {forget, minimap, withMinimap};
})();
