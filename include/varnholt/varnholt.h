/* Varnholt: level-0 pathfinding maps, their info and waypoint maps, and paths on them.
 *
 * A level-0 map is a square terrain of open and blocked cells in segments of 64 x 64 cells.
 * Varnholt finds the 4-connected open areas of every segment, keeps the four largest, and
 * writes an info map and a waypoint map beside the level-0 map (the varnholt program, which is
 * varnholt_convert). This library reads a level-0 map from a file or from memory, or makes a new
 * one, analyses it in memory as the program does, answers what a segment holds, finds paths,
 * takes edits, and writes the three files or gives their bytes.
 *
 * Paths. A query first searches the regions of the map: every open area of every segment, the
 * kept areas (the nodes of the waypoint graph, each at its waypoint, joined by the waypoint
 * map's links) and the erased ones (each at its first cell), joined wherever they touch across a
 * segment border. So it finds a path whenever the grid connects the two cells, also from or to a
 * cell of an erased area and across places the waypoint graph alone holds in several parts.
 * It then searches the cells of a corridor two segments wide about the regions found, less the
 * dead ends off the way (the regions that no path entering no region twice passes between the
 * start's and the goal's, nor lie beside one that does: most of a maze), for the shortest path
 * through them: a path near the shortest (the corridor may leave out a shorter way around; the
 * longest measured, on a rooms map, was 6.4 % longer), whose cost grows with the path, not with
 * the map. varnholt_shortest_path_cells and a field give exact lengths. Whether
 * two cells are connected at all is worked out when the map is opened, in blocks of 16 x 16
 * segments, and after edits by the first query that needs it, for the blocks the edits touched (a
 * 64 x 64 edit of a 16384 x 16384 map and this work take about 0.15 ms together).
 *
 * Threads. Every function may be called from several threads at once, on different maps. The
 * functions that take a const map (queries, varnholt_write_memory, varnholt_save, the comparisons
 * and the survey) may run on one map from several threads at once; an edit (varnholt_set_cells)
 * and varnholt_close must not run while another call uses the map: queries and edits on one map
 * are not concurrent.
 *
 * Memory. A map holds its cells as the file stores them (about one bit per cell of a segment that
 * is not all open or all blocked), its regions and waypoint records, and what queries of single
 * cells work out per segment the first time they ask (a segment's kept areas, about 2 KB):
 * varnholt_area_of, varnholt_connected and the ends of a path. That cache takes at most 48 MB a
 * map, beyond which the entries kept longest are dropped; an edit drops those of the segments it
 * touches and of those beside them. Threads that ask at once share it safely.
 *
 * The process. The library never prints, never reads the command line or the environment,
 * installs no signal handler and keeps no state beyond the failure of the last call on each
 * thread. While it puts files in place (varnholt_save, varnholt_convert, varnholt_replace_file)
 * it holds back, on the calling thread only, the signals that would end a process, so that a
 * program that works on one thread is never stopped between two renames; other threads keep
 * their signal masks. A process that dies in the middle all the same leaves a journal that the
 * next conversion or save in that folder completes.
 *
 * Edits. varnholt_set_cells changes cells and analyses again only the segments it touches and
 * the contacts along their borders, so that the map answers every query exactly as a map
 * analysed afresh from the edited cells would; varnholt_save and varnholt_write_memory then give
 * exactly the files the varnholt program writes from the saved level-0 map.
 *
 * Paths of files are UTF-8 on every system. Cells are given as (row, column), each from 0 to
 * varnholt_cells_per_side() - 1; rows run down the map, columns across it. Segments are given as
 * (segment_row, segment_column), each from 0 to varnholt_segments_per_side() - 1; segment (i, j)
 * holds the cells of rows 64 i to 64 i + 63 and columns 64 j to 64 j + 63.
 *
 * Failures. A function that fails returns NULL or -1, sets the text varnholt_error() returns on
 * the same thread, in the words of the varnholt program ("Error opening file: PATH", "Error
 * reading file", "This is not a level 0 map!", ...), and the status varnholt_last_status()
 * returns, which names the kind of failure; any of them can fail with "Out of memory". A
 * successful call leaves both as they were, and a failed one leaves the map as it was. Answers
 * that say "none" (varnholt_area_of's -1, a path of 0 cells) are not failures. A map argument must
 * be one that varnholt_analyse, varnholt_analyse_memory, varnholt_open or varnholt_create returned
 * and that is not closed; only varnholt_close takes NULL.
 */
#ifndef VARNHOLT_H
#define VARNHOLT_H

