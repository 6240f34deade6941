// The path tool's path: its start and goal, the path last found between them and the path panel
// that tells it. One query at a time: ends moved while one is out are asked for once it is in,
// the latest only, so that dragging an end never queues a query for every pointer move. After an
// edit the path between the ends is found again, whether or not the last query found one; an
// answer about a map no longer shown is let go.
'use strict';

const StudioPaths = (() => {
  const L = VarnholtLogic;
  const $ = (id) => document.getElementById(id);
  let start = null, goal = null, path = null;
  let pathAsked = null, pathWaiting = false;

  function showFacts(text) {
    $('path-facts').textContent = text;
  }

  // A new map: no ends, no path, nothing said.
  function clear() {
    start = goal = path = null;
    pathAsked = null;
    showFacts('Choose Path, then click the start and the goal');
  }

  function scene() {
    return {path, start, goal};
  }

  // The end whose mark lies within 10 pixels of (x, y) on the overlay, in the CSS pixels of View.
  function endNear(view, x, y) {
    for (const [which, end] of [['start', start], ['goal', goal]]) {
      if (!end) continue;
      const at = L.pixelOf(view, end.row + 0.5, end.column + 0.5);
      if (Math.hypot(at.x - x, at.y - y) <= 10) return which;
    }
    return null;
  }

  // A click with the path tool: a new start, or the goal for the start there is.
  function click(cell) {
    if (!start || goal) {
      start = cell;
      goal = null;
      path = null;
      showFacts('Now click the goal');
    } else {
      goal = cell;
      find();
    }
    StudioView.redraw();
  }

  // An end dragged to Cell.
  function moveEnd(which, cell) {
    if (which === 'start') start = cell; else goal = cell;
    find();
    StudioView.redraw();
  }

  // The cells changed: the path between the ends is found again.
  function refresh() {
    if (start && goal) find();
  }

  function find() {
    if (!start || !goal) return;
    const query = {row0: start.row, column0: start.column, row1: goal.row, column1: goal.column};
    if (pathWaiting) {
      pathAsked = query;  // the latest ends asked for, once this answer is in
      return;
    }
    pathWaiting = true;
    const wanted = {...goal}, generation = StudioMap.currentGeneration();
    const current = () => generation === StudioMap.currentGeneration();
    StudioRequests.ask('path', query).then((result) => current() && found(result, query, wanted)).catch((error) => {
      if (!current()) return;
      path = null;
      showFacts(error.message);
      StudioView.redraw();
    }).finally(() => {
      pathWaiting = false;
      if (pathAsked) {
        pathAsked = null;
        find();
      }
    });
  }

  // A path is in: it is shown and told, and unless other ends are waiting, measured against the
  // exact search to the cell it reached.
  function found(result, query, wanted) {
    path = result;
    const {steps, end, text} = L.pathSummary(result, wanted);
    showFacts(text);
    StudioView.redraw();
    if (pathAsked) return null;
    return StudioRequests.ask('shortest', {row0: query.row0, column0: query.column0, row1: end[0], column1: end[1]}).then((exact) => {
      if (path !== result) return;
      showFacts(`${$('path-facts').textContent}${L.shortestSummary(steps, exact)}`);
    });
  }

  return {clear, scene, endNear, click, moveEnd, refresh};
})();
