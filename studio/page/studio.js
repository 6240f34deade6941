// Varnholt Studio, the page: the view, the tools and the panels. The map lives in the worker,
// which the library compiled to WebAssembly runs; the page asks it for tiles of pixels, records,
// paths and edits, and draws what comes back, so that it never freezes on an analysis.
'use strict';

(() => {
  const L = VarnholtLogic;
  const $ = (id) => document.getElementById(id);

  // ---- The worker ----

  const worker = new Worker(URL.createObjectURL(new Blob(
    [$('logic-source').textContent, $('worker-source').textContent], {type: 'text/javascript'})));
  const pending = new Map();
  let nextRequest = 1;

  function ask(operation, argument, transfer = []) {
    return new Promise((resolve, reject) => {
      const id = nextRequest++;
      pending.set(id, {resolve, reject});
      worker.postMessage({id, operation, argument}, transfer);
    });
  }

  worker.onmessage = (event) => {
    const {id, ok, result, error} = event.data;
    const waiting = pending.get(id);
    pending.delete(id);
    if (ok) waiting.resolve(result); else waiting.reject(new Error(error));
    if (pending.size === 0) settle();
  };
  worker.onerror = (event) => showError(`The studio's worker stopped: ${event.message}`);

  // ---- State ----

  const state = {
    map: null,  // {name, cellsPerSide, segmentsPerSide}
    view: {scale: 1, row: 0, column: 0},
    tool: 'path',
    blocking: true,
    brush: 8,
    layers: {areas: true, area4: true, erased: true, waypoints: true, links: true, grid: true, marks: true},
    dirty: false,
    start: null, goal: null, path: null, pathText: '',
    survey: null,
    marked: null,  // a cell flown to from a list
  };
  let epoch = 0;  // a new map or new layers: every tile is drawn anew
  const tiles = new Map();    // key → {bitmap, epoch} or {loading: true, epoch}
  const records = new Map();  // "i,j" → parsed waypoint record
  let recordsLoading = false;

  const mapCanvas = $('map'), overlay = $('overlay');
  const mapContext = mapCanvas.getContext('2d'), overlayContext = overlay.getContext('2d');

  // ---- Messages ----

  function showError(text) {
    $('error').textContent = text;
    $('error').hidden = !text;
  }

  function showNote(text) {
    $('note').textContent = text;
  }

  function describeMap() {
    const map = state.map;
    $('map-name').value = map ? map.name : '';
    $('map-facts').textContent = map ? `${map.cellsPerSide} x ${map.cellsPerSide} cells, ${map.segmentsPerSide} x ${map.segmentsPerSide} segments` : 'No map open';
    document.title = map ? `${map.name}${state.dirty ? ' *' : ''} - Varnholt Studio` : 'Varnholt Studio';
    $('drop-hint').hidden = Boolean(map);
  }

  function setDirty(dirty) {
    state.dirty = dirty;
    describeMap();
  }

  // ---- Drawing ----

  let frameWanted = false;
  function redraw() {
    if (frameWanted) return;
    frameWanted = true;
    requestAnimationFrame(() => {
      frameWanted = false;
      draw();
    });
  }

  function resize() {
    const stage = $('stage');
    const ratio = window.devicePixelRatio || 1;
    for (const canvas of [mapCanvas, overlay]) {
      canvas.width = Math.max(1, Math.floor(stage.clientWidth * ratio));
      canvas.height = Math.max(1, Math.floor(stage.clientHeight * ratio));
      canvas.style.width = `${stage.clientWidth}px`;
      canvas.style.height = `${stage.clientHeight}px`;
    }
    redraw();
  }

  // The view in canvas pixels (device pixels), from the view in CSS pixels.
  function deviceView() {
    const ratio = window.devicePixelRatio || 1;
    return {scale: state.view.scale / ratio, row: state.view.row, column: state.view.column};
  }

  function draw() {
    mapContext.fillStyle = '#1b1d22';
    mapContext.fillRect(0, 0, mapCanvas.width, mapCanvas.height);
    overlayContext.clearRect(0, 0, overlay.width, overlay.height);
    if (!state.map) return;
    const view = deviceView();
    const visible = L.visibleTiles(view, mapCanvas.width, mapCanvas.height, state.map.cellsPerSide);
    mapContext.imageSmoothingEnabled = false;
    for (const tile of visible) drawTile(view, tile);
    requestTiles(visible);
    drawOverlay(view);
    if (idleWaiters.length > 0) settle();
  }

  function drawTile(view, tile) {
    const at = L.pixelOf(view, tile.row, tile.column);
    const size = tile.cells / view.scale;
    const cached = tiles.get(L.tileKey(tile));
    if (cached && cached.bitmap) {
      mapContext.drawImage(cached.bitmap, at.x, at.y, size, size);
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
      mapContext.drawImage(found.bitmap, sx, sy, tile.cells * scale, tile.cells * scale, at.x, at.y, size, size);
      return;
    }
  }

  const kTilesInFlight = 3;
  let tilesInFlight = 0;
  function requestTiles(visible) {
    for (const tile of visible) {
      if (tilesInFlight >= kTilesInFlight) return;
      const key = L.tileKey(tile);
      const cached = tiles.get(key);
      if (cached && cached.epoch === epoch && (cached.bitmap || cached.loading)) continue;
      const wanted = epoch;
      tiles.set(key, {loading: true, epoch: wanted, bitmap: cached && cached.bitmap});
      ++tilesInFlight;
      ask('tile', {level: tile.level, tx: tile.tx, ty: tile.ty, layers: state.layers})
        .then((result) => createImageBitmap(new ImageData(result.pixels, L.kTilePixels, L.kTilePixels)))
        .then((bitmap) => {
          const now = tiles.get(key);
          if (now && now.epoch === wanted && now.loading) tiles.set(key, {bitmap, epoch: wanted});
        })
        .catch((error) => showError(error.message))
        .finally(() => {
          --tilesInFlight;
          trimTiles();
          redraw();
        });
    }
  }

  // Tiles past a few hundred are dropped, those of other levels first.
  function trimTiles() {
    if (tiles.size <= 600) return;
    const level = L.levelOf(deviceView().scale);
    for (const [key] of tiles) {
      if (tiles.size <= 400) break;
      if (!key.startsWith(`${level}/`)) tiles.delete(key);
    }
  }

  // The tiles that show segments I0 ... I1 by J0 ... J1 are drawn again.
  function invalidate(range) {
    for (const [key, tile] of tiles) {
      const [level, tx, ty] = key.split('/').map(Number);
      const cells = L.tileCells(level);
      if (L.tileTouches({row: ty * cells, column: tx * cells, cells}, range.i0, range.i1, range.j0, range.j1)) {
        tiles.set(key, {bitmap: tile.bitmap, epoch: -1});
      }
    }
    for (let i = Math.max(0, range.i0 - 1); i <= range.i1; ++i) {
      for (let j = Math.max(0, range.j0 - 1); j <= range.j1; ++j) records.delete(`${i},${j}`);
    }
    redraw();
  }

  function drawOverlay(view) {
    const k = L.kSegmentSide;
    const segmentPixels = k / view.scale;
    const ctx = overlayContext;
    const width = overlay.width, height = overlay.height;
    const {top, bottom, left, right} = L.segmentsInView(view, width, height, state.map.segmentsPerSide);
    const centre = (row, column) => L.pixelOf(view, row + 0.5, column + 0.5);
    if (state.layers.grid && segmentPixels >= 6) {
      ctx.strokeStyle = 'rgba(255, 255, 255, 0.25)';
      ctx.lineWidth = 1;
      ctx.beginPath();
      for (let i = top; i <= bottom + 1; ++i) {
        const y = Math.round(L.pixelOf(view, i * k, 0).y) + 0.5;
        ctx.moveTo(0, y);
        ctx.lineTo(width, y);
      }
      for (let j = left; j <= right + 1; ++j) {
        const x = Math.round(L.pixelOf(view, 0, j * k).x) + 0.5;
        ctx.moveTo(x, 0);
        ctx.lineTo(x, height);
      }
      ctx.stroke();
    }
    if ((state.layers.waypoints || state.layers.links) && segmentPixels >= 12) {
      requestRecords(top, bottom, left, right);
      const point = (i, j, area) => {
        const record = records.get(`${i},${j}`);
        const found = record && record.areas.find((a) => a.area === area);
        return found && centre(i * k + found.row, j * k + found.column);
      };
      if (state.layers.links) {
        ctx.strokeStyle = 'rgba(255, 255, 255, 0.85)';
        // Thin lines are hairlines, cheap in a software-drawn frame; wide ones only where few
        // segments are in view.
        ctx.lineWidth = Math.max(1, Math.min(3, Math.floor(segmentPixels / 96)));
        ctx.beginPath();
        for (let i = top; i <= bottom; ++i) {
          for (let j = left; j <= right; ++j) {
            const record = records.get(`${i},${j}`);
            if (!record) continue;
            for (const [links, di, dj] of [[record.down, 1, 0], [record.right, 0, 1]]) {
              for (const [a, b] of links) {
                const from = point(i, j, a), to = point(i + di, j + dj, b);
                if (!from || !to) continue;
                ctx.moveTo(from.x, from.y);
                ctx.lineTo(to.x, to.y);
              }
            }
          }
        }
        ctx.stroke();
      }
      if (state.layers.waypoints) {
        const radius = Math.max(2, Math.min(6, segmentPixels / 16));
        for (let i = top; i <= bottom; ++i) {
          for (let j = left; j <= right; ++j) {
            const record = records.get(`${i},${j}`);
            if (!record) continue;
            for (const area of record.areas) {
              const at = centre(i * k + area.row, j * k + area.column);
              ctx.fillStyle = '#ffffff';
              ctx.strokeStyle = '#111111';
              ctx.beginPath();
              ctx.arc(at.x, at.y, radius, 0, 2 * Math.PI);
              ctx.fill();
              ctx.stroke();
            }
          }
        }
      }
    }
    drawPath(view);
    drawMarks(view);
    drawPreview(view);
  }

  function storeRecords(block) {
    L.eachRecord(block, (i, j, record) => records.set(`${i},${j}`, record));
  }

  function requestRecords(top, bottom, left, right) {
    if (recordsLoading) return;
    let missing = false;
    for (let i = top; i <= bottom && !missing; ++i) {
      for (let j = left; j <= right && !missing; ++j) missing = !records.has(`${i},${j}`);
    }
    if (!missing) return;
    recordsLoading = true;
    const wanted = epoch;
    ask('records', {i0: top, i1: bottom, j0: left, j1: right})
      .then((answer) => {
        if (wanted === epoch) storeRecords({i0: top, i1: bottom, j0: left, j1: right, bytes: answer.bytes});
      })
      .catch((error) => showError(error.message))
      .finally(() => {
        recordsLoading = false;
        redraw();
      });
  }

  function drawPath(view) {
    const ctx = overlayContext;
    const centre = (row, column) => L.pixelOf(view, row + 0.5, column + 0.5);
    if (state.path) {
      const {cells, corners} = state.path;
      ctx.lineWidth = 2;
      ctx.strokeStyle = '#ff3ec8';
      ctx.beginPath();
      for (let k = 0; k < cells.length; k += 2) {
        const at = centre(cells[k], cells[k + 1]);
        if (k === 0) ctx.moveTo(at.x, at.y); else ctx.lineTo(at.x, at.y);
      }
      ctx.stroke();
      ctx.strokeStyle = '#ffe600';
      ctx.setLineDash([6, 4]);
      ctx.beginPath();
      for (let k = 0; k < corners.length; k += 2) {
        const at = centre(corners[k], corners[k + 1]);
        if (k === 0) ctx.moveTo(at.x, at.y); else ctx.lineTo(at.x, at.y);
      }
      ctx.stroke();
      ctx.setLineDash([]);
    }
    for (const [end, colour] of [[state.start, '#3cff6e'], [state.goal, '#ff5a3c']]) {
      if (!end) continue;
      const at = centre(end.row, end.column);
      ctx.fillStyle = colour;
      ctx.strokeStyle = '#000000';
      ctx.lineWidth = 2;
      ctx.beginPath();
      ctx.arc(at.x, at.y, 7, 0, 2 * Math.PI);
      ctx.fill();
      ctx.stroke();
    }
  }

  function drawMarks(view) {
    const ctx = overlayContext;
    const ring = (cell, colour) => {
      const at = L.pixelOf(view, cell[0] + 0.5, cell[1] + 0.5);
      ctx.strokeStyle = colour;
      ctx.lineWidth = 2;
      ctx.beginPath();
      ctx.arc(at.x, at.y, 10, 0, 2 * Math.PI);
      ctx.stroke();
    };
    if (state.layers.marks && state.survey) {
      for (const split of state.survey.splits) split.partCells.forEach((cell) => ring(cell, '#ff9f1c'));
      for (const cell of state.survey.lost) ring(cell, '#ff2e2e');
    }
    if (state.marked) ring(state.marked, '#00e5ff');
  }

  // The brush's square, or the rectangle being drawn, under the pointer.
  function drawPreview(view) {
    const preview = pointer.preview;
    if (!preview) return;
    const at = L.pixelOf(view, preview.row, preview.column);
    overlayContext.strokeStyle = state.blocking ? '#ff4d4d' : '#4dff88';
    overlayContext.lineWidth = 1.5;
    overlayContext.strokeRect(at.x, at.y, preview.columns / view.scale, preview.rows / view.scale);
  }

  // ---- Maps ----

  function afterMapChange(map) {
    state.map = map;
    state.start = state.goal = state.path = null;
    state.survey = null;
    state.marked = null;
    ++epoch;
    tiles.clear();
    records.clear();
    fit();
    setDirty(false);
    updatePathPanel('');
    updateHistoryButtons({canUndo: false, canRedo: false});
    refreshSurvey();
    return map;
  }

  function fit() {
    if (!state.map) return;
    const stage = $('stage');
    state.view = L.fitView(state.map.cellsPerSide, stage.clientWidth, stage.clientHeight);
    redraw();
  }

  function openBytes(bytes, name, extras) {
    showError('');
    const transfer = [bytes.buffer, ...extras.map((extra) => extra.bytes.buffer)];
    return ask('open', {bytes, name, extras}, transfer).then((map) => {
      $('pair-notes').textContent = map.notes.join('\n');
      return afterMapChange({name: map.name, cellsPerSide: map.cellsPerSide, segmentsPerSide: map.segmentsPerSide});
    });
  }

  // Files from the picker or a drop: the level-0 map, and maybe its info and waypoint maps.
  async function openFiles(list) {
    const files = Array.from(list);
    if (files.length === 0) return;
    if (state.dirty && !confirm('The map has unsaved edits. Open another and lose them?')) return;
    const level0 = files.find((file) => /level0/i.test(file.name)) || files[0];
    const read = async (file) => ({name: file.name, bytes: new Uint8Array(await file.arrayBuffer())});
    try {
      const main = await read(level0);
      const extras = await Promise.all(files.filter((file) => file !== level0).map(read));
      showNote(`Opening ${main.name}...`);
      await openBytes(main.bytes, main.name, extras);
      showNote(`Opened ${main.name}`);
    } catch (error) {
      showNote('');
      showError(`${level0.name}: ${error.message}`);
    }
  }

  function createMap(cellsPerSide, blocked) {
    showError('');
    return ask('create', {cellsPerSide, blocked}).then((map) => {
      $('pair-notes').textContent = '';
      return afterMapChange(map);
    });
  }

  async function save() {
    if (!state.map) return;
    try {
      const name = $('map-name').value.trim() || state.map.name;
      const result = await ask('files', {name});
      const files = [[result.names.level0, result.level0], [result.names.info, result.info], [result.names.waypoint, result.waypoint]];
      if (window.showDirectoryPicker) {
        let folder;
        try {
          folder = await window.showDirectoryPicker({mode: 'readwrite'});
        } catch (error) {
          if (error.name === 'AbortError') return;
          throw error;
        }
        for (const [fileName, bytes] of files) {
          const handle = await folder.getFileHandle(fileName, {create: true});
          const writable = await handle.createWritable();
          await writable.write(bytes);
          await writable.close();
        }
      } else {
        for (const [fileName, bytes] of files) {
          const link = document.createElement('a');
          link.href = URL.createObjectURL(new Blob([bytes], {type: 'application/octet-stream'}));
          link.download = fileName;
          link.click();
          setTimeout(() => URL.revokeObjectURL(link.href), 10000);
        }
      }
      state.map.name = result.names.level0;
      setDirty(false);
      showNote(`Saved ${files.map(([fileName]) => fileName).join(', ')}`);
    } catch (error) {
      showError(`Saving: ${error.message}`);
    }
  }

  // ---- The survey ----

  let surveyTimer = 0;
  function refreshSurvey(delay = 0) {
    clearTimeout(surveyTimer);
    surveyTimer = setTimeout(() => {
      ask('survey', {splitCapacity: 50, lostCapacity: 50}).then((survey) => {
        state.survey = survey;
        listSurvey(survey);
        redraw();
      }).catch((error) => showError(error.message));
    }, delay);
  }

  function listSurvey(survey) {
    $('survey-facts').textContent = `${survey.areasKept} areas kept of ${survey.areasFound}; ${survey.gridComponents} grid components, ${survey.graphComponents} graph components; ${survey.downLinks} down and ${survey.rightLinks} right links`;
    const fill = (list, items, text) => {
      list.replaceChildren();
      for (const item of items) {
        const entry = document.createElement('li');
        const button = document.createElement('button');
        button.textContent = text(item);
        button.addEventListener('click', () => flyTo(item.cell));
        entry.append(button);
        list.append(entry);
      }
    };
    $('splits-title').textContent = `Splits: ${survey.splitComponents}`;
    fill($('splits'), survey.splits.map((split) => ({cell: split.partCells[0], split})),
      ({split}) => `${split.parts} parts, joined only through erased areas, at (${split.partCells[0].join(', ')})`);
    $('lost-title').textContent = `Unreachable: ${survey.lostComponents} components, ${survey.lostCells} cells`;
    fill($('lost'), survey.lost.map((cell) => ({cell})), ({cell}) => `no kept area at (${cell.join(', ')})`);
  }

  function flyTo(cell) {
    const stage = $('stage');
    const scale = Math.min(state.view.scale, 0.25);
    state.view = {scale, row: cell[0] - (stage.clientHeight / 2) * scale, column: cell[1] - (stage.clientWidth / 2) * scale};
    state.marked = cell;
    redraw();
  }

  // ---- Paths ----

  let pathAsked = null, pathWaiting = false;
  function findPath() {
    if (!state.start || !state.goal) return;
    const query = {row0: state.start.row, column0: state.start.column, row1: state.goal.row, column1: state.goal.column};
    if (pathWaiting) {
      pathAsked = query;  // the latest ends asked for, once this answer is in
      return;
    }
    pathWaiting = true;
    const goal = {...state.goal};
    ask('path', query).then((result) => {
      state.path = result;
      const {steps, end, text} = L.pathSummary(result, goal);
      updatePathPanel(text);
      redraw();
      if (!pathAsked) {
        return ask('shortest', {row0: query.row0, column0: query.column0, row1: end[0], column1: end[1]}).then((exact) => {
          if (state.path !== result) return;
          updatePathPanel(`${$('path-facts').textContent}${L.shortestSummary(steps, exact)}`);
        });
      }
      return null;
    }).catch((error) => {
      state.path = null;
      updatePathPanel(error.message);
      redraw();
    }).finally(() => {
      pathWaiting = false;
      if (pathAsked) {
        pathAsked = null;
        findPath();
      }
    });
  }

  function updatePathPanel(text) {
    $('path-facts').textContent = text;
  }

  // ---- Edits ----

  // Edits answered whose tiles are still being made into bitmaps: the page is not idle yet.
  let editsApplying = 0;

  // An edit, sent with the tiles in view: those it changed come back drawn with its answer.
  function askEdit(operation, argument = {}, transfer = []) {
    const asked = epoch;
    const shown = state.map ? {
      tiles: L.visibleTiles(deviceView(), mapCanvas.width, mapCanvas.height, state.map.cellsPerSide).map(({level, tx, ty}) => ({level, tx, ty})),
      layers: state.layers,
    } : null;
    ++editsApplying;
    return ask(operation, {...argument, shown}, transfer).then(async (result) => {
      const fresh = await Promise.all((result.tiles || []).map(async (tile) =>
        ({key: L.tileKey(tile), bitmap: await createImageBitmap(new ImageData(tile.pixels, L.kTilePixels, L.kTilePixels))})));
      afterEdit(result);
      if (asked !== epoch) return result;
      for (const {key, bitmap} of fresh) tiles.set(key, {bitmap, epoch});
      if (result.records) storeRecords(result.records);
      return result;
    }).finally(() => {
      --editsApplying;
      redraw();
    });
  }

  function afterEdit(result) {
    const ranges = Array.isArray(result.touched) ? result.touched : result.touched ? [result.touched] : [];
    ranges.forEach(invalidate);
    if (ranges.length > 0) {
      setDirty(true);
      refreshSurvey(400);
      if (state.path) findPath();
    }
    if ('canUndo' in result) updateHistoryButtons(result);
    return result;
  }

  function updateHistoryButtons({canUndo, canRedo}) {
    $('undo').disabled = !canUndo;
    $('redo').disabled = !canRedo;
  }

  function paintRect(rect) {
    if (!rect) return Promise.resolve();
    const blocked = new Uint8Array(rect.rows * rect.columns).fill(state.blocking ? 1 : 0);
    return askEdit('setCells', {...rect, blocked}, [blocked.buffer]).catch((error) => showError(error.message));
  }

  function setCellsStroke(row, column, rows, columns, blocked) {
    return askEdit('setCells', {row, column, rows, columns, blocked});
  }

  function undo() {
    return askEdit('undo');
  }

  function redo() {
    return askEdit('redo');
  }

  // ---- Pointer and keys ----

  const pointer = {down: false, button: 0, x: 0, y: 0, startX: 0, startY: 0, moved: false, action: null, last: null, preview: null, space: false};

  function cellUnder(event) {
    const bounds = overlay.getBoundingClientRect();
    const at = L.cellAt(state.view, event.clientX - bounds.left, event.clientY - bounds.top);
    return {row: Math.floor(at.row), column: Math.floor(at.column)};
  }

  function insideMap(cell) {
    return state.map && cell.row >= 0 && cell.column >= 0 && cell.row < state.map.cellsPerSide && cell.column < state.map.cellsPerSide;
  }

  function nearEnd(event) {
    const bounds = overlay.getBoundingClientRect();
    for (const which of ['start', 'goal']) {
      const end = state[which];
      if (!end) continue;
      const at = L.pixelOf(state.view, end.row + 0.5, end.column + 0.5);
      if (Math.hypot(at.x - (event.clientX - bounds.left), at.y - (event.clientY - bounds.top)) <= 10) return which;
    }
    return null;
  }

  overlay.addEventListener('pointerdown', (event) => {
    if (!state.map) return;
    overlay.setPointerCapture(event.pointerId);
    Object.assign(pointer, {down: true, button: event.button, x: event.clientX, y: event.clientY, startX: event.clientX, startY: event.clientY, moved: false});
    const cell = cellUnder(event);
    if (event.button === 1 || event.button === 2 || pointer.space) {
      pointer.action = 'pan';
    } else if (state.tool === 'path') {
      pointer.action = nearEnd(event) || 'click-or-pan';
    } else if (state.tool === 'brush') {
      pointer.action = 'brush';
      pointer.last = cell;
      ask('beginStroke');
      paintRect(L.brushRect(cell.row, cell.column, state.brush, state.map.cellsPerSide));
    } else if (state.tool === 'rectangle') {
      pointer.action = 'rectangle';
      pointer.last = cell;
      pointer.preview = L.rectBetween(cell, cell, state.map.cellsPerSide);
    } else if (state.tool === 'fill') {
      pointer.action = 'fill';
    }
    event.preventDefault();
  });

  overlay.addEventListener('pointermove', (event) => {
    if (!state.map) return;
    const cell = cellUnder(event);
    hoverAt(cell);
    if (!pointer.down) {
      pointer.preview = state.tool === 'brush' ? L.brushRect(cell.row, cell.column, state.brush, state.map.cellsPerSide) : null;
      if (state.tool === 'brush') redraw();
      return;
    }
    const dx = event.clientX - pointer.x, dy = event.clientY - pointer.y;
    pointer.x = event.clientX;
    pointer.y = event.clientY;
    pointer.moved = pointer.moved || Math.hypot(event.clientX - pointer.startX, event.clientY - pointer.startY) > 4;
    if (pointer.action === 'click-or-pan' && pointer.moved) pointer.action = 'pan';
    if (pointer.action === 'pan') {
      state.view = L.panBy(state.view, dx, dy);
      redraw();
    } else if (pointer.action === 'start' || pointer.action === 'goal') {
      if (insideMap(cell)) {
        state[pointer.action] = cell;
        findPath();
        redraw();
      }
    } else if (pointer.action === 'brush') {
      for (const step of L.strokeCells(pointer.last, cell, state.brush)) {
        paintRect(L.brushRect(step.row, step.column, state.brush, state.map.cellsPerSide));
      }
      pointer.last = cell;
      pointer.preview = L.brushRect(cell.row, cell.column, state.brush, state.map.cellsPerSide);
    } else if (pointer.action === 'rectangle') {
      pointer.preview = L.rectBetween(pointer.last, cell, state.map.cellsPerSide);
      redraw();
    }
  });

  overlay.addEventListener('pointerup', (event) => {
    if (!pointer.down) return;
    pointer.down = false;
    const cell = cellUnder(event);
    if (pointer.action === 'click-or-pan' && insideMap(cell)) {
      if (!state.start || state.goal) {
        state.start = cell;
        state.goal = null;
        state.path = null;
        updatePathPanel('Now click the goal');
      } else {
        state.goal = cell;
        findPath();
      }
      redraw();
    } else if (pointer.action === 'brush') {
      ask('endStroke').then(afterEdit);
    } else if (pointer.action === 'rectangle') {
      const rect = pointer.preview;
      pointer.preview = null;
      ask('beginStroke').then(() => paintRect(rect)).then(() => ask('endStroke')).then(afterEdit);
    } else if (pointer.action === 'fill' && insideMap(cell)) {
      fillAt(cell);
    }
    pointer.action = null;
  });

  overlay.addEventListener('contextmenu', (event) => event.preventDefault());

  // A fill reaches as far as the view shows, at most 4096 x 4096 cells about the cell.
  function fillAt(cell) {
    const window = L.fillWindow(state.view, overlay.clientWidth, overlay.clientHeight, cell, state.map.cellsPerSide);
    ask('beginStroke')
      .then(() => askEdit('fill', {row: cell.row, column: cell.column, blocked: state.blocking, window}))
      .then(() => ask('endStroke'))
      .then(updateHistoryButtons)
      .catch((error) => showError(error.message));
  }

  overlay.addEventListener('wheel', (event) => {
    if (!state.map) return;
    event.preventDefault();
    const bounds = overlay.getBoundingClientRect();
    const factor = Math.pow(1.0015, -event.deltaY * (event.deltaMode === 1 ? 40 : 1));
    state.view = L.zoomAbout(state.view, event.clientX - bounds.left, event.clientY - bounds.top, factor);
    redraw();
  }, {passive: false});

  let hoverWaiting = false, hoverWanted = null;
  function hoverAt(cell) {
    if (!insideMap(cell)) {
      $('hover').textContent = '';
      return;
    }
    if (hoverWaiting) {
      hoverWanted = cell;
      return;
    }
    hoverWaiting = true;
    ask('hover', cell).then(({text}) => { $('hover').textContent = text; })
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

  function chooseTool(tool) {
    state.tool = tool;
    for (const button of document.querySelectorAll('[data-tool]')) button.classList.toggle('chosen', button.dataset.tool === tool);
    pointer.preview = null;
    redraw();
  }

  window.addEventListener('keydown', (event) => {
    // Keys typed into the name field or a list are theirs; sliders and boxes leave them to the map.
    const typing = (event.target instanceof HTMLInputElement && ['text', 'search', 'number'].includes(event.target.type)) || event.target instanceof HTMLSelectElement;
    if (typing) return;
    const key = event.key.toLowerCase();
    const control = event.ctrlKey || event.metaKey;
    if (control && key === 'z' && !event.shiftKey) {
      undo();
    } else if (control && (key === 'y' || (key === 'z' && event.shiftKey))) {
      redo();
    } else if (control && key === 's') {
      save();
    } else if (control && key === 'o') {
      $('open-file').click();
    } else if (control) {
      return;
    } else if (key === ' ') {
      pointer.space = true;
    } else if (key === 'p' || key === 'b' || key === 'r' || key === 'f') {
      chooseTool({p: 'path', b: 'brush', r: 'rectangle', f: 'fill'}[key]);
    } else if (key === 'x') {
      setBlocking(!state.blocking);
    } else if (key === '0') {
      fit();
    } else if (key === '+' || key === '=' || key === '-') {
      state.view = L.zoomAbout(state.view, overlay.clientWidth / 2, overlay.clientHeight / 2, key === '-' ? 1 / 1.5 : 1.5);
      redraw();
    } else {
      return;
    }
    event.preventDefault();
  });
  window.addEventListener('keyup', (event) => {
    if (event.key === ' ') pointer.space = false;
  });

  function setBlocking(blocking) {
    state.blocking = blocking;
    $('paint-blocked').checked = blocking;
    $('paint-open').checked = !blocking;
  }

  // ---- Controls ----

  $('open-file').addEventListener('change', (event) => {
    openFiles(event.target.files);
    event.target.value = '';
  });
  $('open').addEventListener('click', () => $('open-file').click());
  $('create').addEventListener('click', () => {
    if (state.dirty && !confirm('The map has unsaved edits. Make a new one and lose them?')) return;
    createMap(Number($('new-size').value), $('new-blocked').value === 'blocked').catch((error) => showError(error.message));
  });
  $('save').addEventListener('click', save);
  $('undo').addEventListener('click', undo);
  $('redo').addEventListener('click', redo);
  $('fit').addEventListener('click', fit);
  for (const button of document.querySelectorAll('[data-tool]')) button.addEventListener('click', () => chooseTool(button.dataset.tool));
  $('paint-blocked').addEventListener('change', () => setBlocking(true));
  $('paint-open').addEventListener('change', () => setBlocking(false));
  $('brush-size').addEventListener('input', (event) => {
    state.brush = Number(event.target.value);
    $('brush-size-value').textContent = String(state.brush);
  });
  for (const box of document.querySelectorAll('[data-layer]')) {
    box.addEventListener('change', () => {
      state.layers[box.dataset.layer] = box.checked;
      if (['areas', 'area4', 'erased'].includes(box.dataset.layer)) ++epoch;
      redraw();
    });
  }

  const stage = $('stage');
  stage.addEventListener('dragover', (event) => {
    event.preventDefault();
    stage.classList.add('dropping');
  });
  stage.addEventListener('dragleave', () => stage.classList.remove('dropping'));
  stage.addEventListener('drop', (event) => {
    event.preventDefault();
    stage.classList.remove('dropping');
    openFiles(event.dataTransfer.files);
  });

  window.addEventListener('beforeunload', (event) => {
    if (!state.dirty) return;
    event.preventDefault();
    event.returnValue = '';
  });
  window.addEventListener('resize', resize);

  // ---- Automation ----

  // Resolves once nothing is asked of the worker and every tile in view is drawn.
  let idleWaiters = [];
  function settle() {
    if (pending.size > 0 || editsApplying > 0 || frameWanted) return;
    const view = deviceView();
    const visible = state.map ? L.visibleTiles(view, mapCanvas.width, mapCanvas.height, state.map.cellsPerSide) : [];
    if (visible.some((tile) => { const cached = tiles.get(L.tileKey(tile)); return !cached || cached.epoch !== epoch || !cached.bitmap; })) return;
    const waiters = idleWaiters;
    idleWaiters = [];
    waiters.forEach((resolve) => resolve());
  }

  function idle() {
    return new Promise((resolve) => {
      idleWaiters.push(resolve);
      redraw();
    });
  }

  const bytesOf = (value) => (value instanceof Uint8Array ? value : new Uint8Array(value));
  window.varnholtStudio = {
    open: (bytes, name = 'Map1Level0Map.raw') => openBytes(Uint8Array.from(bytesOf(bytes)), name, []),
    create: (cellsPerSide, blocked) => createMap(cellsPerSide, Boolean(blocked)),
    setCells: (row, column, rows, columns, blockedBytes) => setCellsStroke(row, column, rows, columns, Uint8Array.from(bytesOf(blockedBytes))),
    findPath: (row0, column0, row1, column1) => ask('findPath', {row0, column0, row1, column1}),
    files: () => ask('files', {name: $('map-name').value.trim() || undefined}).then(({level0, info, waypoint}) => ({level0, info, waypoint})),
    undo,
    redo,
    idle,
    view: (view) => {
      if (view) {
        state.view = {...view};
        redraw();
      }
      return {...state.view};
    },
  };

  resize();
  describeMap();
  chooseTool('path');
})();
