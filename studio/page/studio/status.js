// The lines where the page speaks for itself: the error under the header and the note in the
// footer. Every other part reports through these two functions, so none of them writes another's
// elements to do it.
'use strict';

const StudioStatus = (() => {
  const $ = (id) => document.getElementById(id);

  function showError(text) {
    $('error').textContent = text;
    $('error').hidden = !text;
  }

  function showNote(text) {
    $('note').textContent = text;
  }

  return {showError, showNote};
})();
