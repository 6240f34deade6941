// A map the library holds: its cells, what each segment holds, paths, edits, the survey and the
// three files as bytes. The map lives in the library's memory until close(); every answer is
// copied out, so that nothing handed back changes or dangles after later calls.
import {argumentError, lastFailure} from './errors.js';
import {bytesOf, cellsOfRectangle, int32, pathCells} from './arguments.js';
import {fileOf} from './files.js';
import {surveyMap} from './survey.js';
import {VarnholtField} from './field.js';

const kSegmentCells = 4096;
// varnholt_fix_kind by the names the package gives them.
const kFixKinds = {open: 0, block: 1};

export class VarnholtMap {
  #heap;
  #handle;  // the varnholt_map*, 0 once closed
  #fields = new Set();  // the open fields toward goals on this map, closed before it

  constructor(heap, handle) {
    this.#heap = heap;
    this.#handle = handle;
    this.cellsPerSide = heap.core._varnholt_cells_per_side(handle);
    this.segmentsPerSide = heap.core._varnholt_segments_per_side(handle);
  }

  get closed() {
    return this.#handle === 0;
  }

  // The handle, for a map that is still open: the C interface takes no closed map.
  #open() {
    if (this.#handle === 0) throw argumentError('The map is closed');
    return this.#handle;
  }

