/* consumer_c in.wav out.pitch: the same as the C++ consumer, through the C interface. */
#include <pitchtrack/pitchtrack_c.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv) {
  pitchtrack_contour *contour = NULL;
  pitchtrack_error error;
  if (argc != 3) {
    fprintf(stderr, "usage: consumer_c in.wav out.pitch\n");
    return 2;
  }
  if (pitchtrack_track_file(argv[1], &contour, &error) != PITCHTRACK_OK) {
    fprintf(stderr, "consumer_c: %s\n", error.message);
    return 1;
  }
  size_t length = pitchtrack_format_contour(contour, NULL, 0);
  char *line = malloc(length + 1);
  if (line == NULL) return 1;
  pitchtrack_format_contour(contour, line, length + 1);
  FILE *out = fopen(argv[2], "wb");
  int written = out != NULL && fwrite(line, 1, length, out) == length;
  if (out != NULL && fclose(out) != 0) written = 0;
  free(line);
  pitchtrack_contour_free(contour);
  return written ? 0 : 1;
}
