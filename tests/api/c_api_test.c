/* The C interface from C (C99): the options and their size field, every callback, the streaming
 * tracker against the whole-recording entry, the live entries as a tracker, and the refusals.
 * `make sanitize` runs it under AddressSanitizer and UndefinedBehaviorSanitizer. */
#include <math.h>
#include <pitchtrack/pitchtrack_c.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int failures = 0;

#define CHECK(condition) check((condition), #condition, __LINE__)

static void check(int ok, const char* what, int line) {
  if (!ok) {
    fprintf(stderr, "c_api_test.c:%d: failed: %s\n", line, what);
    ++failures;
  }
}

enum { kRate = 16000 };
static const double kPi = 3.14159265358979323846;

/* A hummed phrase at `level` of full scale: four notes of a six-harmonic tone, 0.4 s each, with
 * 0.3 s of silence before, 0.2 s between and 0.5 s after them. */
static int16_t* phrase(double level, size_t* count) {
  static const double notes[] = {220.0, 247.0, 262.0, 294.0};
  const size_t note = (size_t)(0.4 * kRate), gap = (size_t)(0.2 * kRate);
  *count = (size_t)(0.3 * kRate) + 4 * (note + gap) + (size_t)(0.3 * kRate);
  int16_t* samples = calloc(*count, sizeof *samples);
  size_t at = (size_t)(0.3 * kRate);
  for (int n = 0; n < 4; ++n, at += note + gap) {
    for (size_t i = 0; i < note; ++i) {
      double value = 0;
      for (int k = 1; k <= 6; ++k) value += sin(2 * kPi * k * notes[n] * i / kRate) / k;
      samples[at + i] = (int16_t)lround(level * 32767 * value / 2.5);
    }
  }
  return samples;
}

/* What the callbacks of one analysis heard. */
typedef struct heard {
  int progress;
  int warnings;
  pitchtrack_warning_kind first_kind;
  char first_message[512];
  double first_start, first_end;
  size_t frames;
  int64_t next_index;
  int32_t frame_values[1024];
  size_t notes;
} heard;

static void on_progress(const char* line, void* data) {
  heard* h = data;
  if (strstr(line, "===>") != NULL) ++h->progress;
}

static void on_warning(const pitchtrack_warning* warning, void* data) {
  heard* h = data;
  if (h->warnings++ > 0) return;
  h->first_kind = warning->kind;
  h->first_start = warning->start_seconds;
  h->first_end = warning->end_seconds;
  snprintf(h->first_message, sizeof h->first_message, "%s", warning->message);
}

static void on_frame(const pitchtrack_frame* frame, void* data) {
  heard* h = data;
  CHECK(frame->index == h->next_index++);
  if (frame->index < 1024) h->frame_values[frame->index] = frame->value;
  ++h->frames;
}

static void on_note(const pitchtrack_note* note, void* data) {
  heard* h = data;
  CHECK(note->midi_note >= 56 && note->midi_note <= 63 &&
        note->onset_seconds < note->offset_seconds);
  ++h->notes;
}

static pitchtrack_options listening(int32_t analysis, heard* h) {
  pitchtrack_options options;
  pitchtrack_options_init(&options);
  options.analysis = analysis;
  options.user_data = h;
  options.progress = on_progress;
  options.warning = on_warning;
  if (analysis == PITCHTRACK_ANALYSIS_PRECISE) {
    options.frame = on_frame;
    options.note = on_note;
  }
  return options;
}

static int same_contour(const pitchtrack_contour* a, const pitchtrack_contour* b) {
  return a->count == b->count && a->first_frame == b->first_frame &&
         a->recording_frames == b->recording_frames &&
         memcmp(a->values, b->values, a->count * sizeof *a->values) == 0 &&
         (a->hz == NULL) == (b->hz == NULL) &&
         (a->hz == NULL || memcmp(a->hz, b->hz, a->count * sizeof *a->hz) == 0);
}

/* The tracker, fed in blocks of any size, gives the contour and the callbacks of the
 * whole-recording entry, in both analyses. */
