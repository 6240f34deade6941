// The ground looked at: all the open cells joined to a cell clicked with Inspect or a problem
// chosen. The worker finds it, paints it standing out on the map (a split's parts each in a
// colour, the erased areas joining them marked) and finds it again with every edit; this panel
// tells what it is and lists its parts and joining areas to fly to.
'use strict';

const StudioGround = (() => {
  const L = VarnholtLogic, W = VarnholtWords;
  const $ = (id) => document.getElementById(id);
  let looked = null;   // {row, column}
  let summary = null;  // what the worker said of it
  let asking = 0;
  let behind = false;  // edits sent since the ground shown was found
  let partList = null, joiningList = null;

  function attach() {
    partList = StudioLists.paged({
      list: $('ground-parts'), pager: $('ground-parts-pager'), swatch: (k) => L.partColour(k),
      text: (k) => `${W.plural(summary.parts[k].areas, 'area')}, ${W.plural(summary.parts[k].cells, 'cell')}, waypoint (${summary.parts[k].cell.join(', ')})`,
      pick: (k) => StudioNavigation.flyTo(summary.parts[k].cell),
    });
    joiningList = StudioLists.paged({
      list: $('ground-joining'), pager: $('ground-joining-pager'),
      text: (k) => {
        const group = summary.joining[k];
        return `(${group.cell.join(', ')}): ${W.plural(group.areas, 'area')}, ${W.plural(group.cells, 'cell')}, joining parts ${W.listed(group.parts.map((p) => String(p + 1)))}`;
      },
      pick: (k) => StudioNavigation.flyTo(summary.joining[k].cell),
    });
    $('ground-clear').addEventListener('click', forget);
  }

  // Looks at the ground of Cell ({row, column}); every tile is painted anew for it.
  function look(cell) {
    if (!StudioMap.inside(cell)) return Promise.resolve(null);
    looked = cell;
    behind = false;
    const generation = StudioMap.currentGeneration();
    ++asking;
    describe();
    const answer = StudioRequests.ask('look', cell).then((result) => {
      if (generation !== StudioMap.currentGeneration() || looked !== cell) return null;
      summary = result.summary;
      describe();
      return summary;
    }).catch((error) => {
      StudioStatus.showError(error.message);
      return null;
    }).finally(() => {
      --asking;
      describe();
    });
    StudioTiles.repaintAll();
    StudioMinimap.refresh();
    return answer;
  }

  function forget() {
    if (!looked) return;
    looked = null;
    summary = null;
    behind = false;
    StudioRequests.ask('forgetLook').catch((error) => StudioStatus.showError(error.message));
    StudioTiles.repaintAll();
    StudioMinimap.refresh();
    describe();
  }

  // An edit sent (Answer null): what is shown is of the map before it, until an edit's answer
  // brings the ground as the edits left it, or says it left it as it was; within a stroke the
  // worker owes it until the stroke ends.
  function edited(answer) {
    if (!looked) return;
    if (answer && answer.inspection) summary = answer.inspection;
    behind = !answer || Boolean(answer.lookOwed);
    describe();
  }

  // A new map: nothing looked at (the worker forgot it with the map).
  function clear() {
    looked = null;
    summary = null;
    behind = false;
    describe();
  }

  function factsText() {
    const where = `(${summary.cell.join(', ')})`;
    if (summary.kind === 'blocked') return `${where} is blocked: click open ground to see all that is joined to it.`;
    if (summary.kind !== 'open') return `${where} is off the map.`;
    const {top, bottom, left, right} = summary.segments;
    const size = `The ground of ${where}: ${W.plural(summary.cells, 'cell')}, over segments ${top} to ${bottom} down and ${left} to ${right} across.`;
    const parts = summary.parts.length;
    const kept = summary.keptAreas === 0 ? 'No kept area: no waypoint reaches it, units that follow the waypoints cannot get here.'
      : parts === 1 ? `${W.plural(summary.keptAreas, 'kept area')}, all in one part of the waypoint graph.`
      : `${W.plural(summary.keptAreas, 'kept area')} in ${parts} parts of the waypoint graph: a split, the parts joined only through erased areas.`;
    const erased = summary.erasedAreas === 0 ? 'No erased area.'
      : `${W.plural(summary.erasedAreas, 'erased area')}, ${W.plural(summary.erasedCellCount, 'cell')}` +
        (parts > 1 ? `; ${W.plural(summary.joining.length, 'group')} of them join parts.` : '.');
    return `${size}\n${kept}\n${erased}`;
  }

  function describe() {
    $('ground').hidden = !looked;
    $('ground-state').textContent = asking > 0 ? 'finding…' : behind ? 'updating…' : '';
    if (!summary) {
      $('ground-facts').textContent = looked ? `Finding the ground of (${looked.row}, ${looked.column})…` : '';
      partList.show(0);
      joiningList.show(0);
      return;
    }
    $('ground-facts').textContent = factsText();
    const several = summary.kind === 'open' && summary.parts.length > 1;
    for (const id of ['ground-parts-title', 'ground-joining-title']) $(id).hidden = !several;
    $('ground-parts-title').textContent = `Parts: ${several ? W.count(summary.parts.length) : 0}`;
    $('ground-joining-title').textContent = `Erased areas joining parts: ${several ? W.count(summary.joining.length) : 0}`;
    partList.show(several ? summary.parts.length : 0);
    joiningList.show(several ? summary.joining.length : 0);
  }

  function scene() {
    return {ground: summary};
  }

  function settled() {
    return asking === 0 && !behind;
  }

  // What the automation interface tells of the ground looked at.
  function highlighted() {
    if (!looked) return null;
    if (!summary) return {cell: [looked.row, looked.column], kind: 'pending'};
    const erased = [];
    if (summary.erased) for (let k = 0; k < summary.erased.length; k += 2) erased.push([summary.erased[k], summary.erased[k + 1]]);
    return {...summary, erased};
  }

  return {attach, look, forget, edited, clear, scene, settled, highlighted};
})();