#include <stddef.h>
#include <stdint.h>

/* The one place the version is written: the build, the packages and the program's banner read it
 * here. */
#define VARNHOLT_VERSION_MAJOR 1
#define VARNHOLT_VERSION_MINOR 0

/* Define VARNHOLT_STATIC when linking the static library on Windows. */
#if defined(_WIN32)
#if defined(VARNHOLT_BUILDING)
#define VARNHOLT_API __declspec(dllexport)
#elif defined(VARNHOLT_STATIC)
#define VARNHOLT_API
#else
#define VARNHOLT_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define VARNHOLT_API __attribute__((visibility("default")))
#else
#define VARNHOLT_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* A level-0 map, analysed and held in memory: its cells (as the file stores them, about one bit
 * per cell of a segment that is not all open or all blocked) and its regions. */
typedef struct varnholt_map varnholt_map;

/* What the last failed call on this thread failed with; varnholt_error() gives the words. */
typedef enum varnholt_status {
  VARNHOLT_OK = 0,           /* no call on this thread has failed */
  VARNHOLT_ERROR_OPEN,       /* a file cannot be opened or created: "Error opening file: PATH" */
  VARNHOLT_ERROR_READ,       /* a map cut short or malformed: "Error reading file", ... */
  VARNHOLT_ERROR_NOT_LEVEL0, /* "You selected an Info map!", "This is not a level 0 map!" */
  VARNHOLT_ERROR_SIZE,       /* "Invalid map size!", "Range check error" */
  VARNHOLT_ERROR_MEMORY,     /* "Out of memory" */
  VARNHOLT_ERROR_WRITE,      /* "Error writing file": a full disk, a file in the way, no turn */
  VARNHOLT_ERROR_STALE_PAIR, /* varnholt_open: the pair beside the map is missing, damaged or
                                another map's ("Infantry.raw does not match: ...") */
  VARNHOLT_ERROR_ARGUMENT,   /* a cell, segment or rectangle outside the map, a blocked cell,
                                a NULL where none may be, an unknown file kind */
  VARNHOLT_ERROR_INTERNAL    /* a fault of the library itself ("Logic failure in
                                CalculateWaypoint"): to be reported */
} varnholt_status;

/* The three files a map makes. */
typedef enum varnholt_file {
  VARNHOLT_FILE_LEVEL0 = 0,  /* the level-0 map: its header as read, then its segment records */
  VARNHOLT_FILE_INFO = 1,    /* the info map, exactly as the varnholt program writes it */
  VARNHOLT_FILE_WAYPOINT = 2 /* the waypoint map, exactly as the varnholt program writes it */
} varnholt_file;

/* ---- Opening and closing ---- */

/* Reads a level-0 map and analyses it in memory as the varnholt program does; writes nothing.
 * NULL on failure: the file cannot be opened (VARNHOLT_ERROR_OPEN), is cut short
 * (VARNHOLT_ERROR_READ), is not a level-0 map (VARNHOLT_ERROR_NOT_LEVEL0), gives less than one
 * segment a side or cannot be held at all (VARNHOLT_ERROR_SIZE), or does not fit in memory. */
VARNHOLT_API varnholt_map* varnholt_analyse(const char* level0_path);

/* The same from the bytes of a level-0 map file held in memory (copied: data may be freed after),
 * as engines load maps from packed archives. Bytes after the last record are ignored, as in a
 * file. NULL on failure as varnholt_analyse, VARNHOLT_ERROR_ARGUMENT for data NULL with a size. */
VARNHOLT_API varnholt_map* varnholt_analyse_memory(const void* data, size_t size);

/* As varnholt_analyse, and checks that the info map and waypoint map beside it (named as the
 * varnholt program names them: Infantry1Level0Map.raw has InfantryInfo.raw and Infantry.raw) are
 * the ones the program makes of it. NULL with VARNHOLT_ERROR_STALE_PAIR on a missing, damaged or
 * stale pair, with the first difference in varnholt_error() ("Infantry.raw does not match:
 * segment (3, 5), DownLinks: 01 00 in the file, 00 00 expected"). */
VARNHOLT_API varnholt_map* varnholt_open(const char* level0_path);

/* A new map of cells_per_side cells a side, every cell open (blocked = 0) or blocked (any other
 * value). cells_per_side is 64 times a power of two (64, 128, ... 16384, ...), the sizes a level-0
 * header can describe; any other is VARNHOLT_ERROR_SIZE, "Invalid map size!", and one too large to
 * be held at all "Range check error". Its header is the one the varnholt-genmap program writes. */