  // The C function name of the core, called with the map and the integers given, checked.
  #call(name, ...numbers) {
    const handle = this.#open();
    return this.#heap.checked(this.#heap.core[name](handle, ...numbers));
  }

  // The map's fields go first: the C interface takes no field whose map is closed, and a field
  // left open would read freed memory.
  close() {
    for (const field of this.#fields) field.close();
    if (this.#handle !== 0) this.#heap.core._varnholt_close(this.#handle);
    this.#handle = 0;
  }

  field(goalRow, goalColumn) {
    const handle = this.#open();
    const heap = this.#heap;
    const [row, column] = [int32(goalRow, 'goalRow'), int32(goalColumn, 'goalColumn')];
    const field = heap.core._varnholt_field_create(handle, row, column) >>> 0;
    if (field === 0) throw lastFailure(heap.core);
    const opened = new VarnholtField(heap, field, (closed) => this.#fields.delete(closed), row, column);
    this.#fields.add(opened);
    return opened;
  }

  getCells(row, column, rows, columns) {
    const handle = this.#open();
    const count = int32(rows, 'rows') * int32(columns, 'columns');
    const heap = this.#heap;
    return heap.lend(count, null, (pointer) => {
      heap.checked(heap.core._varnholt_get_cells(handle, int32(row, 'row'), int32(column, 'column'), rows, columns, pointer));
      return heap.bytesAt(pointer, count);
    });
  }

  setCells(row, column, rows, columns, blocked) {
    const handle = this.#open();
    const cells = cellsOfRectangle(blocked, int32(rows, 'rows'), int32(columns, 'columns'));
    const heap = this.#heap;
    heap.lend(cells.length, cells, (pointer) =>
      heap.checked(heap.core._varnholt_set_cells(handle, int32(row, 'row'), int32(column, 'column'), rows, columns, pointer)));
  }

  areaOf(row, column) {
    return this.#heap.core._varnholt_area_of(this.#open(), int32(row, 'row'), int32(column, 'column'));
  }

  // A segment's 4096 values (or 16 bytes of its record), from the C function name.
  #segment(name, Values, count, segmentRow, segmentColumn) {
    const handle = this.#open();
    const heap = this.#heap;
    return heap.lend(count * Values.BYTES_PER_ELEMENT, null, (pointer) => {
      heap.checked(heap.core[name](handle, int32(segmentRow, 'segmentRow'), int32(segmentColumn, 'segmentColumn'), pointer));
      return new Values(heap.bytesAt(pointer, count * Values.BYTES_PER_ELEMENT).buffer);
    });
  }

  segmentAreas(segmentRow, segmentColumn) {
    return this.#segment('_varnholt_segment_areas', Uint8Array, kSegmentCells, segmentRow, segmentColumn);
  }

  segmentRegions(segmentRow, segmentColumn) {
    return this.#segment('_varnholt_segment_regions', Uint16Array, kSegmentCells, segmentRow, segmentColumn);
  }

  segmentRecord(segmentRow, segmentColumn) {
    return this.#segment('_varnholt_segment_record', Uint8Array, 16, segmentRow, segmentColumn);
  }

  survey({splits = 16, lost = 16} = {}) {
    const handle = this.#open();
    if (!Number.isInteger(splits) || splits < 0 || !Number.isInteger(lost) || lost < 0) {
      throw argumentError(`Room for splits and lost cells is a count: ${splits}, ${lost}`);
    }
    return surveyMap(this.#heap, handle, splits, lost);
  }

  // Cells whose change mends split number index of the survey, as row, column pairs.
  splitFix(index, kind) {
    const handle = this.#open();
    if (!Number.isSafeInteger(index)) throw argumentError(`index is not an integer: ${index}`);
    if (!Object.hasOwn(kFixKinds, kind)) throw argumentError(`Unknown fix kind: ${String(kind)}; 'open' or 'block'`);
    const heap = this.#heap;
    return heap.pairs((cells, capacity) => heap.core._varnholt_split_fix(handle, BigInt(index), kFixKinds[kind], cells, capacity));
  }

  connected(row0, column0, row1, column1) {
    return this.#call('_varnholt_connected', ...ends(row0, column0, row1, column1)) === 1;
  }

  // A path query of the C function name, its cells as row, column pairs.
  #path(name, row0, column0, row1, column1) {
    const handle = this.#open();
    const heap = this.#heap;
    const [r0, c0, r1, c1] = ends(row0, column0, row1, column1);
    return heap.pairs((cells, capacity) => heap.core[name](handle, r0, c0, r1, c1, cells, capacity));
  }

  findPath(row0, column0, row1, column1) {
    return this.#path('_varnholt_find_path', row0, column0, row1, column1);
  }

  findPathToward(row0, column0, row1, column1) {
    return this.#path('_varnholt_find_path_toward', row0, column0, row1, column1);
  }

  shortestPathCells(row0, column0, row1, column1) {
    return this.#call('_varnholt_shortest_path_cells', ...ends(row0, column0, row1, column1));
  }

  smoothPath(cells) {
    const handle = this.#open();
    const path = pathCells(cells);
    const heap = this.#heap;
    return heap.lend(4 * path.length, null, (pointer) => {
      heap.core.HEAP32.set(path, pointer / 4);
      return heap.pairs((corners, capacity) => heap.core._varnholt_smooth_path(handle, pointer, BigInt(path.length / 2), corners, capacity));
    });
  }

  // The bytes of one of the three files: written into room for the most the header says the file
  // takes, and again into room for all only should it take more, since the info map costs an
  // analysis of the whole map each time.
  file(kind) {
    const handle = this.#open();
    const {kind: number, header, perSegment} = fileOf(kind);
    const heap = this.#heap;
    const write = (room) => heap.lend(room, null, (pointer) => {
      const size = heap.checked(heap.core._varnholt_write_memory(handle, number, pointer, BigInt(room)));
      return {size, bytes: size <= room ? heap.bytesAt(pointer, size) : null};
    });
    const first = write(header + perSegment * this.segmentsPerSide ** 2);
    return first.bytes ?? write(first.size).bytes;
  }

  // The map as the text of a Moving AI map, asked for its size first: the text is all ASCII.
  exportMovingAi() {
    const handle = this.#open();
    const heap = this.#heap;
    const size = heap.checked(heap.core._varnholt_export_moving_ai(handle, 0, 0n));
    return heap.lend(size, null, (text) => {
      heap.checked(heap.core._varnholt_export_moving_ai(handle, text, BigInt(size)));
      return new TextDecoder().decode(heap.bytesAt(text, size));
    });
  }

  // '' when bytes are exactly the info or waypoint map the library makes of this map; otherwise
  // the first difference in words.
  compare(kind, bytes) {
    const handle = this.#open();
    const data = bytesOf(bytes, 'bytes');
    const heap = this.#heap;
    const kRoom = 512;
    return heap.lend(data.length, data, (pointer) => heap.lend(kRoom, null, (text) => {
      const length = heap.checked(heap.core._varnholt_compare_memory(handle, fileOf(kind).kind, pointer, data.length, text, BigInt(kRoom)));
      return length === 0 ? '' : heap.core.UTF8ToString(text);
    }));
  }
}

function ends(row0, column0, row1, column1) {
  return [int32(row0, 'row0'), int32(column0, 'column0'), int32(row1, 'row1'), int32(column1, 'column1')];
}
