// The problems the survey finds, every one of them: the splits (ground the waypoint graph holds in
// several parts) and the unreachable places (ground without a kept area), listed a page at a time
// and stepped through one by one with Next and Previous, "N of M" telling where. A problem chosen
// is flown to and its ground looked at. All of it is drawn from the survey of the map as it is,
// and says "updating" while the map is ahead of it.
'use strict';

const StudioProblems = (() => {
  const W = VarnholtWords;
  const $ = (id) => document.getElementById(id);
  let survey = null, stale = false;
  let chosen = -1;  // the problem chosen: splits first, then unreachable places
  let splitList = null, lostList = null;

  function attach() {
    splitList = StudioLists.paged({list: $('splits'), pager: $('splits-pager'), text: splitText, pick: (k) => choose(k)});
    lostList = StudioLists.paged({list: $('lost'), pager: $('lost-pager'), text: lostText, pick: (k) => choose(splitCount() + k)});
    $('problem-next').addEventListener('click', () => step(1));
    $('problem-previous').addEventListener('click', () => step(-1));
    StudioSurvey.listen(surveyed);
  }

  const splitCount = () => (survey ? survey.splits.length : 0);
  const total = () => (survey ? survey.splits.length + survey.lost.length / 2 : 0);

  function splitText(k) {
    const split = survey.splits[k];
    return `${W.count(split.parts)} parts, joined only through erased areas, from (${split.partCells[0].join(', ')})`;
  }

  function lostText(k) {
    return `no kept area, at (${survey.lost[2 * k]}, ${survey.lost[2 * k + 1]})`;
  }

  // Problem K: its kind, and the cell it is flown to and looked at from.
  function problem(k) {
    if (k < splitCount()) return {kind: 'split', cell: survey.splits[k].partCells[0]};
    const n = k - splitCount();
    return {kind: 'lost', cell: [survey.lost[2 * n], survey.lost[2 * n + 1]]};
  }

  // A survey came, or the one held went stale.
  function surveyed(found, isStale) {
    stale = isStale;
    if (found !== survey) {
      survey = found;
      if (chosen >= total()) chosen = -1;
      splitList.show(splitCount());
      lostList.show(survey ? survey.lost.length / 2 : 0);
      mark();
    }
    describe();
  }

  function describe() {
    $('problems-state').textContent = stale ? 'updating…' : '';
    $('problems').classList.toggle('stale', stale);
    const none = !survey;
    $('splits-title').textContent = none ? 'Splits' : `Splits: ${W.count(survey.splitComponents)}`;
    $('lost-title').textContent = none ? 'Unreachable places' : `Unreachable places: ${W.count(survey.lostComponents)}, ${W.plural(survey.lostCells, 'cell')}`;
    $('survey-facts').textContent = none ? '' : `${W.count(survey.areasKept)} areas kept of ${W.count(survey.areasFound)}, ` +
      `${W.plural(survey.erasedCells, 'cell')} in erased areas; the open ground in ${W.plural(survey.gridComponents, 'piece')}, ` +
      `the waypoint graph in ${W.plural(survey.graphComponents, 'piece')}; ${W.count(survey.downLinks)} links down and ${W.count(survey.rightLinks)} to the right`;
    $('problem-position').textContent = total() === 0 ? (none ? '' : 'no problems') : `${chosen < 0 ? '–' : W.count(chosen + 1)} of ${W.count(total())}`;
    $('problem-next').disabled = $('problem-previous').disabled = total() === 0;
  }

  function mark() {
    splitList.choose(chosen < splitCount() ? chosen : -1);
    lostList.choose(chosen >= splitCount() ? chosen - splitCount() : -1);
  }

  // Problem K chosen: flown to, its ground looked at, its entry shown on its page.
  function choose(k) {
    if (k < 0 || k >= total()) return;
    chosen = k;
    const {cell} = problem(k);
    StudioNavigation.flyTo(cell);
    StudioGround.look({row: cell[0], column: cell[1]});
    mark();
    describe();
    StudioFixes.refresh();
  }

  // The next problem (By 1) or the one before (-1), round from the last to the first.
  function step(by) {
    const count = total();
    if (count === 0) return;
    choose(chosen < 0 ? (by > 0 ? 0 : count - 1) : (chosen + by + count) % count);
  }

  // A new map: nothing chosen.
  function clear() {
    chosen = -1;
    StudioFixes.refresh();
  }

  // The split chosen, by its number in the survey's order, or -1 where none is.
  function chosenSplit() {
    return chosen >= 0 && chosen < splitCount() ? chosen : -1;
  }

  // What the automation interface tells of the problems listed: the survey's counts, every split
  // and unreachable place, and the one chosen.
  function listed() {
    if (!survey) return null;
    const lost = [];
    for (let k = 0; k < survey.lost.length; k += 2) lost.push([survey.lost[k], survey.lost[k + 1]]);
    return {splitComponents: survey.splitComponents, lostComponents: survey.lostComponents, splits: survey.splits, lost,
      chosen: chosen < 0 ? null : {index: chosen, ...problem(chosen)}, position: $('problem-position').textContent, stale};
  }

  function scene() {
    return {survey};
  }

  return {attach, step, choose, clear, chosenSplit, listed, scene};
})();
