// What mends the split chosen among the problems: the fewest cells to block and the fewest to
// open, as the library finds them, drawn over the map and each with an Apply button. A fix is
// asked for again with every survey of the map as it is, and Apply is refused while the survey
// is behind the map, so that no fix found for an earlier map is applied to this one. Applied, it
// is an edit like any other: one stroke, that undo takes back.
'use strict';

const StudioFixes = (() => {
  const W = VarnholtWords;
  const $ = (id) => document.getElementById(id);
  let fix = null;      // {index, block, open}: row, column pairs, of the map surveyed
  let stale = false;   // the map is ahead of the survey the fix was found from
  let asking = 0;

  function attach() {
    // The swatches in the very colours the marks draw the cells in.
    $('fix-block-swatch').style.background = VarnholtLogic.kMarks.fixBlock;
    $('fix-open-swatch').style.background = VarnholtLogic.kMarks.fixOpen;
    $('fix-block-apply').addEventListener('click', () => apply(true));
    $('fix-open-apply').addEventListener('click', () => apply(false));
    $('fix-block-text').addEventListener('click', () => goTo(true));
    $('fix-open-text').addEventListener('click', () => goTo(false));
    StudioSurvey.listen((survey, isStale) => {
      stale = isStale;
      if (!isStale) find();
      describe();
    });
  }

  // The split chosen, or another chosen: its fix found for the map as it is.
  function refresh() {
    if (!StudioSurvey.isStale()) find();
    describe();
  }

  function find() {
    // Until the answer, no fix is shown: the last was found for the map before.
    fix = null;
    const index = StudioProblems.chosenSplit();
    if (index < 0 || !StudioSurvey.current()) return;
    const generation = StudioMap.currentGeneration(), survey = StudioSurvey.current();
    ++asking;
    StudioRequests.ask('splitFixes', {index}).then((found) => {
      if (generation !== StudioMap.currentGeneration() || survey !== StudioSurvey.current() || index !== StudioProblems.chosenSplit()) return;
      fix = found;
    }).catch((error) => {
      fix = null;
      StudioStatus.showError(`Finding what mends split ${index + 1}: ${error.message}`);
    }).finally(() => {
      --asking;
      describe();
      StudioView.redraw();
    });
  }

  function apply(blocked) {
    if (!fix || stale || asking > 0) return;
    const cells = Int32Array.from(blocked ? fix.block : fix.open);
    if (cells.length === 0) return;
    const index = fix.index;
    StudioEdits.applyFix(cells, blocked).then(() => {
      StudioStatus.showNote(`${blocked ? 'Blocked' : 'Opened'} ${W.plural(cells.length / 2, 'cell')} to mend split ${index + 1}`);
    }).catch((error) => StudioStatus.showError(error.message));
  }

  // The first cell of a fix flown to, near enough to see the cell: a fix often lies far from the
  // first part's waypoint, where choosing the split takes the view.
  function goTo(blocked) {
    const cells = fix && (blocked ? fix.block : fix.open);
    if (cells && cells.length > 0) StudioNavigation.flyTo([cells[0], cells[1]], 0.1);
  }

  function kindText(cells, blocked) {
    const count = cells.length / 2;
    if (count === 0) return blocked ? 'No erased cells to block that part the parts' : 'No blocked cells to open that join the parts';
    return blocked ? `Block ${W.plural(count, 'erased cell')}, the parts then apart, as the waypoints say`
      : `Open ${W.plural(count, 'blocked cell')}, the parts then joined by kept areas`;
  }

  function describe() {
    const index = StudioProblems.chosenSplit();
    $('split-fix').hidden = index < 0;
    if (index < 0) return;
    $('fix-title').textContent = `Mend split ${W.count(index + 1)}`;
    $('fix-state').textContent = asking > 0 ? 'finding…' : stale ? 'updating…' : '';
    const ready = Boolean(fix) && !stale && asking === 0;
    for (const [blocked, id] of [[true, 'fix-block'], [false, 'fix-open']]) {
      const cells = fix ? (blocked ? fix.block : fix.open) : null;
      $(`${id}-text`).textContent = cells ? kindText(cells, blocked) : 'Finding…';
      $(`${id}-text`).disabled = !cells || cells.length === 0;
      $(`${id}-apply`).disabled = !ready || cells.length === 0;
    }
  }

  function scene() {
    return {fix: fix && !stale ? fix : null};
  }

  function settled() {
    return asking === 0;
  }

  // What the automation interface tells of the fix shown: its split, its cells as [row, column].
  function shown() {
    if (!fix) return null;
    const pairs = (cells) => Array.from({length: cells.length / 2}, (_, k) => [cells[2 * k], cells[2 * k + 1]]);
    return {index: fix.index, block: pairs(fix.block), open: pairs(fix.open), stale};
  }

  return {attach, refresh, scene, settled, shown};
})();