VARNHOLT_API varnholt_map* varnholt_create(int32_t cells_per_side, int blocked);

/* Releases the map; NULL is allowed. */
VARNHOLT_API void varnholt_close(varnholt_map* map);

/* Why the last failed call on this thread failed; "" if none has. The text stays valid until the
 * next failing call on this thread. */
VARNHOLT_API const char* varnholt_error(void);

/* The kind of that failure; VARNHOLT_OK if none has failed on this thread. */
VARNHOLT_API varnholt_status varnholt_last_status(void);

/* ---- What the map holds ---- */

/* Cells per side of the map: 64 times its segments per side. */
VARNHOLT_API int32_t varnholt_cells_per_side(const varnholt_map* map);

/* Segments per side of the map. */
VARNHOLT_API int32_t varnholt_segments_per_side(const varnholt_map* map);

/* Copies the cells of the rectangle at (row, column), rows by columns, to blocked[0 .. rows *
 * columns), row by row: 1 for a blocked cell, 0 for an open one (the form varnholt_set_cells
 * takes). 0 on success; -1 with VARNHOLT_ERROR_ARGUMENT ("Cells outside the map: ROW, COLUMN,
 * ROWS x COLUMNS") for a rectangle not inside the map, or blocked NULL for a rectangle that is not
 * empty. */
VARNHOLT_API int varnholt_get_cells(const varnholt_map* map, int32_t row, int32_t column,
                                    int32_t rows, int32_t columns, uint8_t* blocked);

/* The kept area (1 to 4) of the cell within its segment; 0 for a blocked cell or a cell of an
 * erased area; -1 outside the map (varnholt_error() unchanged). The first call in a segment
 * labels it, a few microseconds, and the map keeps its areas (see Memory above): a call is then a
 * lookup of some 30 nanoseconds. */
VARNHOLT_API int varnholt_area_of(const varnholt_map* map, int32_t row, int32_t column);

/* The area map of segment (segment_row, segment_column): 4096 bytes, cell (r, c) at r * 64 + c,
 * 0 or its kept area 1 to 4, as the info and waypoint maps number them (0 for blocked cells and
 * the cells of erased areas). Returns the number of kept areas, 0 to 4; -1 with
 * VARNHOLT_ERROR_ARGUMENT ("Segment outside the map: I, J") outside the map or for areas NULL. */
VARNHOLT_API int varnholt_segment_areas(const varnholt_map* map, int32_t segment_row,
                                        int32_t segment_column, uint8_t areas[4096]);

/* The regions of the segment, as paths are searched on them: 4096 values, cell (r, c) at
 * r * 64 + c, the cell's region within the segment, or 65535 for a blocked cell. Regions 0 to
 * kept - 1 are the kept areas 1 to kept; the erased areas follow, numbered in the row-major
 * order of their first cells. Returns the number of regions of the segment (at most 2048); -1 as
 * varnholt_segment_areas. */
VARNHOLT_API int varnholt_segment_regions(const varnholt_map* map, int32_t segment_row,
                                          int32_t segment_column, uint16_t regions[4096]);

/* The segment's 16-byte waypoint record exactly as the waypoint map stores it (down links, right
 * links, a column and row per kept area, the area mask, three zero bytes). 0, or -1 as
 * varnholt_segment_areas. */
VARNHOLT_API int varnholt_segment_record(const varnholt_map* map, int32_t segment_row,
                                         int32_t segment_column, uint8_t record[16]);

/* What the converter keeps of the map, and whether the waypoint graph (one node per kept area,
 * an edge per link) connects every place the grid itself connects. */
typedef struct varnholt_survey {
  int64_t filled_open_segments;    /* segments by content: every cell open, */
  int64_t filled_blocked_segments; /* every cell blocked, */
  int64_t explicit_segments;       /* or both kinds */
  int64_t areas_found;             /* 4-connected open areas within segments */
  int64_t areas_kept;
  int64_t segments_over_four;  /* segments with more than four areas */
  int64_t erased_cells;        /* the open cells of the areas they drop */
  int64_t segments_with_area4; /* area 4 is in the waypoint map but not in the info map */
  int64_t area4_cells;
  int64_t down_links; /* link bits of the waypoint map */
  int64_t right_links;
  int64_t grid_components;  /* open cells 4-connected across the whole map */
  int64_t graph_components; /* kept areas joined by links */
  int64_t lost_components;  /* grid components without any kept area */
  int64_t lost_cells;       /* their open cells */
  int64_t split_components; /* grid components the graph holds as several parts */
} varnholt_survey;

