// Exports for other tools: the map as it now stands as a Moving AI map (.map) or a picture of a
// pixel a cell (.png, white open, black blocked), the bytes varnholt-import --export map|png
// writes, made by the worker and downloaded under the map's name.
'use strict';

const StudioExports = (() => {
  const $ = (id) => document.getElementById(id);
  const kFormats = {map: {operation: 'exportMap', extension: '.map'}, png: {operation: 'exportPng', extension: '.png'}};

  function attach() {
    $('export-map').addEventListener('click', () => exportAs('map'));
    $('export-png').addEventListener('click', () => exportAs('png'));
  }

  // The file's name: the map's, its extension replaced.
  function fileName(extension) {
    const name = StudioMap.typedName() || StudioMap.current().name;
    return name.replace(/\.[^.]*$/, '') + extension;
  }

  async function exportAs(format) {
    if (!StudioMap.current()) {
      StudioStatus.showError('Nothing to export: open a map or make a new one first');
      return;
    }
    const {operation, extension} = kFormats[format];
    try {
      const {bytes} = await StudioRequests.ask(operation);
      const name = fileName(extension);
      const link = document.createElement('a');
      link.href = URL.createObjectURL(new Blob([bytes], {type: format === 'png' ? 'image/png' : 'text/plain'}));
      link.download = name;
      link.click();
      setTimeout(() => URL.revokeObjectURL(link.href), 10000);
      StudioStatus.showError('');
      StudioStatus.showNote(`Exported ${name}`);
    } catch (error) {
      StudioStatus.showError(`Exporting: ${error.message}`);
    }
  }

  return {attach};
})();
