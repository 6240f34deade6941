// A new map, made in a dialog of its own (its size and what its cells are, Create or Cancel), so
// that the controls for a map not yet made never read as the size of the map shown. A map with
// unsaved edits asks first.
'use strict';

const StudioNewMap = (() => {
  const $ = (id) => document.getElementById(id);

  function attach() {
    const dialog = $('new-map-dialog');
    $('new-map').addEventListener('click', () => {
      dialog.returnValue = '';
      dialog.showModal();
    });
    dialog.addEventListener('close', () => {
      if (dialog.returnValue !== 'create') return;
      if (StudioMap.isDirty() && !confirm('The map has unsaved edits. Make a new one and lose them?')) return;
      StudioFiles.createMap(Number($('new-size').value), $('new-blocked').value === 'blocked').catch((error) => StudioStatus.showError(error.message));
    });
  }

  return {attach};
})();