/* A grid component that the waypoint graph holds as several parts: paths between them exist only
 * through erased areas. Cells are (row, column). */
typedef struct varnholt_split {
  int64_t parts;
  int32_t part_count;         /* cells in part_cells, at most 3 */
  int32_t part_cells[3][2];   /* a waypoint in each of the first parts */
  int32_t erased_count;       /* cells in erased_cells, at most 3 */
  int32_t erased_cells[3][2]; /* the first cells of the first erased areas in the component */
} varnholt_split;

/* Fills survey, and writes the first split components to splits[0 .. capacity), in the order of
 * the segments and cells they begin in (split_components tells how many there are); and, where
 * lost is not NULL, the first cell of each of the first lost_capacity lost components, in the
 * same order, as row, column pairs. Costs in proportion to the map's regions, a small part of an
 * opening. 0, or -1 with VARNHOLT_ERROR_ARGUMENT for survey NULL, or splits NULL with a capacity.
 */
VARNHOLT_API int varnholt_survey_map(const varnholt_map* map, varnholt_survey* survey,
                                     varnholt_split* splits, int64_t capacity, int32_t* lost,
                                     int64_t lost_capacity);

/* The kinds of change that can mend a split. */
typedef enum varnholt_fix_kind {
  VARNHOLT_FIX_OPEN = 0, /* cells to open, after which the kept areas join the split's parts */
  VARNHOLT_FIX_BLOCK = 1 /* cells to block, after which the grid no longer joins the parts through
                            erased areas, so the map says what the waypoint graph already says */
} varnholt_fix_kind;

/* Cells whose change mends split number index (in the order varnholt_survey_map lists them), of
 * the kind asked: VARNHOLT_FIX_OPEN or VARNHOLT_FIX_BLOCK. Row, column pairs, with
 * varnholt_find_path's count and capacity conventions; 0 when no fix of that kind is found; -1
 * with VARNHOLT_ERROR_ARGUMENT for an index that names no split ("No such split: INDEX") or an
 * unknown kind. Applied with varnholt_set_cells, a fix removes that split and makes no new one:
 * each is tried on a copy of the split's ground before it is offered. To block, the fewest erased
 * cells that part the parts (a minimum cut between each part and the rest); to open, for erased
 * areas that touch several parts, the fewest blocked cells that join each to a kept area of its
 * own segment, the cheapest first until every part is joined. Costs a survey of the map, and an
 * analysis of the split's ground. */
VARNHOLT_API int64_t varnholt_split_fix(const varnholt_map* map, int64_t index, int kind,
                                        int32_t* cells, int64_t capacity);

/* ---- Paths ---- */

/* 1 when the grid connects the two open cells, 0 when it does not; -1 with
 * VARNHOLT_ERROR_ARGUMENT ("Cell outside the map: ROW, COLUMN", "Cell blocked: ROW, COLUMN") for a
 * cell outside the map or blocked. Known since the map was analysed: it costs two lookups of the
 * cells' kept areas (a cell of an erased area labels those of its segment). */
VARNHOLT_API int varnholt_connected(const varnholt_map* map, int32_t row0, int32_t column0,
                                    int32_t row1, int32_t column1);

/* A path of 4-adjacent open cells from (row0, column0) to (row1, column1), both included,
 * written as row, column pairs to cells[0 .. 2 * capacity). Returns the number of cells of the
 * path, which may be more than capacity (nothing beyond capacity is written; ask again with more
 * room); 0 when the grid connects no path between them; -1, with VARNHOLT_ERROR_ARGUMENT ("Cell
 * outside the map: ROW, COLUMN", "Cell blocked: ROW, COLUMN"), when a cell is outside the map or
 * blocked. cells may be NULL when capacity is 0. The same query on the same map gives the same
 * path on every machine and thread. */
VARNHOLT_API int64_t varnholt_find_path(const varnholt_map* map, int32_t row0, int32_t column0,
                                        int32_t row1, int32_t column1, int32_t* cells,
                                        int64_t capacity);

/* As varnholt_find_path, but when the goal is blocked or the grid does not connect it to the start,
 * the path goes to the open cell connected to the start that lies nearest the goal (by the
 * distance between cell centres; of equal ones, the smallest row, then the smallest column): a
 * click on a wall or on an island gets the way as near as the ground allows. That cell is found
 * from the segments and regions the map knows, before any cell is looked at: a small component's
 * own segments, or rings of segments about the goal, skipping those where the start's component
 * has no region; so the cost grows with the path and with the segments between that cell and the
 * goal, never with the map. -1 with
 * VARNHOLT_ERROR_ARGUMENT only for a start outside the map or blocked, or a goal outside the map;
 * never 0. */
