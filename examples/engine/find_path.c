/* Finds a path on a level-0 map with the Varnholt library, as an engine would:
 *   find_path LEVEL0MAP ROW0 COLUMN0 ROW1 COLUMN1
 * varnholt_open also checks that the info and waypoint maps beside the map are up to date. */
#include <stdio.h>
#include <stdlib.h>
#include <varnholt/varnholt.h>

int main(int argc, char **argv) {
  if (argc != 6) {
    fprintf(stderr, "usage: find_path LEVEL0MAP ROW0 COLUMN0 ROW1 COLUMN1\n");
    return 2;
  }
  varnholt_map *map = varnholt_open(argv[1]);
  if (map == NULL) {
    fprintf(stderr, "%s\n", varnholt_error());
    return 1;
  }
  const int32_t row0 = atoi(argv[2]), column0 = atoi(argv[3]);
  const int32_t row1 = atoi(argv[4]), column1 = atoi(argv[5]);
  /* Asked once without room for the length, then again with room for every cell. */
  const int64_t count = varnholt_find_path(map, row0, column0, row1, column1, NULL, 0);
  if (count > 0) {
    int32_t *cells = malloc((size_t)count * 2 * sizeof *cells);
    varnholt_find_path(map, row0, column0, row1, column1, cells, count);
    const int64_t middle = count / 2;
    printf("%lld cells, from (%d, %d) by (%d, %d) to (%d, %d)\n", (long long)count, cells[0],
           cells[1], cells[2 * middle], cells[2 * middle + 1], cells[2 * count - 2],
           cells[2 * count - 1]);
    free(cells);
  } else if (count == 0) {
    printf("no path\n");
  } else {
    fprintf(stderr, "%s\n", varnholt_error());
  }
  varnholt_close(map);
  return count < 0 ? 1 : 0;
}
