// The overlay drawn over the tiles each frame: the map's edge, the segment grid and, near enough,
// the cells' borders, waypoints and their links, the path and its ends, and the brush or
// rectangle under the pointer with its size. It keeps nothing: what it draws comes in the scene
// main.js gathers from the parts that own it, so that it can be read as drawing alone. The marks
// of problems and of the ground looked at are marks.js's.
'use strict';

const StudioOverlay = (() => {
  const L = VarnholtLogic;

  const centreOf = (view, row, column) => L.pixelOf(view, row + 0.5, column + 0.5);

  // Scene: {segmentsPerSide, layers, record(i, j), wantRecords(range), path, start, goal, preview,
  // blocking}. Frame: {view, width, height, ratio}, in device pixels.
  function draw(context, {view, width, height, ratio}, scene) {
    const segmentPixels = L.kSegmentSide / view.scale;
    const range = L.segmentsInView(view, width, height, scene.segmentsPerSide);
    const cells = scene.segmentsPerSide * L.kSegmentSide;
    if (1 / view.scale >= 12) drawCellGrid(context, view, width, height, cells);
    if (scene.layers.grid && segmentPixels >= 6) drawGrid(context, view, range, cells);
    drawEdge(context, view, cells);
    if ((scene.layers.waypoints || scene.layers.links) && segmentPixels >= 12) {
      scene.wantRecords(range);
      if (scene.layers.links) drawLinks(context, view, range, scene.record, segmentPixels);
      if (scene.layers.waypoints) drawWaypoints(context, view, range, scene.record, segmentPixels);
    }
    drawPath(context, view, scene.path);
    drawEnds(context, view, scene.start, scene.goal);
    drawPreview(context, view, scene.preview, scene.blocking, ratio);
  }

  // Lines along rows First ... Last and columns, each Step cells, within the map's Cells.
  function gridLines(context, view, rows, columns, step, cells) {
    const top = L.pixelOf(view, 0, 0), bottom = L.pixelOf(view, cells, cells);
    context.beginPath();
    for (let r = rows[0]; r <= rows[1]; ++r) {
      const y = Math.round(L.pixelOf(view, r * step, 0).y) + 0.5;
      context.moveTo(Math.max(top.x, -1), y);
      context.lineTo(bottom.x, y);
    }
    for (let c = columns[0]; c <= columns[1]; ++c) {
      const x = Math.round(L.pixelOf(view, 0, c * step).x) + 0.5;
      context.moveTo(x, Math.max(top.y, -1));
      context.lineTo(x, bottom.y);
    }
    context.stroke();
  }

  // The segments' borders, on the map only.
  function drawGrid(context, view, {top, bottom, left, right}, cells) {
    context.strokeStyle = 'rgba(255, 255, 255, 0.25)';
    context.lineWidth = 1;
    gridLines(context, view, [top, bottom + 1], [left, right + 1], L.kSegmentSide, cells);
  }

  // Each cell's border, where cells are 12 pixels or more: a cell can be read alone.
  function drawCellGrid(context, view, width, height, cells) {
    const first = L.cellAt(view, 0, 0), last = L.cellAt(view, width, height);
    const clamp = (value) => Math.min(cells, Math.max(0, value));
    context.strokeStyle = 'rgba(0, 0, 0, 0.3)';
    context.lineWidth = 1;
    gridLines(context, view, [clamp(Math.floor(first.row)), clamp(Math.ceil(last.row))], [clamp(Math.floor(first.column)), clamp(Math.ceil(last.column))], 1, cells);
  }

  // The map's edge, plain against the dark outside however dark its border cells are.
  function drawEdge(context, view, cells) {
    const a = L.pixelOf(view, 0, 0), b = L.pixelOf(view, cells, cells);
    context.strokeStyle = 'rgba(220, 226, 236, 0.8)';
    context.lineWidth = 1;
    context.strokeRect(Math.round(a.x) - 0.5, Math.round(a.y) - 0.5, Math.round(b.x) - Math.round(a.x) + 1, Math.round(b.y) - Math.round(a.y) + 1);
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
          context.lineWidth = 1;
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
    context.strokeStyle = L.kMarks.path;
    tracePairs(context, view, path.cells);
    context.strokeStyle = L.kMarks.corners;
    context.setLineDash([6, 4]);
    tracePairs(context, view, path.corners);
    context.setLineDash([]);
  }

  function drawEnds(context, view, start, goal) {
    for (const [end, colour] of [[start, L.kMarks.start], [goal, L.kMarks.goal]]) {
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

  // The brush's square, or the rectangle being drawn, under the pointer; a rectangle with its size
  // beside it.
  function drawPreview(context, view, preview, blocking, ratio) {
    if (!preview) return;
    const at = L.pixelOf(view, preview.row, preview.column);
    const width = preview.columns / view.scale, height = preview.rows / view.scale;
    context.strokeStyle = blocking ? '#ff4d4d' : '#4dff88';
    context.lineWidth = 1.5;
    context.strokeRect(at.x, at.y, width, height);
    if (!preview.sized) return;
    const text = VarnholtWords.rectText(preview);
    context.font = `${12 * ratio}px system-ui, sans-serif`;
    const x = at.x + width + 6 * ratio, y = at.y + height + 16 * ratio;
    context.fillStyle = 'rgba(0, 0, 0, 0.7)';
    context.fillRect(x - 3 * ratio, y - 13 * ratio, context.measureText(text).width + 6 * ratio, 17 * ratio);
    context.fillStyle = '#ffffff';
    context.fillText(text, x, y);
  }

  return {draw};
})();
