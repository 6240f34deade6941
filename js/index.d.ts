/* Varnholt for JavaScript: level-0 pathfinding maps, their info and waypoint maps, and paths on
 * them, from the library's C interface (varnholt.h) compiled to WebAssembly. An ES module for
 * Node 20 and later, browsers, Web Workers and worker_threads; the WebAssembly is inside it.
 *
 * A level-0 map is a square terrain of open and blocked cells in segments of 64 x 64 cells.
 * Varnholt finds the 4-connected open areas of every segment, keeps the four largest, and makes
 * an info map and a waypoint map of it, byte for byte as the varnholt program writes them.
 *
 * Cells are given as (row, column), each from 0 to cellsPerSide - 1; rows run down the map,
 * columns across it. Segments are given as (segmentRow, segmentColumn), each from 0 to
 * segmentsPerSide - 1; segment (i, j) holds the cells of rows 64 i to 64 i + 63 and columns 64 j
 * to 64 j + 63. Cells cross as typed arrays: one byte a cell (0 open, 1 blocked) row by row, and
 * paths as Int32Arrays of row, column pairs.
 *
 * Paths. A query first searches the regions of the map (every open area of every segment, joined
 * wherever they touch across a segment border), so it finds a path whenever the grid connects the
 * two cells; it then searches the cells of a corridor two segments wide about the regions found.
 * Its cost grows with the path, not with the map, and the path is near the shortest.
 *
 * Memory. A map lives in the WebAssembly's memory, not in JavaScript's heap, and the garbage
 * collector does not free it: call close() on every map you are done with, as the C interface's
 * varnholt_close. Memory freed by close() is used again by the next map; the WebAssembly's memory
 * grows up to 4 GB and is never given back to the system while the thread lives.
 *
 * Threads. Each thread (the page, each Web Worker, each worker_threads Worker) that calls load()
 * has its own instance and its own maps; a map cannot be handed to another thread, but its bytes
 * (file('level0')) can, and analyse() opens them there.
 *
 * Failures. A call that fails throws a VarnholtError with the library's message, in the words of
 * the varnholt program ("This is not a level 0 map!", "Cell blocked: 3, 5", ...), and its status
 * by name. A failed call leaves the map as it was. Answers that say "none" (areaOf's -1, an empty
 * path) are not failures.
 */

/* What a call failed with; VARNHOLT_OK is never thrown. */
export type VarnholtStatus =
  | 'VARNHOLT_OK'
  | 'VARNHOLT_ERROR_OPEN' /* a file cannot be opened or created */
  | 'VARNHOLT_ERROR_READ' /* a map cut short or malformed: "Error reading file", ... */
  | 'VARNHOLT_ERROR_NOT_LEVEL0' /* "You selected an Info map!", "This is not a level 0 map!" */
  | 'VARNHOLT_ERROR_SIZE' /* "Invalid map size!", "Range check error" */
  | 'VARNHOLT_ERROR_MEMORY' /* "Out of memory": the WebAssembly's 4 GB, or what the system grants */
  | 'VARNHOLT_ERROR_WRITE' /* "Error writing file" */
  | 'VARNHOLT_ERROR_STALE_PAIR' /* bytes compared that are cut short or not such a map at all */
  | 'VARNHOLT_ERROR_ARGUMENT' /* a cell, segment or rectangle outside the map, a blocked cell, a
                                 value that is not a 32-bit integer or not bytes, an unknown file
                                 kind, a map or field used after close() */
  | 'VARNHOLT_ERROR_INTERNAL'; /* a fault of the library itself: to be reported */

/* A failure of the library: message in its words, status by name. */
export class VarnholtError extends Error {
  constructor(message: string, status: VarnholtStatus);
  readonly name: 'VarnholtError';
  readonly status: VarnholtStatus;
}

/* The three files a map makes: the level-0 map (its header as read, then its segment records),
 * the info map and the waypoint map, exactly as the varnholt program writes them. */
export type VarnholtFile = 'level0' | 'info' | 'waypoint';

/* A grid component that the waypoint graph holds as several parts: paths between them exist only
 * through erased areas. Cells are [row, column]. */
export interface VarnholtSplit {
  parts: number;
  partCells: Array<[number, number]>; /* a waypoint in each of the first parts, at most 3 */
  erasedCells: Array<[number, number]>; /* the first cells of the first erased areas, at most 3 */
}

/* What the converter keeps of the map, and whether the waypoint graph (one node per kept area,
 * an edge per link) connects every place the grid itself connects. */
