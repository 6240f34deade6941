// The overlay drawn over the tiles each frame: the segment grid, waypoints and their links, the
// path and its ends, the splits and unreachable places, and the brush or rectangle under the
// pointer. It keeps nothing: what it draws comes in the scene main.js gathers from the parts
// that own it, so that it can be read as drawing alone.
'use strict';

const StudioOverlay = (() => {
  const L = VarnholtLogic;

  const centreOf = (view, row, column) => L.pixelOf(view, row + 0.5, column + 0.5);

  // Scene: {segmentsPerSide, layers, record(i, j), wantRecords(range), path, start, goal, survey,
  // marked, preview, blocking}. Frame: {view, width, height}, in device pixels.
  function draw(context, {view, width, height}, scene) {
    const segmentPixels = L.kSegmentSide / view.scale;
    const range = L.segmentsInView(view, width, height, scene.segmentsPerSide);
    if (scene.layers.grid && segmentPixels >= 6) drawGrid(context, view, range, width, height);
    if ((scene.layers.waypoints || scene.layers.links) && segmentPixels >= 12) {
      scene.wantRecords(range);
      if (scene.layers.links) drawLinks(context, view, range, scene.record, segmentPixels);
      if (scene.layers.waypoints) drawWaypoints(context, view, range, scene.record, segmentPixels);
    }
    drawPath(context, view, scene.path);
    drawEnds(context, view, scene.start, scene.goal);
    drawMarks(context, view, scene.layers.marks && scene.survey, scene.marked);
    drawPreview(context, view, scene.preview, scene.blocking);
  }

  function drawGrid(context, view, {top, bottom, left, right}, width, height) {
    const k = L.kSegmentSide;
    context.strokeStyle = 'rgba(255, 255, 255, 0.25)';
    context.lineWidth = 1;
    context.beginPath();
    for (let i = top; i <= bottom + 1; ++i) {
      const y = Math.round(L.pixelOf(view, i * k, 0).y) + 0.5;
      context.moveTo(0, y);
      context.lineTo(width, y);
    }
    for (let j = left; j <= right + 1; ++j) {
      const x = Math.round(L.pixelOf(view, 0, j * k).x) + 0.5;
      context.moveTo(x, 0);
      context.lineTo(x, height);
    }
    context.stroke();
  }

  // Where kept area Area of segment (i, j) has its waypoint, once the segment's record is here.
  function waypointOf(view, record, i, j, area) {
    const k = L.kSegmentSide;
    const segment = record(i, j);
    const found = segment && segment.areas.find((a) => a.area === area);
    return found && centreOf(view, i * k + found.row, j * k + found.column);
  }

  function drawLinks(context, view, {top, bottom, left, right}, record, segmentPixels) {
    context.strokeStyle = 'rgba(255, 255, 255, 0.85)';
    // Thin lines are hairlines, cheap in a software-drawn frame; wide ones only where few
    // segments are in view.
    context.lineWidth = Math.max(1, Math.min(3, Math.floor(segmentPixels / 96)));
    context.beginPath();
    for (let i = top; i <= bottom; ++i) {
      for (let j = left; j <= right; ++j) {
        const segment = record(i, j);
        if (!segment) continue;
        for (const [links, di, dj] of [[segment.down, 1, 0], [segment.right, 0, 1]]) {
          for (const [a, b] of links) {
            const from = waypointOf(view, record, i, j, a), to = waypointOf(view, record, i + di, j + dj, b);
            if (!from || !to) continue;
            context.moveTo(from.x, from.y);
            context.lineTo(to.x, to.y);
          }
        }
      }
    }
    context.stroke();
  }

  function drawWaypoints(context, view, {top, bottom, left, right}, record, segmentPixels) {
    const k = L.kSegmentSide;
    const radius = Math.max(2, Math.min(6, segmentPixels / 16));
    for (let i = top; i <= bottom; ++i) {
      for (let j = left; j <= right; ++j) {
        const segment = record(i, j);
        if (!segment) continue;
        for (const area of segment.areas) {
          const at = centreOf(view, i * k + area.row, j * k + area.column);
          context.fillStyle = '#ffffff';
          context.strokeStyle = '#111111';
          context.beginPath();
          context.arc(at.x, at.y, radius, 0, 2 * Math.PI);
          context.fill();
          context.stroke();
        }
      }
    }
  }

  // A line through pairs of row, column, from their cells' middles.
  function tracePairs(context, view, pairs) {
    context.beginPath();
    for (let k = 0; k < pairs.length; k += 2) {
      const at = centreOf(view, pairs[k], pairs[k + 1]);
      if (k === 0) context.moveTo(at.x, at.y); else context.lineTo(at.x, at.y);
    }
    context.stroke();
  }

  // The path's cells, and its corners smoothed dashed over them.
  function drawPath(context, view, path) {
    if (!path) return;
    context.lineWidth = 2;
    context.strokeStyle = '#ff3ec8';
    tracePairs(context, view, path.cells);
    context.strokeStyle = '#ffe600';
    context.setLineDash([6, 4]);
    tracePairs(context, view, path.corners);
    context.setLineDash([]);
  }

  function drawEnds(context, view, start, goal) {
    for (const [end, colour] of [[start, '#3cff6e'], [goal, '#ff5a3c']]) {
      if (!end) continue;
      const at = centreOf(view, end.row, end.column);
      context.fillStyle = colour;
      context.strokeStyle = '#000000';
      context.lineWidth = 2;
      context.beginPath();
      context.arc(at.x, at.y, 7, 0, 2 * Math.PI);
      context.fill();
      context.stroke();
    }
  }

  // Rings about the splits' parts and the unreachable places of Survey (where shown), and about
  // the cell flown to from a list.
  function drawMarks(context, view, survey, marked) {
    const ring = (cell, colour) => {
      const at = centreOf(view, cell[0], cell[1]);
      context.strokeStyle = colour;
      context.lineWidth = 2;
      context.beginPath();
      context.arc(at.x, at.y, 10, 0, 2 * Math.PI);
      context.stroke();
    };
    if (survey) {
      for (const split of survey.splits) split.partCells.forEach((cell) => ring(cell, '#ff9f1c'));
      for (const cell of survey.lost) ring(cell, '#ff2e2e');
    }
    if (marked) ring(marked, '#00e5ff');
  }

  // The brush's square, or the rectangle being drawn, under the pointer.
  function drawPreview(context, view, preview, blocking) {
    if (!preview) return;
    const at = L.pixelOf(view, preview.row, preview.column);
    context.strokeStyle = blocking ? '#ff4d4d' : '#4dff88';
    context.lineWidth = 1.5;
    context.strokeRect(at.x, at.y, preview.columns / view.scale, preview.rows / view.scale);
  }

  return {draw};
})();