static void tracker_equals_whole_recording(void) {
  static const size_t blocks[] = {1, 999, 1 << 20};
  size_t count = 0;
  int16_t* samples = phrase(0.5, &count);
  for (int analysis = 0; analysis < 2; ++analysis) {
    heard whole = {0};
    pitchtrack_options options = listening(analysis, &whole);
    pitchtrack_contour* expected = NULL;
    CHECK(pitchtrack_track_samples_options(samples, count, kRate, 16, &options, &expected, NULL) ==
          PITCHTRACK_OK);
    CHECK(expected->count > 40 && expected->recording_frames == (int64_t)(count / 512));
    CHECK(analysis == 0 ? whole.progress == 2 : whole.frames == (size_t)expected->recording_frames);
    CHECK(whole.warnings == 0 && whole.notes == (analysis == 0 ? 0u : 4u));
    for (size_t i = 0; analysis == 1 && i < expected->count; ++i) {
      CHECK(whole.frame_values[expected->first_frame + (int64_t)i] == expected->values[i]);
    }
    for (size_t b = 0; b < sizeof blocks / sizeof *blocks; ++b) {
      heard streamed = {0};
      options = listening(analysis, &streamed);
      pitchtrack_tracker* tracker = NULL;
      pitchtrack_contour* contour = NULL;
      CHECK(pitchtrack_tracker_new(kRate, 16, &options, &tracker, NULL) == PITCHTRACK_OK);
      for (size_t at = 0; at < count; at += blocks[b]) {
        const size_t block = count - at < blocks[b] ? count - at : blocks[b];
        CHECK(pitchtrack_tracker_push(tracker, samples + at, block, NULL) == PITCHTRACK_OK);
      }
      CHECK(pitchtrack_tracker_finish(tracker, &contour, NULL) == PITCHTRACK_OK);
      CHECK(same_contour(contour, expected));
      CHECK(streamed.progress == whole.progress && streamed.frames == whole.frames);
      CHECK(memcmp(streamed.frame_values, whole.frame_values, sizeof whole.frame_values) == 0);
      pitchtrack_contour_free(contour);
      pitchtrack_tracker_free(tracker);
    }
    pitchtrack_contour_free(expected);
  }
  free(samples);
}

/* A quiet phrase: the warning callback hears why the contour is empty and what would help, and
 * the remedy it names, set in the options, brings the contour back without a warning. */
static void warnings_and_remedies(void) {
  size_t count = 0;
  int16_t* samples = phrase(0.004, &count);
  heard quiet = {0};
  pitchtrack_options options = listening(PITCHTRACK_ANALYSIS_DEFAULT, &quiet);
  pitchtrack_contour* contour = NULL;
  CHECK(pitchtrack_track_samples_options(samples, count, kRate, 16, &options, &contour, NULL) ==
        PITCHTRACK_OK);
  CHECK(contour->count == 0 && quiet.warnings == 2);
  CHECK(quiet.first_kind == PITCHTRACK_WARNING_QUIET_RECORDING);
  CHECK(strstr(quiet.first_message, "--normalize") != NULL);
  CHECK(quiet.first_start == 0 && quiet.first_end > 2.9);
  pitchtrack_contour_free(contour);
  heard normalized = {0};
  options = listening(PITCHTRACK_ANALYSIS_DEFAULT, &normalized);
  options.normalize = 1;
  CHECK(pitchtrack_track_samples_options(samples, count, kRate, 16, &options, &contour, NULL) ==
        PITCHTRACK_OK);
  CHECK(contour->count > 40 && normalized.warnings == 0);
  pitchtrack_contour_free(contour);
  free(samples);
}

/* The precise analysis with nothing kept: every frame and note reaches its callback, the contour
 * counts the frames but holds none; a longer shortest note drops the notes. The live entries are
 * the same tracker. */
static void live_frames_and_notes(void) {
  size_t count = 0;
  int16_t* samples = phrase(0.5, &count);
  heard kept = {0}, live = {0}, lenient = {0};
  pitchtrack_options options = listening(PITCHTRACK_ANALYSIS_PRECISE, &kept);
  options.keep_no_frames = 1;
  pitchtrack_tracker* tracker = NULL;
  pitchtrack_contour* contour = NULL;
  CHECK(pitchtrack_tracker_new(kRate, 16, &options, &tracker, NULL) == PITCHTRACK_OK);
  CHECK(pitchtrack_tracker_push(tracker, samples, count, NULL) == PITCHTRACK_OK);
  CHECK(pitchtrack_tracker_finish(tracker, &contour, NULL) == PITCHTRACK_OK);
  CHECK(contour->count == 0 && contour->recording_frames == (int64_t)kept.frames);
  CHECK(kept.frames == count / 512 && kept.notes == 4);
  pitchtrack_contour_free(contour);
  pitchtrack_tracker_free(tracker);

  pitchtrack_live* stream = NULL;
  CHECK(pitchtrack_live_new(kRate, 16, on_frame, &live, &stream, NULL) == PITCHTRACK_OK);
  CHECK(pitchtrack_live_push(stream, samples, count, NULL) == PITCHTRACK_OK);
  CHECK(pitchtrack_live_finish(stream, NULL) == PITCHTRACK_OK);
  pitchtrack_live_free(stream);
  CHECK(live.frames == kept.frames);
  CHECK(memcmp(live.frame_values, kept.frame_values, sizeof kept.frame_values) == 0);

  pitchtrack_notes* notes = NULL;
  options = listening(PITCHTRACK_ANALYSIS_DEFAULT, &lenient);
  options.min_note_seconds = 0.5; /* longer than every note: none is kept */
  CHECK(pitchtrack_notes_samples_options(samples, count, kRate, 16, &options, &notes, NULL) ==
        PITCHTRACK_OK);
  CHECK(notes->count == 0 && lenient.notes == 0);
  pitchtrack_notes_free(notes);
  free(samples);
}

