// The survey of the map shown: what the converter keeps, its splits and every unreachable place,
// as the worker's library counts them. Any edit sent makes the survey shown stale at once, and the
// panels say so; it is asked for again as soon as the edits are in and no stroke is under way,
// and an answer that edits have overtaken is taken as stale and asked for again. So the panels
// never pass off the map as it was for the map as it is.
'use strict';

const StudioSurvey = (() => {
  let survey = null;
  let version = 0;    // edits sent to the map shown
  let surveyed = -1;  // the version the survey held is of
  let asking = false;
  let strokes = 0;    // strokes under way, whose end the survey waits for
  let editing = () => false;
  const listeners = [];

  // Editing() tells whether edits are out; Listener(survey, stale) hears of every change.
  function attach(editsOut) {
    editing = editsOut;
  }

  function listen(listener) {
    listeners.push(listener);
  }

  function announce() {
    listeners.forEach((listener) => listener(survey, isStale()));
  }

  // A new map: nothing surveyed yet, and asked for at once.
  function clear() {
    survey = null;
    version = 0;
    surveyed = -1;
    strokes = 0;
    announce();
    want();
  }

  // An edit sent: what is shown is of the map before it.
  function edited() {
    const wasStale = isStale();
    ++version;
    if (!wasStale) announce();
  }

  // A stroke begun or ended: no survey between its dabs.
  function stroke(begun) {
    strokes = Math.max(0, strokes + (begun ? 1 : -1));
    want();
  }

  // Asks for the survey where the one held is stale and nothing stands in the way.
  function want() {
    if (asking || strokes > 0 || editing() || !StudioMap.current() || surveyed === version) return;
    const asked = version, generation = StudioMap.currentGeneration();
    asking = true;
    StudioRequests.ask('survey').then((found) => {
      if (generation !== StudioMap.currentGeneration()) return;
      survey = found;
      surveyed = asked;
      announce();
      StudioView.redraw();
    }).catch((error) => {
      // Asked again, it would fail again: nothing is shown until the next edit.
      survey = null;
      surveyed = asked;
      announce();
      StudioStatus.showError(`Surveying the map: ${error.message}`);
    }).finally(() => {
      asking = false;
      want();
    });
  }

  function current() {
    return survey;
  }

  function isStale() {
    return Boolean(StudioMap.current()) && surveyed !== version;
  }

  // Whether the survey held is of the map as it is, and none is being asked for.
  function settled() {
    return !asking && !isStale();
  }

  return {attach, listen, clear, edited, stroke, want, current, isStale, settled};
})();
