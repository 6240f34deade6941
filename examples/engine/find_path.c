/* Finds a path on a level-0 map with the Varnholt library, as an engine would, then builds a
 * wall across the middle of that path, finds the way round it and saves the edited map:
 *   find_path LEVEL0MAP ROW0 COLUMN0 ROW1 COLUMN1 [SAVED_LEVEL0MAP]
 * varnholt_open also checks that the info and waypoint maps beside the map are up to date;
 * varnholt_save writes the edited map with its two maps beside it. */
#include <stdio.h>
#include <stdlib.h>
#include <varnholt/varnholt.h>

int main(int argc, char** argv) {
  if (argc != 6 && argc != 7) {
    fprintf(stderr, "usage: find_path LEVEL0MAP ROW0 COLUMN0 ROW1 COLUMN1 [SAVED_LEVEL0MAP]\n");
    return 2;
  }
  varnholt_map* map = varnholt_open(argv[1]);
  if (map == NULL) {
    fprintf(stderr, "%s\n", varnholt_error());
    return 1;
  }
  const int32_t row0 = atoi(argv[2]), column0 = atoi(argv[3]);
  const int32_t row1 = atoi(argv[4]), column1 = atoi(argv[5]);
  /* Asked once without room for the length, then again with room for every cell. */
  int64_t count = varnholt_find_path(map, row0, column0, row1, column1, NULL, 0);
  if (count > 8) {
    int32_t* cells = malloc((size_t)count * 2 * sizeof *cells);
    varnholt_find_path(map, row0, column0, row1, column1, cells, count);
    const int64_t middle = count / 2;
    printf("%lld cells, from (%d, %d) by (%d, %d) to (%d, %d)\n", (long long)count, cells[0],
           cells[1], cells[2 * middle], cells[2 * middle + 1], cells[2 * count - 2],
           cells[2 * count - 1]);
    /* A wall of 3 x 3 cells where the path passed half way, well away from both ends. */
    const uint8_t wall[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
    if (varnholt_set_cells(map, cells[2 * middle] - 1, cells[2 * middle + 1] - 1, 3, 3, wall) ==
        0) {
      count = varnholt_find_path(map, row0, column0, row1, column1, NULL, 0);
      printf("after a wall at (%d, %d): %lld cells\n", cells[2 * middle], cells[2 * middle + 1],
             (long long)count);
    }
    free(cells);
  } else if (count >= 0) {
    printf("%lld cells\n", (long long)count);
  }
  if (count < 0) fprintf(stderr, "%s\n", varnholt_error());
  if (count >= 0 && argc == 7 && varnholt_save(map, argv[6]) != 0) {
    fprintf(stderr, "%s\n", varnholt_error());
    count = -1;
  }
  varnholt_close(map);
  return count < 0 ? 1 : 0;
}