export interface VarnholtSurvey {
  filledOpenSegments: number; /* segments by content: every cell open, */
  filledBlockedSegments: number; /* every cell blocked, */
  explicitSegments: number; /* or both kinds */
  areasFound: number; /* 4-connected open areas within segments */
  areasKept: number;
  segmentsOverFour: number; /* segments with more than four areas */
  erasedCells: number; /* the open cells of the areas they drop */
  segmentsWithArea4: number; /* area 4 is in the waypoint map but not in the info map */
  area4Cells: number;
  downLinks: number; /* link bits of the waypoint map */
  rightLinks: number;
  gridComponents: number; /* open cells 4-connected across the whole map */
  graphComponents: number; /* kept areas joined by links */
  lostComponents: number; /* grid components without any kept area */
  lostCells: number; /* their open cells */
  splitComponents: number; /* grid components the graph holds as several parts */
  splits: VarnholtSplit[]; /* the first split components, in the order of the segments and cells
                              they begin in */
  lost: Array<[number, number]>; /* the first cell of each of the first lost components */
}

/* The kinds of change that can mend a split: cells to open, after which the kept areas join the
 * split's parts, or cells to block, after which the grid no longer joins the parts through erased
 * areas, so the map says what the waypoint graph already says. */
export type VarnholtFixKind = 'open' | 'block';

/* A field toward one open goal cell of a map, for the units of an engine that all head there: for
 * every open cell the grid connects to the goal, the distance in 4-adjacent steps and the next cell
 * of a shortest path. It is worked out as cells ask, by a breadth-first search from the goal that
 * stops once the cell asked for is reached. A field follows its map: after setCells it answers as
 * a field made afresh on the edited map would. It lives in the WebAssembly's memory until close()
 * or its map's close(); every method of a closed field throws a VarnholtError
 * (VARNHOLT_ERROR_ARGUMENT, "The field is closed"). Each method throws VARNHOLT_ERROR_ARGUMENT
 * ("Cell outside the map: ROW, COLUMN", "Cell blocked: ROW, COLUMN") for a cell outside the map or
 * blocked. */
export interface VarnholtField {
  readonly goalRow: number;
  readonly goalColumn: number;
  /* Whether close() was called, on the field or on its map. */
  readonly closed: boolean;

  /* The next cell from (row, column) toward the goal, [row, column]; null at the goal or where the
   * grid does not connect the cell to the goal. Of equal next cells, always the first of up, down,
   * left and right. */
  next(row: number, column: number): Int32Array | null;

  /* Steps of a shortest path from (row, column) to the goal; -1 when the grid does not connect
   * them. */
  distance(row: number, column: number): number;

  /* The path from (row, column) to the goal along the field, both included, as row, column pairs;
   * empty when the grid does not connect them. */
  path(row: number, column: number): Int32Array;

  /* Frees the field's memory; a second call does nothing. */
  close(): void;
}

/* A level-0 map, analysed and held in the WebAssembly's memory until close(). Every method of a
 * closed map throws a VarnholtError (VARNHOLT_ERROR_ARGUMENT, "The map is closed"). */
export interface VarnholtMap {
  /* Cells per side: 64 times segmentsPerSide. */
  readonly cellsPerSide: number;
  readonly segmentsPerSide: number;
  /* Whether close() was called. */
  readonly closed: boolean;

  /* The cells of the rectangle at (row, column), rows by columns, row by row: 1 for a blocked
   * cell, 0 for an open one (the form setCells takes). Throws VARNHOLT_ERROR_ARGUMENT ("Cells
   * outside the map: ROW, COLUMN, ROWS x COLUMNS") for a rectangle not inside the map. */
  getCells(row: number, column: number, rows: number, columns: number): Uint8Array;

  /* Sets the cells of the rectangle at (row, column), rows by columns, open (0) or blocked (any
   * other value) from rows * columns bytes, row by row, and analyses again only the segments it
   * touches and the contacts along their borders: the map then answers every query exactly as a
   * map analysed afresh from the edited cells would. Throws VARNHOLT_ERROR_ARGUMENT for a
   * rectangle not inside the map or bytes of another length, nothing changed. */
  setCells(row: number, column: number, rows: number, columns: number, blocked: Uint8Array): void;

  /* The kept area (1 to 4) of the cell within its segment; 0 for a blocked cell or a cell of an
   * erased area; -1 outside the map. */
  areaOf(row: number, column: number): number;

  /* The area map of a segment: 4096 bytes, cell (r, c) of the segment at r * 64 + c, 0 or its
   * kept area 1 to 4, as the info and waypoint maps number them. Throws VARNHOLT_ERROR_ARGUMENT
   * ("Segment outside the map: I, J") outside the map. */
  segmentAreas(segmentRow: number, segmentColumn: number): Uint8Array;

  /* The regions of a segment, as paths are searched on them: 4096 values, cell (r, c) at
   * r * 64 + c, the cell's region within the segment, or 65535 for a blocked cell. Regions 0 to
   * kept - 1 are the kept areas 1 to kept; the erased areas follow, numbered in the row-major
   * order of their first cells. Throws as segmentAreas. */
  segmentRegions(segmentRow: number, segmentColumn: number): Uint16Array;

