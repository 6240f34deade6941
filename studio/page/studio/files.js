// Opening, making and saving maps: files from the picker or dropped on the stage, a new map of the
// size chosen, the three files saved to a folder or downloaded; the questions before unsaved edits
// are lost; and the fresh start every part makes on a new map.
'use strict';

const StudioFiles = (() => {
  const $ = (id) => document.getElementById(id);

  function attach() {
    $('open-file').addEventListener('change', (event) => {
      openFiles(event.target.files);
      event.target.value = '';
    });
    $('open').addEventListener('click', pick);
    $('create').addEventListener('click', () => {
      if (StudioMap.isDirty() && !confirm('The map has unsaved edits. Make a new one and lose them?')) return;
      createMap(Number($('new-size').value), $('new-blocked').value === 'blocked').catch((error) => StudioStatus.showError(error.message));
    });
    $('save').addEventListener('click', save);
    attachDrop($('stage'));
    window.addEventListener('beforeunload', (event) => {
      if (!StudioMap.isDirty()) return;
      event.preventDefault();
      event.returnValue = '';
    });
  }

  function attachDrop(stage) {
    stage.addEventListener('dragover', (event) => {
      event.preventDefault();
      stage.classList.add('dropping');
    });
    stage.addEventListener('dragleave', () => stage.classList.remove('dropping'));
    stage.addEventListener('drop', (event) => {
      event.preventDefault();
      stage.classList.remove('dropping');
      openFiles(event.dataTransfer.files);
    });
  }

  function pick() {
    $('open-file').click();
  }

  // A map opened or made: every part starts afresh on it.
  function afterMapChange(map) {
    StudioMap.show(map);
    StudioPaths.clear();
    StudioPanels.clear();
    StudioTiles.forgetAll();
    StudioView.fit();
    StudioMap.setDirty(false);
    StudioEdits.forgetHistory();
    StudioPanels.refreshSurvey();
    return map;
  }

  function openBytes(bytes, name, extras) {
    StudioStatus.showError('');
    const transfer = [bytes.buffer, ...extras.map((extra) => extra.bytes.buffer)];
    return StudioRequests.ask('open', {bytes, name, extras}, transfer).then((map) => {
      $('pair-notes').textContent = map.notes.join('\n');
      return afterMapChange({name: map.name, cellsPerSide: map.cellsPerSide, segmentsPerSide: map.segmentsPerSide});
    });
  }

  // Files from the picker or a drop: the level-0 map, and maybe its info and waypoint maps.
  async function openFiles(list) {
    const files = Array.from(list);
    if (files.length === 0) return;
    if (StudioMap.isDirty() && !confirm('The map has unsaved edits. Open another and lose them?')) return;
    const level0 = files.find((file) => /level0/i.test(file.name)) || files[0];
    const read = async (file) => ({name: file.name, bytes: new Uint8Array(await file.arrayBuffer())});
    try {
      const main = await read(level0);
      const extras = await Promise.all(files.filter((file) => file !== level0).map(read));
      StudioStatus.showNote(`Opening ${main.name}...`);
      await openBytes(main.bytes, main.name, extras);
      StudioStatus.showNote(`Opened ${main.name}`);
    } catch (error) {
      StudioStatus.showNote('');
      StudioStatus.showError(`${level0.name}: ${error.message}`);
    }
  }

  function createMap(cellsPerSide, blocked) {
    StudioStatus.showError('');
    return StudioRequests.ask('create', {cellsPerSide, blocked}).then((map) => {
      $('pair-notes').textContent = '';
      return afterMapChange(map);
    });
  }

  // Writes each [name, bytes] of Files into a folder the user picks; false when the pick is
  // cancelled.
  async function writeToFolder(files) {
    let folder;
    try {
      folder = await window.showDirectoryPicker({mode: 'readwrite'});
    } catch (error) {
      if (error.name === 'AbortError') return false;
      throw error;
    }
    for (const [fileName, bytes] of files) {
      const handle = await folder.getFileHandle(fileName, {create: true});
      const writable = await handle.createWritable();
      await writable.write(bytes);
      await writable.close();
    }
    return true;
  }

  // Where the browser offers no folder to write to, each file is downloaded.
  function download(files) {
    for (const [fileName, bytes] of files) {
      const link = document.createElement('a');
      link.href = URL.createObjectURL(new Blob([bytes], {type: 'application/octet-stream'}));
      link.download = fileName;
      link.click();
      setTimeout(() => URL.revokeObjectURL(link.href), 10000);
    }
  }

  async function save() {
    const map = StudioMap.current();
    if (!map) return;
    try {
      const name = StudioMap.typedName() || map.name;
      const result = await StudioRequests.ask('files', {name});
      const files = [[result.names.level0, result.level0], [result.names.info, result.info], [result.names.waypoint, result.waypoint]];
      if (window.showDirectoryPicker) {
        if (!await writeToFolder(files)) return;
      } else {
        download(files);
      }
      StudioMap.rename(result.names.level0);
      StudioMap.setDirty(false);
      StudioStatus.showNote(`Saved ${files.map(([fileName]) => fileName).join(', ')}`);
    } catch (error) {
      StudioStatus.showError(`Saving: ${error.message}`);
    }
  }

  return {attach, pick, openBytes, createMap, save};
})();
