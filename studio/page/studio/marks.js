// The marks drawn over the map each frame for the problems and the ground looked at: a ring about
// each split's parts (orange) and each unreachable place (red), gathered into dots where
// hundreds are in view; the problem chosen or the cell flown to (cyan); the erased areas that
// join a split's parts (magenta) and the number of each part at its waypoint; the cells of the fix
// for the split chosen (yellow to block, green to open). Like the overlay it keeps nothing: the
// scene brings what it draws.
'use strict';

const StudioMarks = (() => {
  const L = VarnholtLogic;
  const kMostRings = 400;  // past this many in view, dots in a grid of pixels stand for them

  const centreOf = (view, row, column) => L.pixelOf(view, row + 0.5, column + 0.5);

  // Scene: {survey (splits, lost as row, column pairs), shown, chosen, ground, fix (block, open
  // as row, column pairs)}. Frame as the overlay's.
  function draw(context, {view, width, height, ratio}, {survey, shown, chosen, ground, fix}) {
    if (survey && shown) {
      const splitCells = survey.splits.flatMap((split) => split.partCells.flat());
      drawPlaces(context, view, width, height, ratio, splitCells, L.kMarks.split);
      drawPlaces(context, view, width, height, ratio, survey.lost, L.kMarks.lost);
    }
    if (ground && ground.kind === 'open') drawGround(context, view, ratio, ground);
    if (fix) {
      drawCells(context, view, ratio, fix.block, L.kMarks.fixBlock);
      drawCells(context, view, ratio, fix.open, L.kMarks.fixOpen);
    }
    if (chosen) ring(context, centreOf(view, chosen[0], chosen[1]), 11 * ratio, L.kMarks.chosen, 3 * ratio);
  }

  function ring(context, at, radius, colour, width) {
    context.strokeStyle = colour;
    context.lineWidth = width;
    context.beginPath();
    context.arc(at.x, at.y, radius, 0, 2 * Math.PI);
    context.stroke();
  }

  // The places of Cells (row, column pairs) in view: rings, or past kMostRings, a dot in each
  // square of 6 pixels that holds any, so that none is left out and a frame stays cheap.
  function drawPlaces(context, view, width, height, ratio, cells, colour) {
    const margin = 12 * ratio, inView = [];
    for (let k = 0; k < cells.length; k += 2) {
      // As centreOf, without an object for each of a hundred thousand places out of view.
      const x = (cells[k + 1] + 0.5 - view.column) / view.scale, y = (cells[k] + 0.5 - view.row) / view.scale;
      if (x >= -margin && y >= -margin && x <= width + margin && y <= height + margin) inView.push({x, y});
    }
    if (inView.length <= kMostRings) {
      context.strokeStyle = colour;
      context.lineWidth = 2 * ratio;
      context.beginPath();
      for (const at of inView) {
        context.moveTo(at.x + 8 * ratio, at.y);
        context.arc(at.x, at.y, 8 * ratio, 0, 2 * Math.PI);
      }
      context.stroke();
      return;
    }
    const square = 6 * ratio, seen = new Set();
    context.fillStyle = colour;
    for (const at of inView) {
      const x = Math.floor(at.x / square), y = Math.floor(at.y / square);
      if (seen.has(x * 100003 + y)) continue;
      seen.add(x * 100003 + y);
      context.fillRect(x * square + 1, y * square + 1, square - 2, square - 2);
    }
  }

  // A fix's cells (row, column pairs), each filled in Colour and outlined dark: the cell itself
  // where it is 5 pixels or more, a square of 5 pixels about its middle where the view is
  // farther out, so that a fix of a few cells still shows on a whole map.
  function drawCells(context, view, ratio, cells, colour) {
    const side = Math.max(5 * ratio, 1 / view.scale);
    context.fillStyle = colour;
    context.strokeStyle = 'rgba(0, 0, 0, 0.8)';
    context.lineWidth = ratio;
    context.beginPath();
    for (let k = 0; k < cells.length; k += 2) {
      const at = centreOf(view, cells[k], cells[k + 1]);
      context.rect(at.x - side / 2, at.y - side / 2, side, side);
    }
    context.fill();
    context.stroke();
  }

  // The ground looked at: rings about the erased areas that join its parts, and where it has
  // several parts, each part's number at its waypoint.
  function drawGround(context, view, ratio, ground) {
    const joining = ground.joining.flatMap((group) => group.cell);
    drawPlaces(context, view, Infinity, Infinity, ratio, joining, L.kMarks.joining);
    if (ground.parts.length < 2 || ground.parts.length > 200) return;
    context.font = `bold ${12 * ratio}px system-ui, sans-serif`;
    context.textAlign = 'center';
    context.textBaseline = 'middle';
    ground.parts.forEach((part, p) => {
      const at = centreOf(view, part.cell[0], part.cell[1]);
      const [r, g, b] = L.partColour(p);
      context.fillStyle = 'rgba(0, 0, 0, 0.75)';
      context.beginPath();
      context.arc(at.x, at.y, 9 * ratio, 0, 2 * Math.PI);
      context.fill();
      context.fillStyle = `rgb(${r}, ${g}, ${b})`;
      context.fillText(String(p + 1), at.x, at.y);
    });
    context.textAlign = 'start';
    context.textBaseline = 'alphabetic';
  }

  return {draw};
})();