  /* The segment's 16-byte waypoint record exactly as the waypoint map stores it (down links,
   * right links, a column and row per kept area, the area mask, three zero bytes). Throws as
   * segmentAreas. */
  segmentRecord(segmentRow: number, segmentColumn: number): Uint8Array;

  /* The survey, with at most `splits` split components and `lost` lost components' first cells
   * (16 each unless given; splitComponents and lostComponents tell how many there are). Costs in
   * proportion to the map's regions, a small part of an opening. */
  survey(room?: {splits?: number; lost?: number}): VarnholtSurvey;

  /* Cells whose change mends split number index (in the order survey() lists them), of the kind
   * asked, as row, column pairs; empty when no fix of that kind is found. Applied with setCells
   * (0 to open, 1 to block), a fix removes that split and makes no new one. To block, the fewest
   * erased cells that part the parts; to open, the fewest blocked cells that join each part to a
   * kept area. Costs a survey of the map and an analysis of the split's ground. Throws
   * VARNHOLT_ERROR_ARGUMENT ("No such split: INDEX") for an index that names no split. */
  splitFix(index: number, kind: VarnholtFixKind): Int32Array;

  /* A field toward the open goal cell (goalRow, goalColumn); see VarnholtField. Closing the map
   * closes its fields. Throws VARNHOLT_ERROR_ARGUMENT, as connected, for a goal outside the map or
   * blocked. */
  field(goalRow: number, goalColumn: number): VarnholtField;

  /* Whether the grid connects the two open cells. Throws VARNHOLT_ERROR_ARGUMENT ("Cell outside
   * the map: ROW, COLUMN", "Cell blocked: ROW, COLUMN") for a cell outside the map or blocked. */
  connected(row0: number, column0: number, row1: number, column1: number): boolean;

  /* A path of 4-adjacent open cells from (row0, column0) to (row1, column1), both included, as
   * row, column pairs; empty when the grid connects no path between them. Throws
   * VARNHOLT_ERROR_ARGUMENT, as connected, for a cell outside the map or blocked. The same query
   * on the same map gives the same path on every machine and thread, and the same as the C
   * library's varnholt_find_path. */
  findPath(row0: number, column0: number, row1: number, column1: number): Int32Array;

  /* As findPath, but when the goal is blocked or the grid does not connect it to the start, the
   * path goes to the open cell connected to the start that lies nearest the goal (by the distance
   * between cell centres; of equal ones, the smallest row, then the smallest column): a click on a
   * wall or on an island gets the way as near as the ground allows. Never empty. Throws
   * VARNHOLT_ERROR_ARGUMENT only for a start outside the map or blocked, or a goal outside the
   * map. */
  findPathToward(row0: number, column0: number, row1: number, column1: number): Int32Array;

  /* The corners of a path (row, column pairs, 4-adjacent and open, as findPath gives it): open
   * cells from the path's first cell to its last such that the straight line between the centres
   * of each two consecutive corners passes only through open cells (every cell whose closed square
   * the line touches is open). A unit that walks from corner to corner in straight lines takes a
   * path near the shortest at any angle. Throws VARNHOLT_ERROR_ARGUMENT ("Not a path: cell K (ROW,
   * COLUMN)") when the cells are not such a path. */
  smoothPath(cells: Int32Array | number[]): Int32Array;

  /* The number of cells of a shortest 4-connected path between the two cells, both included (its
   * steps and one): 0 when the grid connects none; throws as findPath. Exact, by a search that may
   * visit the whole map: for tools that measure the paths findPath gives, not for every query. */
  shortestPathCells(row0: number, column0: number, row1: number, column1: number): number;

  /* The bytes of one of the three files of the map as it now stands, exactly as the varnholt
   * program writes them from the level-0 map (whose segments never edited are byte for byte as
   * read, an edited segment a filled record where all its cells are alike). The info map costs an
   * analysis of the whole map, as a conversion does; the others cost a copy. Throws
   * VARNHOLT_ERROR_ARGUMENT for another kind. */
  file(kind: VarnholtFile): Uint8Array;

  /* Whether bytes are exactly the info or waypoint map this map makes, as an engine checks a pair
   * it loaded beside the map: '' when they are, otherwise the first difference in words
   * ("segment (3, 5), DownLinks: 01 00 in the file, 00 00 expected", "bytes follow the last
   * record"). Throws VARNHOLT_ERROR_STALE_PAIR for bytes that are cut short or not such a map at
   * all ("Error reading file", "Invalid waypoint map header", "Invalid record tag in info map").
   * Costs an analysis of the whole map for the info map. */
  compare(kind: 'info' | 'waypoint', bytes: Uint8Array | ArrayBufferView | ArrayBuffer): string;

