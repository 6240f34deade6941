// The map the worker holds: the library's handle, its name and size, opened from bytes (with
// what is said of the info and waypoint maps dropped beside it) or made anew, and its three files
// written out. A map opened may be held apart until the page takes it, so that a file that does
// not open never costs the map open, and the page asks about unsaved edits only for one that
// does. The other parts ask here for the handle, so that a request without a map fails alike
// wherever it comes from.
'use strict';

const WorkerMap = (() => {
  const {failure, checked, withBuffer, withString, copyOut} = WorkerLibrary;
  const kFileLevel0 = 0, kFileInfo = 1, kFileWaypoint = 2;

  let map = 0;  // the varnholt_map*, 0 before the first map
  let mapName = 'New1Level0Map.raw';
  let cellsPerSide = 0;
  let held = null;  // {handle, name}: a map opened, not yet taken
  let serial = 0;   // maps shown so far: an edit names the map it was meant for

  function handle() {
    if (map === 0) throw new Error('No map is open');
    return map;
  }

  function side() {
    return cellsPerSide;
  }

  function segmentsPerSide() {
    return cellsPerSide / 64;
  }

  // What must let go of the map before it is closed (a field), told here.
  const closing = [];
  function whenClosing(release) {
    closing.push(release);
  }

  function replace(next, name) {
    const core = WorkerLibrary.core;
    closing.forEach((release) => release());
    if (map !== 0) core._varnholt_close(map);
    map = next;
    mapName = name;
    cellsPerSide = core._varnholt_cells_per_side(map);
    ++serial;
    return {...describe(map, mapName), serial};
  }

  function currentSerial() {
    return serial;
  }

  function describe(handle, name) {
    const core = WorkerLibrary.core;
    return {name, cellsPerSide: core._varnholt_cells_per_side(handle), segmentsPerSide: core._varnholt_segments_per_side(handle)};
  }

  // The regions of segment (i, j) read into the buffer at Pointer (8192 bytes): a view of them,
  // valid until the next call into the library, and how many there are.
  function regionsAt(i, j, pointer) {
    const count = checked(WorkerLibrary.core._varnholt_segment_regions(handle(), i, j, pointer));
    return {labels: new Uint16Array(WorkerLibrary.core.HEAPU8.buffer, pointer, 4096), count};
  }

  // The file name of one of the three files of a map named Name, as the converter names it.
  function filePath(name, kind) {
    const core = WorkerLibrary.core;
    return withString(name, (path) => {
      const length = checked(core._varnholt_file_path(path, kind, 0, 0n));
      return withBuffer(length + 1, null, (out) => {
        checked(core._varnholt_file_path(path, kind, out, BigInt(length + 1)));
        return core.UTF8ToString(out);
      });
    });
  }

  // Opens a map from Bytes, with what is said of the files dropped beside it (Extras); Hold keeps
  // it apart, the map open still the one shown, until take() or drop().
  function open({bytes, name, extras, hold}) {
    const next = withBuffer(bytes.length, bytes, (pointer) => WorkerLibrary.core._varnholt_analyse_memory(pointer, bytes.length));
    if (next === 0) throw failure();
    return adopt(next, name || mapName, (extras || []).map((extra) => comparePair(next, name || mapName, extra)), hold);
  }

  // A map made elsewhere (an import) becomes the one open, or is held as open() holds one.
  function adopt(next, name, notes, hold) {
    const opened = {...describe(next, name), notes};
    drop();
    if (hold) {
      held = {handle: next, name};
      return opened;
    }
    return {...replace(next, name), notes};
  }

  // The map held becomes the one open.
  function take() {
    if (!held) throw new Error('No map is waiting to be taken');
    const {handle: next, name} = held;
    held = null;
    return replace(next, name);
  }

  function drop() {
    if (held) WorkerLibrary.core._varnholt_close(held.handle);
    held = null;
    return {};
  }

  // Whether a file dropped beside the map Handle, named Name, is the info or waypoint map the
  // converter makes of it.
  function comparePair(handle, name, extra) {
    const kinds = [[kFileInfo, 'info map'], [kFileWaypoint, 'waypoint map']];
    const found = kinds.find(([kind]) => filePath(name, kind) === extra.name);
    if (!found) {
      return `${extra.name} is neither ${filePath(name, kFileInfo)} nor ${filePath(name, kFileWaypoint)}, the names of this map's pair`;
    }
    const [kind, what] = found;
    const core = WorkerLibrary.core;
    const result = withBuffer(extra.bytes.length, extra.bytes, (data) => withBuffer(256, null, (text) => {
      const length = Number(core._varnholt_compare_memory(handle, kind, data, extra.bytes.length, text, 256n));
      return length < 0 ? failure().message : length === 0 ? '' : core.UTF8ToString(text);
    }));
    return result === ''
      ? `${extra.name} is the ${what} the converter makes of this map`
      : `${extra.name} is not the ${what} the converter makes of this map: ${result}`;
  }

  function create({cellsPerSide: cells, blocked, name}) {
    const next = WorkerLibrary.core._varnholt_create(cells, blocked ? 1 : 0);
    if (next === 0) throw failure();
    drop();
    return replace(next, name || 'New1Level0Map.raw');
  }

  // The three files as the map now stands, named after Name where given. Taking the files renames
  // nothing: a save does, once they are written (rename()).
  function files({name}) {
    handle();
    const stem = name || mapName;
    const core = WorkerLibrary.core;
    const bytesOf = (kind) => {
      const size = checked(core._varnholt_write_memory(map, kind, 0, 0n));
      return withBuffer(size, null, (pointer) => {
        checked(core._varnholt_write_memory(map, kind, pointer, BigInt(size)));
        return copyOut(pointer, size);
      });
    };
    const level0 = bytesOf(kFileLevel0), info = bytesOf(kFileInfo), waypoint = bytesOf(kFileWaypoint);
    return {
      level0, info, waypoint,
      names: {level0: stem, info: filePath(stem, kFileInfo), waypoint: filePath(stem, kFileWaypoint)},
      transfer: [level0.buffer, info.buffer, waypoint.buffer],
    };
  }

  function rename({name}) {
    handle();
    mapName = name;
    return {name};
  }

  return {handle, side, segmentsPerSide, currentSerial, regionsAt, whenClosing, open, adopt, take, drop, create, files, rename};
})();
