/* The C library's answers, for the package's tests to compare its own with:
 *   answers LEVEL0MAP < QUESTIONS
 * reads lines "find ROW0 COLUMN0 ROW1 COLUMN1", "toward ..." or "survey" and prints, as numbers:
 * for a path its cell count and cells, then on a second line its corners' count and cells; for
 * the survey its sixteen counts, the first cells of the first 64 lost components as a count and
 * cells, and the first 8 split components, each as its parts and its two lists of cells. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <varnholt/varnholt.h>

static void print_cells(int64_t count, const int32_t* cells) {
  printf("%lld", (long long)count);
  for (int64_t k = 0; k < 2 * count; ++k) printf(" %d", cells[k]);
  printf("\n");
}

/* Asks once for the length and again with room, as the header describes. */
static void print_path(const varnholt_map* map, int toward, const int32_t* ends) {
  int64_t (*query)(const varnholt_map*, int32_t, int32_t, int32_t, int32_t, int32_t*, int64_t) =
      toward ? varnholt_find_path_toward : varnholt_find_path;
  const int64_t count = query(map, ends[0], ends[1], ends[2], ends[3], NULL, 0);
  int32_t* cells = malloc((size_t)(count + 1) * 2 * sizeof *cells);
  query(map, ends[0], ends[1], ends[2], ends[3], cells, count);
  print_cells(count, cells);
  int32_t* corners = malloc((size_t)(count + 1) * 2 * sizeof *corners);
  print_cells(varnholt_smooth_path(map, cells, count, corners, count), corners);
  free(corners);
  free(cells);
}

static void print_survey(const varnholt_map* map) {
  varnholt_survey survey;
  varnholt_split splits[8];
  int32_t lost[2 * 64];
  varnholt_survey_map(map, &survey, splits, 8, lost, 64);
  const int64_t* counts = &survey.filled_open_segments;  /* sixteen int64 in a row */
  for (int k = 0; k < 16; ++k) printf("%lld ", (long long)counts[k]);
  printf("%lld", (long long)(survey.lost_components < 64 ? survey.lost_components : 64));
  for (int64_t k = 0; k < 2 * survey.lost_components && k < 2 * 64; ++k) printf(" %d", lost[k]);
  for (int64_t k = 0; k < survey.split_components && k < 8; ++k) {
    printf(" %lld %d", (long long)splits[k].parts, splits[k].part_count);
    for (int c = 0; c < 2 * splits[k].part_count; ++c) printf(" %d", splits[k].part_cells[c / 2][c % 2]);
    printf(" %d", splits[k].erased_count);
    for (int c = 0; c < 2 * splits[k].erased_count; ++c) printf(" %d", splits[k].erased_cells[c / 2][c % 2]);
  }
  printf("\n");
}

int main(int argc, char** argv) {
  varnholt_map* map = argc == 2 ? varnholt_analyse(argv[1]) : NULL;
  if (map == NULL) {
    fprintf(stderr, "%s\n", argc == 2 ? varnholt_error() : "usage: answers LEVEL0MAP < QUESTIONS");
    return 1;
  }
  char kind[16];
  while (scanf("%15s", kind) == 1) {
    int32_t ends[4];
    if (strcmp(kind, "survey") == 0) {
      print_survey(map);
    } else if (scanf("%d %d %d %d", &ends[0], &ends[1], &ends[2], &ends[3]) == 4) {
      print_path(map, strcmp(kind, "toward") == 0, ends);
    }
  }
  varnholt_close(map);
  return 0;
}
