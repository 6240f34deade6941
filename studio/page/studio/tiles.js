// What the worker drew, kept: the tiles of pixels as bitmaps, by level and place, and the
// segments' waypoint records. Both are dropped together when the map or the layers change (a new
// epoch), and the tiles and records an edit touched are asked for again; held apart from the
// overlay so that drawing a frame never waits on the worker.
'use strict';

const StudioTiles = (() => {
  const L = VarnholtLogic;
  const kTilesInFlight = 3;
  let epoch = 0;  // a new map or new layers: every tile is drawn anew
  const tiles = new Map();    // key → {bitmap, epoch} or {loading: true, epoch}
  const records = new Map();  // "i,j" → parsed waypoint record
  let recordsLoading = false;
  let recordsChanged = 0;  // edits since: records asked before one may be the map as it was
  let tilesInFlight = 0;
  let tileRequests = 0;

  function generation() {
    return epoch;
  }

  // A new map: nothing kept is of use.
  function forgetAll() {
    ++epoch;
    tiles.clear();
    records.clear();
  }

  // Layers, or the ground looked at, changed the tiles' colours: every tile is drawn anew, the old
  // ones shown meanwhile.
  function repaintAll() {
    ++epoch;
    StudioView.redraw();
  }

  function bitmapOf(pixels) {
    return createImageBitmap(new ImageData(pixels, L.kTilePixels, L.kTilePixels));
  }

  // Draws the tiles in view that are here, and asks for those missing, the middle first.
  function draw(context, view, visible, layers) {
    context.imageSmoothingEnabled = false;
    for (const tile of visible) drawTile(context, view, tile);
    requestTiles(visible, layers);
  }

  function drawTile(context, view, tile) {
    const at = L.pixelOf(view, tile.row, tile.column);
    const size = tile.cells / view.scale;
    const cached = tiles.get(L.tileKey(tile));
    if (cached && cached.bitmap) {
      context.drawImage(cached.bitmap, at.x, at.y, size, size);
      return;
    }
    // Until it comes, the coarser tiles that hold it stand in, stretched.
    for (let level = tile.level + 1; level <= L.kMaxLevel; ++level) {
      const cells = L.tileCells(level);
      const parent = {level, tx: Math.floor(tile.column / cells), ty: Math.floor(tile.row / cells)};
      const found = tiles.get(L.tileKey(parent));
      if (!found || !found.bitmap) continue;
      const scale = L.kTilePixels / cells;
      const sx = (tile.column - parent.tx * cells) * scale, sy = (tile.row - parent.ty * cells) * scale;
      context.drawImage(found.bitmap, sx, sy, tile.cells * scale, tile.cells * scale, at.x, at.y, size, size);
      return;
    }
  }

  function requestTiles(visible, layers) {
    for (const tile of visible) {
      if (tilesInFlight >= kTilesInFlight) return;
      const key = L.tileKey(tile);
      const cached = tiles.get(key);
      if (cached && cached.epoch === epoch && (cached.bitmap || cached.loading)) continue;
      // An answer is taken only by the request that asked for it: one asked before an edit and
      // answered after it would show the map as it was.
      const wanted = epoch, asked = ++tileRequests;
      tiles.set(key, {loading: asked, epoch: wanted, bitmap: cached && cached.bitmap});
      ++tilesInFlight;
      StudioRequests.ask('tile', {level: tile.level, tx: tile.tx, ty: tile.ty, layers})
        .then((result) => bitmapOf(result.pixels))
        .then((bitmap) => {
          const now = tiles.get(key);
          if (now && now.epoch === wanted && now.loading === asked) tiles.set(key, {bitmap, epoch: wanted});
        })
        .catch((error) => StudioStatus.showError(error.message))
        .finally(() => {
          --tilesInFlight;
          trimTiles();
          StudioView.redraw();
        });
    }
  }

  // Tiles past a few hundred are dropped, those of other levels first.
  function trimTiles() {
    if (tiles.size <= 600) return;
    const level = L.levelOf(StudioView.device().scale);
    for (const [key] of tiles) {
      if (tiles.size <= 400) break;
      if (!key.startsWith(`${level}/`)) tiles.delete(key);
    }
  }

  // Whether every tile in view is here, drawn for the layers shown.
  function allDrawn(visible) {
    return visible.every((tile) => {
      const cached = tiles.get(L.tileKey(tile));
      return cached && cached.epoch === epoch && cached.bitmap;
    });
  }

  // The tiles that show segments I0 ... I1 by J0 ... J1 are drawn again, and the records of those
  // segments and the ones above and to the left, whose links reach into them, asked for again.
  function invalidate(range) {
    for (const [key, tile] of tiles) {
      const [level, tx, ty] = key.split('/').map(Number);
      const cells = L.tileCells(level);
      if (L.tileTouches({row: ty * cells, column: tx * cells, cells}, range.i0, range.i1, range.j0, range.j1)) {
        tiles.set(key, {bitmap: tile.bitmap, epoch: -1});
      }
    }
    ++recordsChanged;
    for (let i = Math.max(0, range.i0 - 1); i <= range.i1; ++i) {
      for (let j = Math.max(0, range.j0 - 1); j <= range.j1; ++j) records.delete(`${i},${j}`);
    }
    StudioView.redraw();
  }

  // The tiles an edit's answer brought, as bitmaps ({key, bitmap}), to be kept once the edit's
  // touched tiles have been invalidated.
  function bitmapsOf(answered) {
    return Promise.all(answered.map(async (tile) => ({key: L.tileKey(tile), bitmap: await bitmapOf(tile.pixels)})));
  }

  // Keeps an edit's tiles and records, unless the map changed since it was asked (in epoch Asked).
  function keepEdited(fresh, block, asked) {
    if (asked !== epoch) return;
    for (const {key, bitmap} of fresh) tiles.set(key, {bitmap, epoch});
    if (block) storeRecords(block);
  }

  function storeRecords(block) {
    L.eachRecord(block, (i, j, record) => records.set(`${i},${j}`, record));
  }

  function record(i, j) {
    return records.get(`${i},${j}`);
  }

  // Asks for the records of the segments in Range ({top, bottom, left, right}) when any is missing,
  // one request at a time.
  function wantRecords({top, bottom, left, right}) {
    if (recordsLoading) return;
    let missing = false;
    for (let i = top; i <= bottom && !missing; ++i) {
      for (let j = left; j <= right && !missing; ++j) missing = !records.has(`${i},${j}`);
    }
    if (!missing) return;
    recordsLoading = true;
    const wanted = epoch, changed = recordsChanged;
    StudioRequests.ask('records', {i0: top, i1: bottom, j0: left, j1: right})
      .then((answer) => {
        if (wanted === epoch && changed === recordsChanged) storeRecords({i0: top, i1: bottom, j0: left, j1: right, bytes: answer.bytes});
      })
      .catch((error) => StudioStatus.showError(error.message))
      .finally(() => {
        recordsLoading = false;
        StudioView.redraw();
      });
  }

  return {generation, forgetAll, repaintAll, draw, allDrawn, invalidate, bitmapsOf, keepEdited, record, wantRecords};
})();