  /* The map as the text of a Moving AI map: "type octile", its side as height and width, "map",
   * then a row of '.' (open) and '@' (blocked) for each row of cells, every line ended by "\n";
   * importMovingAi of it gives the map's cells again. */
  exportMovingAi(): string;

  /* Frees the map's memory and that of its fields; a second call does nothing. */
  close(): void;
}

/* The library, as load() gives it. */
export interface Varnholt {
  /* Analyses the bytes of a level-0 map file as the varnholt program does (copied: they may be
   * changed after); bytes after the last record are ignored, as in a file. Throws
   * VARNHOLT_ERROR_READ for bytes cut short, VARNHOLT_ERROR_NOT_LEVEL0 for another kind of map,
   * VARNHOLT_ERROR_SIZE for less than one segment a side or a map that cannot be held at all,
   * VARNHOLT_ERROR_MEMORY for one that does not fit in memory. */
  analyse(bytes: Uint8Array | ArrayBufferView | ArrayBuffer): VarnholtMap;

  /* A new map of cellsPerSide cells a side, every cell open (blocked false) or blocked.
   * cellsPerSide is 64 times a power of two (64, 128, ... 16384, ...); any other throws
   * VARNHOLT_ERROR_SIZE, "Invalid map size!". Its header is the one varnholt-genmap writes. */
  create(cellsPerSide: number, blocked?: boolean): VarnholtMap;

  /* Maps from other tools. A source of rows x columns cells goes on a new map whose side is the
   * smallest of 64, 128, 256, ... cells that holds it, its first row and column at cell (0, 0),
   * every cell beyond it blocked; its level-0 file is the one varnholt-import writes of the same
   * source. A source without a cell, or more than 65536 cells high or wide, throws
   * VARNHOLT_ERROR_SIZE ("Empty source: ROWS x COLUMNS cells", "Source too large: ROWS x COLUMNS
   * cells, at most 65536 a side"). */

  /* A map of rows x columns cells, row by row, 0 open and any other value blocked. */
  importCells(rows: number, columns: number, blocked: Uint8Array | ArrayBufferView | ArrayBuffer): VarnholtMap;

  /* A map of a picture of width x height pixels, four bytes each (red, green, blue, alpha), as a
   * canvas's ImageData holds them. A pixel is open when it is opaque, alpha >= 128, and light: its
   * Rec. 709 luma in integers, 2126 red + 7152 green + 722 blue, is at least threshold percent of
   * white's (50 unless given); with darkOpen, the pixels at least threshold percent dark are open
   * instead. Throws VARNHOLT_ERROR_ARGUMENT for a threshold outside 0 to 100 or data of another
   * length. */
  importPixels(image: {data: Uint8Array | Uint8ClampedArray | ArrayBufferView | ArrayBuffer; width: number; height: number},
               options?: {threshold?: number; darkOpen?: boolean}): VarnholtMap;

  /* A map of the tile layers of a Tiled map, each rows x columns global tile ids row by row (a
   * finite map's layer data as its JSON holds it, decoded): a cell is blocked where the tile of
   * any layer collides. firstGids are the tilesets' first gids, ascending from 1; colliding lists
   * [tileset index, local tile id] of the tiles whose boolean property "collides" is true. The top
   * four bits of a gid (flips and rotations) are ignored. Throws VARNHOLT_ERROR_ARGUMENT ("First
   * gids not ascending from 1: tileset K at GID", "No such tile: tileset K, tile ID"). */
  importTiled(source: {rows: number; columns: number; layers: Array<Uint32Array | number[]>;
                       firstGids: Uint32Array | number[]; colliding: Array<[number, number]>}): VarnholtMap;

  /* A map of the text of a Moving AI map ("type octile", "height H", "width W", "map", then H
   * rows of W characters, '.', 'G' and 'S' open and every other one blocked), as a string or its
   * bytes. Throws VARNHOLT_ERROR_READ with the line at fault ("line 2: 'height N' expected, found
   * 'width 4'", "line 7: 3 characters, the width is 4"), VARNHOLT_ERROR_SIZE for a height or
   * width beyond 65536. */
  importMovingAi(text: string | Uint8Array | ArrayBufferView | ArrayBuffer): VarnholtMap;

  /* The name of one of the three files of the level-0 map named level0Name as the varnholt
   * program names them: the map's own for 'level0', and those named after its file name up to its
   * first digit in its folder for the others (Infantry1Level0Map.raw: InfantryInfo.raw and
   * Infantry.raw; a name without a digit is taken whole). Folders are separated by '/'. */
  filePath(level0Name: string, kind: VarnholtFile): string;
}

/* The library of this thread: the first call instantiates the WebAssembly, every later one
 * gives the same library. No file is fetched or read: the WebAssembly is inside the module. */
export function load(): Promise<Varnholt>;
