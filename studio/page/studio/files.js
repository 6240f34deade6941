// Opening, making and saving maps: files from the picker or dropped on the stage (a level-0 map,
// or a Moving AI map, PNG picture or Tiled JSON map that the worker imports), a new map, the
// three files saved to a folder or downloaded; the questions before unsaved edits are lost; and
// the fresh start every part makes on a new map. A file is analysed before anything is asked:
// one that does not open says plainly why and leaves the map open as it was, unasked.
'use strict';

const StudioFiles = (() => {
  const W = VarnholtWords;
  const $ = (id) => document.getElementById(id);
  const kHeadBytes = 512;  // read to tell what a file that did not open is

  function attach() {
    $('open-file').addEventListener('change', (event) => {
      openFiles(event.target.files);
      event.target.value = '';
    });
    $('open').addEventListener('click', pick);
    $('save').addEventListener('click', save);
    attachDrop($('stage'));
    window.addEventListener('beforeunload', (event) => {
      if (!StudioMap.isDirty()) return;
      event.preventDefault();
      event.returnValue = '';
    });
  }

  // A drag over the stage shows over everything on it; the count of enters and leaves follows
  // the drag across the canvases and marks inside the stage.
  function attachDrop(stage) {
    let depth = 0;
    const showing = (on) => { $('drop-zone').hidden = !on; };
    stage.addEventListener('dragenter', (event) => {
      event.preventDefault();
      ++depth;
      showing(true);
    });
    stage.addEventListener('dragover', (event) => {
      event.preventDefault();
      showing(true);
    });
    stage.addEventListener('dragleave', () => {
      depth = Math.max(0, depth - 1);
      if (depth === 0) showing(false);
    });
    stage.addEventListener('drop', (event) => {
      event.preventDefault();
      depth = 0;
      showing(false);
      openFiles(event.dataTransfer.files);
    });
  }

  function pick() {
    $('open-file').click();
  }

  // A map opened or made: every part starts afresh on it.
  function afterMapChange(map, notes = []) {
    StudioMap.show(map, notes);
    StudioPaths.clear();
    StudioField.clear();
    StudioNavigation.clear();
    StudioProblems.clear();
    StudioGround.clear();
    StudioHover.leave();
    StudioTiles.forgetAll();
    StudioView.fit();
    StudioEdits.forgetHistory();
    StudioSurvey.clear();
    StudioMinimap.clear();
    return map;
  }

  const described = (map) => ({name: map.name, cellsPerSide: map.cellsPerSide, segmentsPerSide: map.segmentsPerSide, serial: map.serial});

  // Opens a map from Bytes at once, as the automation interface does.
  function openBytes(bytes, name, extras) {
    StudioStatus.showError('');
    const transfer = [bytes.buffer, ...extras.map((extra) => extra.bytes.buffer)];
    return StudioRequests.ask('open', {bytes, name, extras}, transfer).then((map) => afterMapChange(described(map), map.notes));
  }

  // Files from the picker or a drop: the level-0 map, and maybe its info and waypoint maps. The
  // map is analysed and held apart; only then, if the map shown has unsaved edits, is the user
  // asked whether to lose them.
  async function openFiles(list) {
    const files = Array.from(list);
    if (files.length === 0) return;
    const level0 = files[VarnholtSources.mainFile(files.map((file) => file.name))];
    const read = async (file) => ({name: file.name, bytes: new Uint8Array(await file.arrayBuffer())});
    let head = new Uint8Array(0);
    try {
      const main = await read(level0);
      head = main.bytes.slice(0, kHeadBytes);
      const extras = await Promise.all(files.filter((file) => file !== level0).map(read));
      StudioStatus.showError('');
      StudioStatus.showNote(`Opening ${main.name}...`);
      const transfer = [main.bytes.buffer, ...extras.map((extra) => extra.bytes.buffer)];
      const map = await StudioRequests.ask('open', {bytes: main.bytes, name: main.name, extras, hold: true}, transfer);
      if (StudioMap.isDirty() && !confirm('The map has unsaved edits. Open another and lose them?')) {
        await StudioRequests.ask('drop');
        StudioStatus.showNote('');
        return;
      }
      afterMapChange(described(await StudioRequests.ask('take')), map.notes);
      // An import is no level-0 file yet: leaving before it is saved asks first.
      if (map.imported) StudioMap.setDirty(true);
      StudioStatus.showNote(map.imported ? `Opened ${main.name} as ${map.name}` : `Opened ${main.name}`);
    } catch (error) {
      StudioStatus.showNote('');
      // A source of another tool's is worded where it was read, naming what is wrong with it.
      const imported = VarnholtSources.kindOf(head, level0.name) !== 'level0';
      StudioStatus.showError(imported ? error.message : W.fileProblem(level0.name, head, level0.size, error.message));
    }
  }

  function createMap(cellsPerSide, blocked) {
    StudioStatus.showError('');
    return StudioRequests.ask('create', {cellsPerSide, blocked}).then((map) => {
      afterMapChange(map);
      StudioStatus.showNote(`New map of ${cellsPerSide} x ${cellsPerSide} cells, all ${blocked ? 'blocked' : 'open'}`);
      return map;
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

  // Saves the map under the name typed; says why not where there is no map, or the name cannot be
  // a file's (the browser would write it under another name than the one told).
  async function save() {
    const map = StudioMap.current();
    if (!map) {
      StudioStatus.showError('Nothing to save: open a map or make a new one first');
      return;
    }
    const problem = StudioMap.nameProblem();
    if (problem) {
      StudioStatus.showError(`Not saved: ${problem}`);
      return;
    }
    try {
      const name = StudioMap.typedName();
      const result = await StudioRequests.ask('files', {name});
      const files = [[result.names.level0, result.level0], [result.names.info, result.info], [result.names.waypoint, result.waypoint]];
      if (window.showDirectoryPicker) {
        if (!await writeToFolder(files)) return;
      } else {
        download(files);
      }
      await StudioRequests.ask('rename', {name: result.names.level0});
      StudioMap.rename(result.names.level0);
      StudioMap.setDirty(false);
      StudioStatus.showError('');
      StudioStatus.showNote(`Saved ${files.map(([fileName]) => fileName).join(', ')}`);
    } catch (error) {
      StudioStatus.showError(`Saving: ${error.message}`);
    }
  }

  return {attach, pick, openBytes, createMap, save};
})();
