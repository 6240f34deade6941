// The map the worker holds: the library's handle, its name and size, opened from bytes (with
// what is said of the info and waypoint maps dropped beside it) or made anew, and its three files
// written out. The other parts ask here for the handle, so that a request without a map fails
// alike wherever it comes from.
'use strict';

const WorkerMap = (() => {
  const {failure, checked, withBuffer, withString, copyOut} = WorkerLibrary;
  const kFileLevel0 = 0, kFileInfo = 1, kFileWaypoint = 2;

  let map = 0;  // the varnholt_map*, 0 before the first map
  let mapName = 'New1Level0Map.raw';
  let cellsPerSide = 0;

  function handle() {
    if (map === 0) throw new Error('No map is open');
    return map;
  }

  function side() {
    return cellsPerSide;
  }

  function replace(next, name) {
    const core = WorkerLibrary.core;
    if (map !== 0) core._varnholt_close(map);
    map = next;
    mapName = name;
    cellsPerSide = core._varnholt_cells_per_side(map);
    return describe();
  }

  function describe() {
    return {name: mapName, cellsPerSide, segmentsPerSide: WorkerLibrary.core._varnholt_segments_per_side(map)};
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

  function open({bytes, name, extras}) {
    const next = withBuffer(bytes.length, bytes, (pointer) => WorkerLibrary.core._varnholt_analyse_memory(pointer, bytes.length));
    if (next === 0) throw failure();
    const opened = replace(next, name || mapName);
    opened.notes = (extras || []).map((extra) => comparePair(extra));
    return opened;
  }

  // Whether a file dropped beside the map is the info or waypoint map the converter makes of it.
  function comparePair(extra) {
    const kinds = [[kFileInfo, 'info map'], [kFileWaypoint, 'waypoint map']];
    const found = kinds.find(([kind]) => filePath(mapName, kind) === extra.name);
    if (!found) {
      return `${extra.name} is neither ${filePath(mapName, kFileInfo)} nor ${filePath(mapName, kFileWaypoint)}, the names of this map's pair`;
    }
    const [kind, what] = found;
    const core = WorkerLibrary.core;
    const result = withBuffer(extra.bytes.length, extra.bytes, (data) => withBuffer(256, null, (text) => {
      const length = Number(core._varnholt_compare_memory(map, kind, data, extra.bytes.length, text, 256n));
      return length < 0 ? failure().message : length === 0 ? '' : core.UTF8ToString(text);
    }));
    return result === ''
      ? `${extra.name} is the ${what} the converter makes of this map`
      : `${extra.name} is not the ${what} the converter makes of this map: ${result}`;
  }

  function create({cellsPerSide: cells, blocked, name}) {
    const next = WorkerLibrary.core._varnholt_create(cells, blocked ? 1 : 0);
    if (next === 0) throw failure();
    return replace(next, name || 'New1Level0Map.raw');
  }

  // The three files as the map now stands, named after Name where given (the map is named so from
  // then on).
  function files({name}) {
    handle();
    if (name) mapName = name;
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
      names: {level0: mapName, info: filePath(mapName, kFileInfo), waypoint: filePath(mapName, kFileWaypoint)},
      transfer: [level0.buffer, info.buffer, waypoint.buffer],
    };
  }

  return {handle, side, open, create, files};
})();
