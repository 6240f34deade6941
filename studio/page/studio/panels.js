// The side panels: the layers shown, and the survey of the map (what the converter keeps, its
// splits and unreachable places, listed to fly to). The survey is asked for again a little after
// edits stop, not after each one.
'use strict';

const StudioPanels = (() => {
  const $ = (id) => document.getElementById(id);
  const layers = {areas: true, area4: true, erased: true, waypoints: true, links: true, grid: true, marks: true};
  let survey = null;
  let marked = null;  // a cell flown to from a list
  let surveyTimer = 0;

  function attach() {
    for (const box of document.querySelectorAll('[data-layer]')) {
      box.addEventListener('change', () => {
        layers[box.dataset.layer] = box.checked;
        if (['areas', 'area4', 'erased'].includes(box.dataset.layer)) StudioTiles.layersChanged();
        StudioView.redraw();
      });
    }
  }

  function shownLayers() {
    return {...layers};
  }

  // A new map: no survey yet, and no cell flown to.
  function clear() {
    survey = null;
    marked = null;
  }

  function marks() {
    return {survey, marked};
  }

  function refreshSurvey(delay = 0) {
    clearTimeout(surveyTimer);
    surveyTimer = setTimeout(() => {
      StudioRequests.ask('survey', {splitCapacity: 50, lostCapacity: 50}).then((answer) => {
        survey = answer;
        listSurvey(answer);
        StudioView.redraw();
      }).catch((error) => StudioStatus.showError(error.message));
    }, delay);
  }

  // Items as buttons in a list, each flying to its cell.
  function fillList(list, items, text) {
    list.replaceChildren();
    for (const item of items) {
      const entry = document.createElement('li');
      const button = document.createElement('button');
      button.textContent = text(item);
      button.addEventListener('click', () => flyTo(item.cell));
      entry.append(button);
      list.append(entry);
    }
  }

  function listSurvey(found) {
    $('survey-facts').textContent = `${found.areasKept} areas kept of ${found.areasFound}; ${found.gridComponents} grid components, ${found.graphComponents} graph components; ${found.downLinks} down and ${found.rightLinks} right links`;
    $('splits-title').textContent = `Splits: ${found.splitComponents}`;
    fillList($('splits'), found.splits.map((split) => ({cell: split.partCells[0], split})),
      ({split}) => `${split.parts} parts, joined only through erased areas, at (${split.partCells[0].join(', ')})`);
    $('lost-title').textContent = `Unreachable: ${found.lostComponents} components, ${found.lostCells} cells`;
    fillList($('lost'), found.lost.map((cell) => ({cell})), ({cell}) => `no kept area at (${cell.join(', ')})`);
  }

  function flyTo(cell) {
    marked = cell;
    StudioView.centreOn(cell);
  }

  return {attach, shownLayers, clear, marks, refreshSurvey};
})();