/* The size field: a struct from an older header (only its first fields) takes the defaults for
 * the rest whatever bytes follow, one from a newer header is taken when its unknown fields are
 * zero, and anything else is refused. */
static void options_grow_by_their_size(void) {
  size_t count = 0;
  int16_t* samples = phrase(0.5, &count);
  struct {
    pitchtrack_options known;
    double later[4];
  } newer;
  memset(&newer, 0, sizeof newer);
  newer.known.size = sizeof newer;
  newer.known.analysis = PITCHTRACK_ANALYSIS_PRECISE;
  pitchtrack_options older;
  memset(&older, 0xFF, sizeof older); /* bytes past its size must not be read */
  older.size = offsetof(pitchtrack_options, normalize);
  older.analysis = PITCHTRACK_ANALYSIS_PRECISE;
  pitchtrack_contour* contour = NULL;
  pitchtrack_error error;
  const pitchtrack_options* accepted[] = {&newer.known, &older, NULL};
  for (size_t i = 0; i < 3; ++i) {
    CHECK(pitchtrack_track_samples_options(samples, count, kRate, 16, accepted[i], &contour,
                                           &error) == PITCHTRACK_OK);
    CHECK(contour != NULL && (contour->hz != NULL) == (accepted[i] != NULL));
    pitchtrack_contour_free(contour);
  }
  newer.later[2] = 1.5;
  CHECK(pitchtrack_track_samples_options(samples, count, kRate, 16, &newer.known, &contour,
                                         &error) == PITCHTRACK_INVALID_ARGUMENT);
  CHECK(contour == NULL && strstr(error.message, "does not know") != NULL);
  older.size = 0;
  CHECK(pitchtrack_track_file_options("x.wav", &older, &contour, &error) ==
        PITCHTRACK_INVALID_ARGUMENT);
  CHECK(strstr(error.message, "options.size is 0") != NULL);
  free(samples);
}

/* Calls the library refuses, each with its status and a message naming the fault. */
static void refusals(void) {
  static const int16_t block[4] = {0};
  pitchtrack_tracker* finished = NULL;
  pitchtrack_tracker_new(kRate, 16, NULL, &finished, NULL);
  pitchtrack_tracker_finish(finished, NULL, NULL);
  pitchtrack_options options[6];
  for (int i = 0; i < 6; ++i) pitchtrack_options_init(&options[i]);
  options[0].frame = on_frame; /* the default analysis has no frames to hand out early */
  options[1].analysis = 7;
  options[2].voicing = 9;
  options[3].min_note_seconds = -1;
  options[4].onset_db = NAN;
  options[5].size = 1 << 20;
  const char* said[] = {"precise analysis", "analysis", "voicing",
                        "min_note_seconds", "onset_db", "options.size"};
  pitchtrack_error error;
  for (int i = 0; i < 6; ++i) {
    pitchtrack_tracker* tracker = (pitchtrack_tracker*)&error;
    CHECK(pitchtrack_tracker_new(kRate, 16, &options[i], &tracker, &error) ==
          PITCHTRACK_INVALID_ARGUMENT);
    CHECK(tracker == NULL && strstr(error.message, said[i]) != NULL);
  }
  pitchtrack_tracker* refused = NULL;
  CHECK(pitchtrack_tracker_new(999, 16, NULL, &refused, &error) == PITCHTRACK_INVALID_ARGUMENT);
  CHECK(pitchtrack_tracker_new(kRate, 16, NULL, NULL, &error) == PITCHTRACK_INVALID_ARGUMENT);
  CHECK(pitchtrack_tracker_push(NULL, block, 4, &error) == PITCHTRACK_INVALID_ARGUMENT);
  CHECK(strcmp(error.message, "tracker is NULL") == 0);
  CHECK(pitchtrack_tracker_push(finished, block, 4, &error) == PITCHTRACK_INVALID_ARGUMENT);
  CHECK(strcmp(error.message, "push after finish") == 0);
  CHECK(pitchtrack_tracker_finish(finished, NULL, &error) == PITCHTRACK_INVALID_ARGUMENT);
  CHECK(pitchtrack_live_new(kRate, 16, NULL, NULL, &refused, &error) ==
        PITCHTRACK_INVALID_ARGUMENT);
  CHECK(refused == NULL && strcmp(error.message, "callback is NULL") == 0);
  pitchtrack_tracker_free(finished);
  pitchtrack_tracker_free(NULL);
  pitchtrack_live_free(NULL);
}

int main(void) {
  tracker_equals_whole_recording();
  warnings_and_remedies();
  live_frames_and_notes();
  options_grow_by_their_size();
  refusals();
  if (failures == 0) printf("c_api_test: all checks passed\n");
  return failures == 0 ? 0 : 1;
}