VARNHOLT_API int64_t varnholt_find_path_toward(const varnholt_map* map, int32_t row0,
                                               int32_t column0, int32_t row1, int32_t column1,
                                               int32_t* cells, int64_t capacity);

/* The corners of a path of count cells (row, column pairs in cells, 4-adjacent and open, as
 * varnholt_find_path writes it): a list of open cells from the path's first cell to its last,
 * written as row, column pairs to corners[0 .. 2 * capacity), such that the straight line between
 * the centres of each two consecutive corners passes only through open cells: every cell whose
 * closed square the line touches, corners included, is open, so that no line squeezes between
 * two blocked cells that meet at a corner. A unit that walks from corner to corner in straight
 * lines takes a path near the shortest at any angle. Returns the number of corners, which may be
 * more than capacity (nothing beyond capacity is written); -1 with VARNHOLT_ERROR_ARGUMENT ("Not a
 * path: cell K (ROW, COLUMN)") when the cells are not such a path, or cells NULL with a count.
 * Costs about as much as the query that found the path. */
VARNHOLT_API int64_t varnholt_smooth_path(const varnholt_map* map, const int32_t* cells,
                                          int64_t count, int32_t* corners, int64_t capacity);

/* The number of cells of a shortest 4-connected path between the two cells, both included (its
 * steps and one), as varnholt_find_path counts them: 0 when the grid connects none, -1 with
 * VARNHOLT_ERROR_ARGUMENT as varnholt_find_path. Exact, by a search that may visit the whole map:
 * for tools that measure the paths varnholt_find_path gives, not for an engine's every query. */
VARNHOLT_API int64_t varnholt_shortest_path_cells(const varnholt_map* map, int32_t row0,
                                                  int32_t column0, int32_t row1, int32_t column1);

/* ---- Fields toward a goal, for many units ---- */

/* A field toward one goal cell of a map, for the units of an engine that all head there. */
typedef struct varnholt_field varnholt_field;

/* A field toward one open goal cell of the map: for every open cell the grid connects to the goal,
 * the distance in 4-adjacent steps and the next cell of a shortest path. It is worked out as cells
 * ask, by a breadth-first search from the goal a layer of steps at a time, which stops once the
 * cell asked for is reached: the ground nearer the goal than the cell, never more of the map than
 * that (the whole of the goal's component once a unit is asked for at its far end, or a cell
 * the grid does not join to the goal, which is answered at once). Its distances are exact, so a
 * unit that follows varnholt_field_next walks a shortest path. NULL with VARNHOLT_ERROR_ARGUMENT
 * ("Cell outside the map: ROW, COLUMN", "Cell blocked: ROW, COLUMN") for a goal outside the map or
 * blocked.
 *
 * Every function below answers a cell outside the map or blocked with -1 and
 * VARNHOLT_ERROR_ARGUMENT. One field may be asked from several threads at once, beside the map's
 * other queries; what one thread works out is published safely to the others, which wait for it
 * where they need it.
 *
 * A field follows its map: after varnholt_set_cells it answers as a field made afresh on the
 * edited map would. The edit keeps the distances of the cells nearer the goal than any segment
 * the edit touched was reached (no path through the edited cells can be shorter), and the search
 * goes on from there as cells ask. As for queries, the map is not edited while its fields are
 * asked, and a field is closed before its map.
 *
 * Memory: a byte per cell of the segments the search has reached, and eight bytes more for each
 * cell 254 steps or more farther than the nearest of its segment (a maze's winding corridors);
 * while the search runs, about 1.5 kilobytes for each segment its current layer lies in. */
VARNHOLT_API varnholt_field* varnholt_field_create(const varnholt_map* map, int32_t goal_row,
                                                   int32_t goal_column);

/* The next cell from (row, column) toward the goal in next[0] (row) and next[1] (column): 1 when
 * there is one, 0 at the goal or where the grid does not connect the cell to the goal, -1 (with a
 * status) for a cell outside the map or blocked, or next NULL. Of equal next cells, always the
 * first of up, down, left and right. */
VARNHOLT_API int varnholt_field_next(varnholt_field* field, int32_t row, int32_t column,
                                     int32_t next[2]);

/* Steps of a shortest path from (row, column) to the goal; -1 when the grid does not connect them,
 * or, with a status, for a cell outside the map or blocked. */
VARNHOLT_API int64_t varnholt_field_distance(varnholt_field* field, int32_t row, int32_t column);

