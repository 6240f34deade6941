/* Varnholt: level-0 pathfinding maps, their info and waypoint maps, and paths on them.
 *
 * A level-0 map is a square terrain of open and blocked cells in segments of 64 x 64 cells.
 * Varnholt finds the 4-connected open areas of every segment, keeps the four largest, and
 * writes an info map and a waypoint map beside the level-0 map (the varnholt program). This
 * library reads a level-0 map, analyses it in memory as the program does and finds paths on it.
 *
 * Paths. A query first searches the regions of the map: every open area of every segment, the
 * kept areas (the nodes of the waypoint graph, each at its waypoint, joined by the waypoint
 * map's links) and the erased ones (each at its first cell), joined wherever they touch across a
 * segment border. So it finds a path whenever the grid connects the two cells, also from or to a
 * cell of an erased area and across places the waypoint graph alone holds in several parts.
 * It then searches the cells of the segments along the regions found, for the shortest path
 * through them; its cost grows with the path, not with the map. Whether two cells are connected
 * at all is worked out when the map is opened, and again after edits by the first query that
 * needs it, which costs once in proportion to the map (a few milliseconds at 16384 x 16384).
 *
 * Threads. Every function may be called from several threads at once, on different maps.
 * Queries on one map (varnholt_cells_per_side, varnholt_area_of, varnholt_find_path) and
 * varnholt_save may run on several threads at once; an edit (varnholt_set_cells) and
 * varnholt_close must not run while another call uses the map: queries and edits on one map are
 * not concurrent.
 *
 * Edits. varnholt_set_cells changes cells and analyses again only the segments it touches and
 * the contacts along their borders, so that the map answers every query exactly as a map
 * analysed afresh from the edited cells would; varnholt_save then writes exactly the files the
 * varnholt program writes from the saved level-0 map.
 *
 * Paths of files are UTF-8 on every system. Cells are given as (row, column), each from 0 to
 * varnholt_cells_per_side() - 1; rows run down the map, columns across it.
 *
 * Failures. A function that fails returns NULL or -1 and sets the text varnholt_error() returns
 * on the same thread, in the words of the varnholt program ("Error opening file: PATH",
 * "Error reading file", "This is not a level 0 map!", ...); any of them can fail with "Out of
 * memory". A successful call leaves the text as it was, and a failed one leaves the map as it
 * was. varnholt_area_of's -1 is an answer, not a failure. A map argument must be one that
 * varnholt_analyse or varnholt_open returned and that is not closed; only varnholt_close takes
 * NULL.
 */
#ifndef VARNHOLT_H
#define VARNHOLT_H

#include <stdint.h>

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

/* Reads a level-0 map and analyses it in memory as the varnholt program does; writes nothing.
 * NULL on failure: the file cannot be read, is not a level-0 map, or the map does not fit in
 * memory ("Out of memory"). */
VARNHOLT_API varnholt_map* varnholt_analyse(const char* level0_path);

/* The same, and checks that the info map and waypoint map beside it (named as the varnholt
 * program names them: Infantry1Level0Map.raw has InfantryInfo.raw and Infantry.raw) are the ones
 * the program makes of it. NULL on a missing, damaged or stale pair, with the first difference in
 * varnholt_error() ("Infantry.raw does not match: segment (3, 5), DownLinks: ..."). */
VARNHOLT_API varnholt_map* varnholt_open(const char* level0_path);

/* Releases the map; NULL is allowed. */
VARNHOLT_API void varnholt_close(varnholt_map* map);

/* Why the last failed call on this thread failed; "" if none has. The text stays valid until the
 * next failing call on this thread. */
VARNHOLT_API const char* varnholt_error(void);

/* Cells per side of the map: 64 times its segments per side. */
VARNHOLT_API int32_t varnholt_cells_per_side(const varnholt_map* map);

/* The kept area (1 to 4) of the cell within its segment; 0 for a blocked cell or a cell of an
 * erased area; -1 outside the map (varnholt_error() unchanged). Labels the cell's segment: about
 * a microsecond. */
VARNHOLT_API int varnholt_area_of(const varnholt_map* map, int32_t row, int32_t column);

/* A path of 4-adjacent open cells from (row0, column0) to (row1, column1), both included,
 * written as row, column pairs to cells[0 .. 2 * capacity). Returns the number of cells of the
 * path, which may be more than capacity (nothing beyond capacity is written; ask again with more
 * room); 0 when the grid connects no path between them; -1, with varnholt_error() set ("Cell
 * outside the map: ROW, COLUMN", "Cell blocked: ROW, COLUMN"), when a cell is outside the map or
 * blocked. cells may be NULL when capacity is 0. The same query on the same map gives the same
 * path on every machine and thread. Queries on one map may run on several threads at once. */
VARNHOLT_API int64_t varnholt_find_path(const varnholt_map* map, int32_t row0, int32_t column0,
                                        int32_t row1, int32_t column1, int32_t* cells,
                                        int64_t capacity);

/* Sets the cells of the rectangle at (row, column), rows by columns, open (0) or blocked (any
 * other value) from rows * columns bytes, row by row, and brings the analysis up to date: the
 * areas and waypoints of the segments touched and the contacts they share with their
 * neighbours (connectivity is worked out again by the next query that needs it). 0 on success;
 * -1, with varnholt_error() set ("Cells outside the map: ROW, COLUMN, ROWS x COLUMNS"), for a
 * rectangle not inside the map, nothing changed. An empty rectangle changes nothing; blocked
 * may then be NULL. Not concurrent with any other call on the map. */
VARNHOLT_API int varnholt_set_cells(varnholt_map* map, int32_t row, int32_t column, int32_t rows,
                                    int32_t columns, const uint8_t* blocked);

/* Writes the map as it now stands as three files named from level0_path as the varnholt program
 * names them: the level-0 map (its header as read; the records of segments never edited byte for
 * byte as read, an edited segment as a filled record where all its cells are alike), its info map
 * and its waypoint map, exactly as the program makes them of it. The three replace the old files
 * together, by the program's protocol: temporary files, a journal that the next run in the folder
 * completes if this process dies midway, the old files put back where one cannot be replaced,
 * and turns with other runs in the folder (waiting for one up to 30 seconds). 0 on success; -1
 * with varnholt_error() set ("Error writing file", "Error opening file: PATH"), leaving the old
 * files as they were. */
VARNHOLT_API int varnholt_save(const varnholt_map* map, const char* level0_path);

#ifdef __cplusplus
}
#endif

#endif /* VARNHOLT_H */
