// The field toward a goal: with the Field tool a click sets the goal, and the cells in view show
// their distance to it as a heat map (hot near the goal, cool at the farthest cell in view;
// blocked cells and those not joined to it left uncoloured) and, zoomed in far enough to read a
// cell, each cell's next step toward it as an arrow. The worker works out what the view shows, a
// cell a block when the view holds more than it can colour one by one, and again after each edit.
'use strict';

const StudioField = (() => {
  const L = VarnholtLogic, W = VarnholtWords;
  const $ = (id) => document.getElementById(id);
  const kArrowPixels = 16;  // a cell this many pixels wide or more shows its arrow
  let goal = null;          // {row, column}
  let data = null;          // the worker's answer for the view asked: distances, next steps
  let shownKey = '', wantedKey = '';
  let asking = false, stale = false;
  let setting = 0;          // goals asked for, not yet answered

  function setGoal(cell) {
    if (!StudioMap.inside(cell)) return Promise.resolve(null);
    const generation = StudioMap.currentGeneration();
    ++setting;
    return StudioRequests.ask('fieldGoal', cell).then(() => {
      if (generation !== StudioMap.currentGeneration()) return null;
      goal = cell;
      data = null;
      shownKey = '';
      StudioStatus.showError('');
      describe();
      StudioView.redraw();
      return goal;
    }).catch((error) => {
      StudioStatus.showError(`Field: ${error.message}`);
      return null;
    }).finally(() => {
      --setting;
      StudioView.redraw();
    });
  }

  // A new map: the worker has let go of the field with the old one.
  function clear() {
    goal = null;
    data = null;
    shownKey = wantedKey = '';
    stale = false;
    describe();
  }

  // An edit changed cells: the distances shown are asked for again.
  function edited() {
    if (!goal) return;
    stale = true;
    StudioView.redraw();
  }

  // The cells in view at the frame's scale, and whether they are near enough for arrows.
  function wanted(view, width, height) {
    const first = L.cellAt(view, 0, 0), last = L.cellAt(view, width, height);
    const top = Math.max(0, Math.floor(first.row)), left = Math.max(0, Math.floor(first.column));
    return {top, left, rows: Math.max(0, Math.ceil(last.row) - top), columns: Math.max(0, Math.ceil(last.column) - left), arrows: 1 / view.scale >= kArrowPixels};
  }

  // Asks for the view's distances once what is shown is not of it; one question at a time, the
  // view as it stands when the answer comes asked for next.
  function want(rect) {
    wantedKey = JSON.stringify(rect);
    if (asking || (!stale && shownKey === wantedKey)) return;
    asking = true;
    stale = false;
    const generation = StudioMap.currentGeneration(), key = wantedKey, asked = goal;
    StudioRequests.ask('fieldView', rect).then((result) => {
      if (generation !== StudioMap.currentGeneration() || asked !== goal) return;
      data = result;
      shownKey = key;
      describe();
    }).catch((error) => StudioStatus.showError(`Field: ${error.message}`)).finally(() => {
      asking = false;
      StudioView.redraw();
    });
  }

  function draw(context, {view, width, height, ratio}) {
    if (!goal || !StudioMap.current()) return;
    want(wanted(view, width, height));
    if (!data) return;
    const {top, left, step, rows, columns, most, distances, next} = data;
    context.save();
    context.globalAlpha = L.kHeatAlpha;
    for (let r = 0; r < rows; ++r) {
      const y0 = Math.round(L.pixelOf(view, top + r * step, 0).y), y1 = Math.round(L.pixelOf(view, top + (r + 1) * step, 0).y);
      for (let c = 0; c < columns; ++c) {
        const distance = distances[r * columns + c];
        if (distance < 0) continue;
        const x0 = Math.round(L.pixelOf(view, 0, left + c * step).x), x1 = Math.round(L.pixelOf(view, 0, left + (c + 1) * step).x);
        const [red, green, blue] = L.heatColour(distance, most);
        context.fillStyle = `rgb(${red}, ${green}, ${blue})`;
        context.fillRect(x0, y0, x1 - x0, y1 - y0);
      }
    }
    context.restore();
    if (next.length > 0 && 1 / view.scale >= kArrowPixels) drawArrows(context, view, data);
    drawGoal(context, view, ratio);
  }

  // Each cell's next step: a short arrow from its middle toward the neighbour it steps to.
  function drawArrows(context, view, {top, left, rows, columns, next}) {
    const size = 0.3 / view.scale;
    const kToward = [null, [-1, 0], [1, 0], [0, -1], [0, 1]];
    context.strokeStyle = 'rgba(0, 0, 0, 0.75)';
    context.lineWidth = Math.max(1, size / 5);
    context.beginPath();
    for (let r = 0; r < rows; ++r) {
      for (let c = 0; c < columns; ++c) {
        const toward = kToward[next[r * columns + c]];
        if (!toward) continue;
        const {x, y} = L.pixelOf(view, top + r + 0.5, left + c + 0.5);
        const [dy, dx] = toward;
        const tipX = x + dx * size, tipY = y + dy * size;
        context.moveTo(x - dx * size, y - dy * size);
        context.lineTo(tipX, tipY);
        context.moveTo(tipX - dx * size * 0.5 + dy * size * 0.4, tipY - dy * size * 0.5 + dx * size * 0.4);
        context.lineTo(tipX, tipY);
        context.lineTo(tipX - dx * size * 0.5 - dy * size * 0.4, tipY - dy * size * 0.5 - dx * size * 0.4);
      }
    }
    context.stroke();
  }

  function drawGoal(context, view, ratio) {
    const {x, y} = L.pixelOf(view, goal.row + 0.5, goal.column + 0.5);
    context.strokeStyle = L.kMarks.goal;
    context.lineWidth = 2 * ratio;
    context.beginPath();
    context.arc(x, y, Math.max(6 * ratio, 0.5 / view.scale), 0, 2 * Math.PI);
    context.stroke();
  }

  function describe() {
    $('field-facts').textContent = !goal
      ? 'Choose Field, then click a goal'
      : `Goal at row ${W.count(goal.row)}, column ${W.count(goal.column)}` +
        (data ? `; the farthest cell in view that reaches it is ${W.plural(data.most, 'step')} away${data.step > 1 ? `; a cell shown for each ${data.step} × ${data.step}` : ''}` : '');
  }

  // Shown as the map stands: no goal being set, and none or the view's distances in, of the map
  // as edited.
  function settled() {
    return setting === 0 && (!goal || (!asking && !stale && shownKey === wantedKey && data !== null));
  }

  // What is drawn for a cell: its distance and colour (null where uncoloured), where the view shows
  // it a cell a cell.
  function shownAt(row, column) {
    if (!data || data.step !== 1) return null;
    const r = row - data.top, c = column - data.left;
    if (r < 0 || c < 0 || r >= data.rows || c >= data.columns) return null;
    const distance = data.distances[r * data.columns + c];
    return {distance, most: data.most, colour: distance < 0 ? null : L.heatColour(distance, data.most), next: data.next.length ? data.next[r * data.columns + c] : null};
  }

  return {setGoal, clear, edited, draw, settled, shownAt, current: () => goal};
})();