/* The path from (row, column) to the goal along the field, both included, with the conventions of
 * varnholt_find_path (count of cells, capacity, 0 when not connected, -1 with a status). */
VARNHOLT_API int64_t varnholt_field_path(varnholt_field* field, int32_t row, int32_t column,
                                         int32_t* cells, int64_t capacity);

/* Releases the field; NULL is allowed. */
VARNHOLT_API void varnholt_field_close(varnholt_field* field);

/* ---- Editing ---- */

/* Sets the cells of the rectangle at (row, column), rows by columns, open (0) or blocked (any
 * other value) from rows * columns bytes, row by row, and brings the analysis up to date: the
 * areas and waypoints of the segments touched and the contacts they share with their
 * neighbours (connectivity is worked out again by the next query that needs it). 0 on success;
 * -1, with VARNHOLT_ERROR_ARGUMENT ("Cells outside the map: ROW, COLUMN, ROWS x COLUMNS"), for a
 * rectangle not inside the map or blocked NULL for one that is not empty, nothing changed. An
 * empty rectangle changes nothing. Not concurrent with any other call on the map. */
VARNHOLT_API int varnholt_set_cells(varnholt_map* map, int32_t row, int32_t column, int32_t rows,
                                    int32_t columns, const uint8_t* blocked);

/* ---- Maps from other tools, and back ----
 *
 * Map makers draw maps in Tiled or a paint program, and benchmarks share Moving AI .map files.
 * These functions are the rules that make a level-0 map of such a source once it is decoded (the
 * varnholt-import program decodes PNG and Tiled files with libpng, zlib, nlohmann-json and expat;
 * a browser decodes them itself), so that every importer makes the same map of the same source.
 *
 * Placement: a source of rows x columns cells goes on a new map whose side is the smallest
 * 64 x 2^k cells that holds both (varnholt_import_side), its first row and column at cell (0, 0),
 * every cell beyond it blocked. The map is made as varnholt_create(side, 1) and then
 * varnholt_set_cells of the source's cells would make it, so that varnholt_write_memory gives the
 * level-0 file varnholt-genmap writes for those cells. */

/* The side of the map a source of rows x columns cells is placed on: the smallest of 64, 128, 256,
 * ... that is at least rows and at least columns. -1 with VARNHOLT_ERROR_SIZE for a source without
 * a cell ("Empty source: ROWS x COLUMNS cells") or one more than 65536 cells high or wide ("Source
 * too large: ROWS x COLUMNS cells, at most 65536 a side"). */
VARNHOLT_API int32_t varnholt_import_side(int64_t rows, int64_t columns);

/* A new map holding a source of rows x columns cells, blocked[0 .. rows * columns) row by row, 0
 * open and any other value blocked, placed as above. NULL with VARNHOLT_ERROR_SIZE as
 * varnholt_import_side, VARNHOLT_ERROR_ARGUMENT for blocked NULL, or VARNHOLT_ERROR_MEMORY. */
VARNHOLT_API varnholt_map* varnholt_import_cells(int32_t rows, int32_t columns,
                                                 const uint8_t* blocked);

/* Pictures: which of count pixels, four bytes each (red, green, blue, alpha, 8 bits each, as a
 * browser decodes any PNG; 16-bit samples by their high byte, no gamma or colour profile
 * applied), are open cells: blocked[k] = 0 where pixel k is open, 1 where it is blocked. A pixel
 * is open when it is opaque, alpha >= 128, and light: its Rec. 709 luma in integers,
 * L = 2126 red + 7152 green + 722 blue (0 for black, 2550000 for white, 10000 v for a grey of
 * value v), is at least threshold percent of white, L >= 25500 threshold. With dark_open not 0 the
 * dark pixels are the open ones instead: L <= 25500 (100 - threshold). 0 on success; -1 with
 * VARNHOLT_ERROR_ARGUMENT for a threshold outside 0 to 100 ("Threshold outside 0 to 100: N"), a
 * negative count, or rgba or blocked NULL with a count. The usual threshold is 50. */
VARNHOLT_API int varnholt_import_pixels(const uint8_t* rgba, int64_t count, int threshold,
                                        int dark_open, uint8_t* blocked);

