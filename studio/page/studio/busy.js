// The sign that the studio is working: any work out for more than 100 ms shows in the footer as a
// spinner with what is being done and for how long, the oldest first, until the last is done. So
// a long analysis or a stroke's backlog on a large map is never mistaken for a page that stopped.
'use strict';

const StudioBusy = (() => {
  const $ = (id) => document.getElementById(id);
  const kShownAfter = 100;  // milliseconds
  const jobs = new Map();   // token → {label, since}
  let nextToken = 1;
  let timer = 0;

  // Work begun, told as Label: a token for done().
  function begin(label) {
    const token = nextToken++;
    jobs.set(token, {label, since: performance.now()});
    if (!timer) timer = setTimeout(show, kShownAfter);
    return token;
  }

  function done(token) {
    jobs.delete(token);
    if (jobs.size === 0) show();
  }

  // The oldest work out, once out long enough, with its time; the next look a little later.
  function show() {
    clearTimeout(timer);
    timer = 0;
    const now = performance.now();
    const oldest = [...jobs.values()].reduce((first, job) => (!first || job.since < first.since ? job : first), null);
    const shown = oldest && now - oldest.since >= kShownAfter;
    $('busy').hidden = !shown;
    if (shown) $('busy-text').textContent = `${oldest.label}… ${((now - oldest.since) / 1000).toFixed(1)} s`;
    if (oldest) timer = setTimeout(show, shown ? 200 : kShownAfter - (now - oldest.since));
  }

  // Whether the sign shows, for the tests and benchmarks that measure when it does.
  function showing() {
    return !$('busy').hidden;
  }

  return {begin, done, showing};
})();
