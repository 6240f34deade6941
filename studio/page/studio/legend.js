// The legend: what each colour and mark on the map means, drawn from the very colours the tiles
// and the overlay use (VarnholtLogic's), so that it cannot tell of a colour the map no longer
// shows. In the side panel, opened by its heading or by L.
'use strict';

const StudioLegend = (() => {
  const L = VarnholtLogic;
  const $ = (id) => document.getElementById(id);
  const rgb = ([r, g, b]) => `rgb(${r}, ${g}, ${b})`;

  // [how it is drawn, what it means]: a swatch of colours, or a ring, dot or line of a colour.
  function entries() {
    const stripes = `repeating-linear-gradient(135deg, ${rgb(L.kArea4Stripe)} 0 2px, ${rgb(L.kAreas[3][0])} 2px 8px)`;
    return [
      [{fill: `linear-gradient(90deg, ${rgb(L.kAreas[0][0])} 50%, ${rgb(L.kAreas[0][1])} 50%)`}, 'Kept area 1, in two shades for neighbouring segments'],
      [{fill: `linear-gradient(90deg, ${rgb(L.kAreas[1][0])} 50%, ${rgb(L.kAreas[1][1])} 50%)`}, 'Kept area 2'],
      [{fill: `linear-gradient(90deg, ${rgb(L.kAreas[2][0])} 50%, ${rgb(L.kAreas[2][1])} 50%)`}, 'Kept area 3'],
      [{fill: stripes}, 'Kept area 4, striped: in the waypoint map, but the info map has no number for it'],
      [{fill: rgb(L.kErased)}, 'Erased area: a segment keeps only its four largest areas; no waypoint, not in the info map'],
      [{fill: rgb(L.kBlocked)}, 'Blocked cell'],
      [{fill: L.kOutside, border: '#dce2ec'}, 'Outside the map, past its edge'],
      [{fill: '#ffffff', dot: true}, 'Waypoint of a kept area'],
      [{line: '#ffffff'}, 'Link between kept areas of neighbouring segments'],
      [{ring: L.kMarks.split}, 'Split: a part of ground that the waypoint graph holds in several parts'],
      [{ring: L.kMarks.lost}, 'Unreachable place: ground without any kept area'],
      [{ring: L.kMarks.chosen}, 'The problem chosen, or the cell gone to'],
      [{fill: `linear-gradient(90deg, ${rgb(L.partColour(0))} 33%, ${rgb(L.partColour(1))} 33% 66%, ${rgb(L.partColour(2))} 66%)`}, 'A split looked at: each part in a colour of its own'],
      [{fill: L.kMarks.joining, ring: L.kMarks.joining}, 'Erased areas that join a split\'s parts'],
      [{fill: L.kMarks.fixBlock}, 'Cells to block that mend the split chosen'],
      [{fill: L.kMarks.fixOpen}, 'Cells to open that mend the split chosen'],
      [{fill: rgb(L.dimmed(L.kAreas[0][0]))}, 'Ground not joined to the ground looked at, dimmed'],
      [{line: L.kMarks.path}, 'Path found'],
      [{line: L.kMarks.corners, dashed: true}, 'Path smoothed: straight lines between its corners'],
      [{fill: `linear-gradient(90deg, ${L.kHeat.map(rgb).join(', ')})`}, 'Field: steps to the goal, hot beside it to cool at the farthest cell in view; blocked cells and those not joined to it uncoloured'],
      [{line: '#000000'}, 'Field, zoomed in: each cell\'s next step toward the goal (an arrow)'],
      [{ring: L.kMarks.goal}, 'Field goal'],
      [{fill: L.kMarks.start, dot: true}, 'Path start'],
      [{fill: L.kMarks.goal, dot: true}, 'Path goal'],
    ];
  }

  function swatch({fill, border, dot, ring, line, dashed}) {
    const mark = document.createElement('span');
    mark.className = 'swatch';
    if (fill) mark.style.background = fill;
    if (border) mark.style.borderColor = border;
    if (dot || (ring && !fill)) mark.style.borderRadius = '50%';
    if (ring && !fill) mark.style.border = `2px solid ${ring}`;
    if (line) {
      mark.style.border = 'none';
      mark.style.height = '0';
      mark.style.borderTop = `2px ${dashed ? 'dashed' : 'solid'} ${line}`;
      mark.style.verticalAlign = '3px';
    }
    return mark;
  }

  function attach() {
    const list = $('legend-items');
    for (const [how, what] of entries()) {
      const item = document.createElement('li');
      item.append(swatch(how), what);
      list.append(item);
    }
  }

  // Opens or closes the legend, and brings it into sight with the keyboard's focus on it.
  function toggle() {
    const legend = $('legend');
    legend.open = !legend.open;
    if (legend.open) {
      legend.scrollIntoView({block: 'nearest'});
      legend.querySelector('summary').focus();
    }
  }

  return {attach, toggle};
})();