/* Tiled: marks the cells of one tile layer, or one chunk of an infinite map's layer, whose tiles
 * collide. For each of count global tile ids (gids) in gids, its top four bits (flips and
 * rotations) cleared, the tile is found as Tiled defines it: gid 0 is no tile; otherwise it belongs
 * to the tileset with the largest first gid not above it, as local id gid - first gid. Where that
 * tile is one of those listed as colliding, blocked[k] is set to 1; every other byte of blocked is
 * left as it was, so that a cell is blocked when any layer's tile there collides. first_gids holds
 * the tilesets' first gids, ascending from 1; colliding holds colliding_count pairs of a
 * tileset's index in first_gids and a local tile id, the tiles whose boolean property "collides" is
 * true. 0 on success; -1 with VARNHOLT_ERROR_ARGUMENT for first gids that do not ascend from 1
 * ("First gids not ascending from 1: tileset K at GID"), a pair naming no tileset ("No such tile:
 * tileset K, tile ID"), a negative count, or an array NULL with a count. */
VARNHOLT_API int varnholt_import_tiled(const uint32_t* gids, int64_t count,
                                       const uint32_t* first_gids, int32_t tileset_count,
                                       const uint32_t* colliding, int64_t colliding_count,
                                       uint8_t* blocked);

/* A new map from the text of a Moving AI map: "type octile", "height H", "width W" and "map", a
 * line each, then H rows of W bytes, '.', 'G' and 'S' open and every other byte blocked; lines end
 * with LF or CR LF and blank lines may follow the last row. Placed as above. NULL with
 * VARNHOLT_ERROR_READ and the line at fault for a header line missing or malformed ("line 2:
 * 'height N' expected, found 'width 4'"), a row of another length ("line 7: 3 characters, the
 * width is 4"), too few or too many rows ("line 9: the map ends after 4 of 5 rows", "line 10: a row
 * beyond the height of 5"); VARNHOLT_ERROR_SIZE for a height or width beyond 65536 ("line 2: height
 * '100000' is more than 65536"); VARNHOLT_ERROR_ARGUMENT for text NULL with a size. */
VARNHOLT_API varnholt_map* varnholt_import_moving_ai(const void* text, size_t size);

/* The map as the text of a Moving AI map: "type octile", its side as height and width, "map", then
 * one row of '.' (open) and '@' (blocked) a row of cells, every line ended by LF; importing it
 * gives the map's cells again. Returns the text's size, which may exceed capacity (nothing beyond
 * capacity is written; ask again with room); -1 with VARNHOLT_ERROR_ARGUMENT for buffer NULL with a
 * capacity. buffer may be NULL when capacity is 0. */
VARNHOLT_API int64_t varnholt_export_moving_ai(const varnholt_map* map, void* buffer,
                                               int64_t capacity);

/* ---- Files ---- */

/* The bytes of one of the three files the map makes as it now stands, exactly as varnholt_save
 * writes them: VARNHOLT_FILE_LEVEL0 (its header as read; the records of segments never edited
 * byte for byte as read, an edited segment as a filled record where all its cells are alike),
 * VARNHOLT_FILE_INFO or VARNHOLT_FILE_WAYPOINT (what the varnholt program makes of that level-0
 * map). Returns the file's size, which may exceed capacity (nothing beyond capacity is written;
 * ask again with room); -1 on failure (VARNHOLT_ERROR_ARGUMENT for an unknown file, or buffer
 * NULL with a capacity). buffer may be NULL when capacity is 0. For a map of n x n segments the
 * level-0 map takes at most 32 + 516 n^2 bytes, the info map at most 32 + 260 n^2 and the
 * waypoint map exactly 8 + 16 n^2. The info map costs an analysis of the whole map, as a
 * conversion does; the others cost a copy. */
VARNHOLT_API int64_t varnholt_write_memory(const varnholt_map* map, int file, void* buffer,
                                           int64_t capacity);

/* Writes the map as it now stands as three files named from level0_path as the varnholt program
 * names them: the level-0 map, its info map and its waypoint map, the bytes varnholt_write_memory
 * gives. The three replace the old files together, by the program's protocol: temporary files, a
 * journal that the next run in the folder completes if this process dies midway, the old files
 * put back where one cannot be replaced, and turns with other runs in the folder (waiting for one
 * up to 30 seconds). 0 on success; -1 with VARNHOLT_ERROR_WRITE ("Error writing file") or
 * VARNHOLT_ERROR_OPEN ("Error opening file: PATH"), leaving the old files as they were. */
VARNHOLT_API int varnholt_save(const varnholt_map* map, const char* level0_path);

/* Whether the bytes data[0 .. size) are exactly what varnholt_write_memory gives for file
 * (VARNHOLT_FILE_INFO or VARNHOLT_FILE_WAYPOINT), as an engine checks a pair it loaded beside
 * the map: 0 when they are; otherwise the length of the text naming the first difference
 * ("segment (3, 5), DownLinks: 01 00 in the file, 00 00 expected", "bytes follow the last
 * record"), written to difference[0 .. capacity) and ended by a zero byte, cut short to fit. -1
 * with VARNHOLT_ERROR_STALE_PAIR for bytes that are cut short or not such a map at all ("Error
 * reading file", "Invalid waypoint map header", "Invalid record tag in info map"), or
 * VARNHOLT_ERROR_ARGUMENT. Costs an analysis of the whole map for the info map. */
VARNHOLT_API int64_t varnholt_compare_memory(const varnholt_map* map, int file, const void* data,
                                             size_t size, char* difference, int64_t capacity);

/* The same for the file at path; -1 with VARNHOLT_ERROR_OPEN ("Error opening file: PATH") where
 * it cannot be read, and with the path after the message where it is cut short or malformed
 * ("Error reading file: PATH"). */
VARNHOLT_API int64_t varnholt_compare_file(const varnholt_map* map, int file, const char* path,
                                           char* difference, int64_t capacity);

/* The path of one of the three files of the level-0 map at level0_path as the varnholt program
 * names them: the map's own for VARNHOLT_FILE_LEVEL0, and those named after the map's file name up
 * to its first digit in its folder for the others (Infantry1Level0Map.raw: InfantryInfo.raw and
 * Infantry.raw; a name without a digit is taken whole). Separators are those of the system ('/',
 * or on Windows '\' and ':'). Returns the path's length in bytes and writes it to
 * path[0 .. capacity) ended by a zero byte, where it fits; -1 with VARNHOLT_ERROR_ARGUMENT. */
VARNHOLT_API int64_t varnholt_file_path(const char* level0_path, int file, char* path,
                                        int64_t capacity);

/* 1 when a conversion or save stopped while putting the pair of the level-0 map at level0_path in
 * place (killed between its renames): the info and waypoint maps there then come from two
 * different conversions, and the next conversion or save in that folder completes the pair;
 * 0 otherwise; -1 with VARNHOLT_ERROR_ARGUMENT for NULL. Changes nothing. */
VARNHOLT_API int varnholt_pair_interrupted(const char* level0_path);

/* Writes data[0 .. size) to path, whole or not at all: to a temporary file beside it that only its
 * owner can read, made durable, then renamed over path, which keeps the permission bits of the
 * file it replaces. For tools that keep files of their own beside the maps. 0 on success; -1 with
 * VARNHOLT_ERROR_OPEN or VARNHOLT_ERROR_WRITE, the old file as it was. */
VARNHOLT_API int varnholt_replace_file(const char* path, const void* data, size_t size);

/* The files the library keeps in a folder only while it writes there, by their names. */
typedef enum varnholt_name_kind {
  VARNHOLT_NAME_OTHER = 0,     /* not one of them */
  VARNHOLT_NAME_TEMPORARY = 1, /* a file being written, or a claim on the folder's turn */
  VARNHOLT_NAME_JOURNAL = 2    /* the journal of files being put in place */
} varnholt_name_kind;

/* What name, the last part of a path, names: a temporary or a claim (.varnholt-, 16 hexadecimal
 * digits, and .tmp or .lock), a journal (.journal or .undo), or neither. The library keeps no
 * record of its files, but a file of these names that the calling process holds open is its own:
 * a program being ended can remove its temporaries, and waits while it holds a journal, which
 * takes milliseconds, so that files are put in place whole (the varnholt program does both).
 * Safe to call from a signal handler. */
VARNHOLT_API int varnholt_classify_name(const char* name);

/* What the varnholt program does with one argument: reads the level-0 map, writes its info map
 * and waypoint map beside it by the program's protocol (temporaries, journal, turns, recovery).
 * Each console line of the program's run ("Reading PATH...", "Calculating...", "Writing
 * PATH...", "Done.") and each notice (a wait for another run, what stands in the way of a commit)
 * goes to report, without its line ending, as it happens; report may be NULL. The line of a
 * failure is not reported: it is varnholt_error(). 0 on success, -1 on failure, with the
 * status of the failure (VARNHOLT_ERROR_OPEN, ..._READ, ..._NOT_LEVEL0, ..._SIZE, ..._MEMORY,
 * ..._WRITE). */
VARNHOLT_API int varnholt_convert(const char* level0_path,
                                  void (*report)(const char* line, int is_notice, void* context),
                                  void* context);

#ifdef __cplusplus
}
#endif

#endif /* VARNHOLT_H */
