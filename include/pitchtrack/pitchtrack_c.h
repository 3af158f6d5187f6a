/* pitchtrack from C (C99) and from any language with a C foreign-function interface.
 *
 *   pitchtrack_contour *contour = NULL;
 *   pitchtrack_error error;
 *   if (pitchtrack_track_file("song.wav", &contour, &error) != PITCHTRACK_OK) {
 *     fprintf(stderr, "%s\n", error.message);
 *   } else {
 *     for (size_t i = 0; i < contour->count; ++i) printf("%d\n", contour->values[i]);
 *     pitchtrack_contour_free(contour);
 *   }
 *
 * The contour is the one the C++ API and the pitchtrack tool give (see pitchtrack.h): one value
 * per 32 ms frame in tenths of a semitone, 0 for no pitch, unpitched ends cut. The settings of
 * the C++ Options are a pitchtrack_options, its sinks callbacks; a pitchtrack_tracker takes a
 * recording block by block. No function prints, ends the process or lets an exception out;
 * every failure is a status with its message in the caller's pitchtrack_error. All functions
 * may run in several threads at once (a tracker in one at a time).
 *
 * Link with -lpitchtrack (the library is C++: a static link also needs -lstdc++ -lm;
 * pkg-config --libs pitchtrack-static gives the whole line). */
#ifndef PITCHTRACK_PITCHTRACK_C_H
#define PITCHTRACK_PITCHTRACK_C_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#if defined(__GNUC__) || defined(__clang__)
#define PITCHTRACK_C_API __attribute__((visibility("default")))
#else
#define PITCHTRACK_C_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef enum pitchtrack_status {
  PITCHTRACK_OK = 0,
  PITCHTRACK_WAVE_ERROR = 1,       /* the file cannot be read as a supported WAV file */
  PITCHTRACK_INVALID_ARGUMENT = 2, /* a null pointer, a rate or sample size out of range */
  PITCHTRACK_OUT_OF_MEMORY = 3,
  PITCHTRACK_TOO_LONG = 4,      /* longer than the analysis can index */
  PITCHTRACK_INTERNAL_ERROR = 5 /* an internal fault of the analysis */
} pitchtrack_status;

typedef struct pitchtrack_error {
  pitchtrack_status status;
  uint32_t wave_code; /* for PITCHTRACK_WAVE_ERROR: the reader's numbered code (4 = open) */
  char message[512];  /* "song.wav: no data chunk"; always NUL-terminated */
} pitchtrack_error;

typedef struct pitchtrack_contour {
  int32_t* values; /* count values, tenths of a semitone, 0 = no pitch */
  size_t count;
  int64_t first_frame;  /* index in the recording of the frame of values[0] */
  double frame_seconds; /* 0.032 */
  /* From the precise analysis (PITCHTRACK_PRECISE), count entries each: the measured frequency
   * in Hz and the confidence 0..1 (both 0 where there is no pitch). NULL from the default. */
  double* hz;
  double* confidence;
  /* The whole 32 ms frames of the recording: values[i] is frame first_frame + i of frames
   * 0 .. recording_frames - 1 (those outside the values have no pitch). */
  int64_t recording_frames;
} pitchtrack_contour;

/* One note of a recording (see notes.h): onset and offset in seconds from its start, the MIDI
 * note number nearest the median pitch and the median's deviation from it in cents, the median
 * frequency, the count of 32 ms frames, the mean confidence, the loudest frame's level in dB
 * relative to full scale and the MIDI velocity 1..127 made from it. */
typedef struct pitchtrack_note {
  double onset_seconds;
  double offset_seconds;
  int32_t midi_note;
  double cents;
  double hz;
  int32_t frames;
  double confidence;
  double level_db;
  int32_t velocity;
} pitchtrack_note;

typedef struct pitchtrack_notes {
  pitchtrack_note* notes; /* count notes in order of onset */
  size_t count;
} pitchtrack_notes;

/* One frame of the precise analysis, handed out as soon as it is final (the audio up to 80 ms
 * past its end has been pushed), with the numbers the contour of the same recording holds for
 * it. */
typedef struct pitchtrack_frame {
  int64_t index;     /* the frame covers index * 32 ms .. (index + 1) * 32 ms */
  int32_t value;     /* tenths of a semitone, 0 = no pitch */
  double hz;         /* the measured frequency, 0 = no pitch */
  double confidence; /* 0..1, 0 = no pitch */
} pitchtrack_frame;

/* What a warning is about (see options.h); the contour is the same whether or not anyone
 * listens. */
typedef enum pitchtrack_warning_kind {
  PITCHTRACK_WARNING_CLIPPING = 0,              /* the recording clips */
  PITCHTRACK_WARNING_QUIET_RECORDING = 1,       /* the reduction to 8 bits loses most of it */
  PITCHTRACK_WARNING_FINAL_STRETCH_DROPPED = 2, /* the final-gap rule dropped the last stretch */
  PITCHTRACK_WARNING_OUTSIDE_FINAL_RANGE = 3,   /* most of the first pass lies outside the range */
  PITCHTRACK_WARNING_EMPTY_CONTOUR = 4,         /* no pitch, although the recording is not silent */
  PITCHTRACK_WARNING_STREAM_ENDED_EARLY = 5     /* a WAV stream ended before its stated size */
} pitchtrack_warning_kind;

/* Something the analysis did to the recording that its user may not expect: where, in seconds
 * from the start of the recording, and a message of one line naming the option that would change
 * the result (valid during the callback only). */
typedef struct pitchtrack_warning {
  pitchtrack_warning_kind kind;
  double start_seconds;
  double end_seconds;
  const char* message;
} pitchtrack_warning;

/* The callbacks of an analysis. Each is called from inside the call that analyses (a track
 * entry, pitchtrack_tracker_push or pitchtrack_tracker_finish), on its thread, with the
 * user_data of the options. */
typedef void (*pitchtrack_progress_callback)(const char* line, void* user_data);
typedef void (*pitchtrack_warning_callback)(const pitchtrack_warning* warning, void* user_data);
typedef void (*pitchtrack_frame_callback)(const pitchtrack_frame* frame, void* user_data);
typedef void (*pitchtrack_note_callback)(const pitchtrack_note* note, void* user_data);

typedef enum pitchtrack_analysis {
  PITCHTRACK_ANALYSIS_DEFAULT = 0, /* whole semitones, the tool's pitch file */
  PITCHTRACK_ANALYSIS_PRECISE = 1  /* tenths of a semitone, Hz, confidence; causal */
} pitchtrack_analysis;

typedef enum pitchtrack_voicing {
  PITCHTRACK_VOICING_RELATIVE = 0, /* voiced means loud for this recording */
  PITCHTRACK_VOICING_STRICT = 1    /* and periodic, and not faint */
} pitchtrack_voicing;

/* The settings of an analysis: the fields of the C++ pitchtrack::Options (options.h). Zero is
 * the default of every field, so
 *
 *   pitchtrack_options options;
 *   pitchtrack_options_init(&options);
 *   options.analysis = PITCHTRACK_ANALYSIS_PRECISE;
 *
 * is all a caller writes. `size` is sizeof(pitchtrack_options) as the caller was compiled: the
 * library reads the fields that fit in it and takes the defaults for any it adds later, so the
 * struct can grow; the fields of a newer header than the library knows must be zero
 * (PITCHTRACK_INVALID_ARGUMENT otherwise), and a size too small to hold `size` itself, or larger
 * than any pitchtrack_options will be (4096 bytes), is PITCHTRACK_INVALID_ARGUMENT. A caller
 * that cannot use pitchtrack_options_init (a foreign-function interface) zeroes the struct and
 * sets `size` itself. Every entry that takes options takes NULL for the defaults. */
typedef struct pitchtrack_options {
  size_t size;
  int32_t analysis; /* a pitchtrack_analysis */
  /* The remedies of the default analysis (the precise one ignores them), nonzero for on:
   * scale 16-bit samples to full range before the reduction to 8 bits; keep the last stretch
   * of sound however long the silence before it; the voicing rule. */
  int normalize;
  int keep_final;
  int32_t voicing; /* a pitchtrack_voicing */
  /* How the precise analysis groups frames into notes: the shortest note in seconds and the dip
   * and rise of the level in dB that separate repeated notes; 0 for the defaults (0.1 s, 6 dB),
   * PITCHTRACK_INVALID_ARGUMENT when negative. */
  double min_note_seconds;
  double onset_db;
  void* user_data; /* handed to every callback below */
  /* Optional (NULL: nothing is reported). progress: the tool's progress lines ("fs=44100 ===>
   * Resample to have fs=8000"), without a line end; warning: each warning of the analysis. */
  pitchtrack_progress_callback progress;
  pitchtrack_warning_callback warning;
  /* The precise analysis only (PITCHTRACK_INVALID_ARGUMENT with the default one, which cannot
   * say anything before the end): frame gets every frame as soon as it is final, from index 0
   * (also the unpitched frames at both ends that a contour cuts); note gets each note as soon
   * as it ends, after the frames that end it. */
  pitchtrack_frame_callback frame;
  pitchtrack_note_callback note;
  /* The precise analysis only: nonzero keeps nothing of the recording for the contour, so that
   * memory stays flat however long a stream runs; the contour then has no values (its
   * recording_frames still counts the frames) and the frames reach only the frame callback. */
  int keep_no_frames;
} pitchtrack_options;

/* Sets every field of *options to its default (zero) and its size to sizeof(pitchtrack_options)
 * as the caller is compiled (an inline function for that reason). */
static inline void pitchtrack_options_init(pitchtrack_options* options) {
  memset(options, 0, sizeof *options);
  options->size = sizeof *options;
}

/* Tracks a WAV file. On success stores a new contour in *contour (free it with
 * pitchtrack_contour_free) and returns PITCHTRACK_OK; otherwise fills *error (which may be NULL)
 * and returns its status. */
PITCHTRACK_C_API pitchtrack_status pitchtrack_track_file(const char* path,
                                                         pitchtrack_contour** contour,
                                                         pitchtrack_error* error);

/* Tracks one channel of samples at sample_rate Hz: signed 16-bit values for bits_per_sample 16,
 * the unsigned byte values 0..255 for 8 (PITCHTRACK_INVALID_ARGUMENT for any other value).
 * PITCHTRACK_TOO_LONG for more samples than the analysis can index. */
PITCHTRACK_C_API pitchtrack_status pitchtrack_track_samples(const int16_t* samples, size_t count,
                                                            int32_t sample_rate,
                                                            int32_t bits_per_sample,
                                                            pitchtrack_contour** contour,
                                                            pitchtrack_error* error);

/* The same two entries with the settings of `options` (NULL: the defaults). */
PITCHTRACK_C_API pitchtrack_status pitchtrack_track_file_options(const char* path,
                                                                 const pitchtrack_options* options,
                                                                 pitchtrack_contour** contour,
                                                                 pitchtrack_error* error);
PITCHTRACK_C_API pitchtrack_status pitchtrack_track_samples_options(
    const int16_t* samples, size_t count, int32_t sample_rate, int32_t bits_per_sample,
    const pitchtrack_options* options, pitchtrack_contour** contour, pitchtrack_error* error);

/* The analysis settings of the *_with entries, or-ed together; 0 is the default analysis. The
 * options entries above say the same and more. */
#define PITCHTRACK_PRECISE 0x1u        /* the precise analysis (tenths, Hz, confidence) */
#define PITCHTRACK_NORMALIZE 0x2u      /* default analysis: scale to full range first */
#define PITCHTRACK_KEEP_FINAL 0x4u     /* default analysis: keep the last stretch of sound */
#define PITCHTRACK_STRICT_VOICING 0x8u /* default analysis: voiced frames must be periodic */

/* The track entries with the settings of `flags` (PITCHTRACK_PRECISE, ...); an unknown bit is
 * PITCHTRACK_INVALID_ARGUMENT. */
PITCHTRACK_C_API pitchtrack_status pitchtrack_track_file_with(const char* path, uint32_t flags,
                                                              pitchtrack_contour** contour,
                                                              pitchtrack_error* error);
PITCHTRACK_C_API pitchtrack_status pitchtrack_track_samples_with(
    const int16_t* samples, size_t count, int32_t sample_rate, int32_t bits_per_sample,
    uint32_t flags, pitchtrack_contour** contour, pitchtrack_error* error);

/* Frees a contour of this library; NULL is ignored. */
PITCHTRACK_C_API void pitchtrack_contour_free(pitchtrack_contour* contour);

/* A recording that arrives block by block (a socket, a sound card):
 *
 *   pitchtrack_tracker *tracker = NULL;
 *   pitchtrack_tracker_new(16000, 16, &options, &tracker, &error);
 *   while (...) pitchtrack_tracker_push(tracker, block, count, &error);
 *   pitchtrack_tracker_finish(tracker, &contour, &error);
 *   pitchtrack_tracker_free(tracker);
 *
 * The contour equals that of pitchtrack_track_samples_options of all the samples at once,
 * whatever the blocks. With the precise analysis and a frame callback, push hands each frame to
 * it as soon as it is final, so the tracker follows a live recording. A tracker belongs to one
 * thread at a time. */
typedef struct pitchtrack_tracker pitchtrack_tracker;

/* A tracker for samples at sample_rate Hz (signed 16-bit values for bits_per_sample 16, the
 * unsigned byte values 0..255 for 8) with `options` (NULL: the defaults), which the tracker
 * copies. Stores it in *tracker; free it with pitchtrack_tracker_free. */
PITCHTRACK_C_API pitchtrack_status pitchtrack_tracker_new(int32_t sample_rate,
                                                          int32_t bits_per_sample,
                                                          const pitchtrack_options* options,
                                                          pitchtrack_tracker** tracker,
                                                          pitchtrack_error* error);
/* The next block, of any size (samples may be NULL when count is 0). */
PITCHTRACK_C_API pitchtrack_status pitchtrack_tracker_push(pitchtrack_tracker* tracker,
                                                           const int16_t* samples, size_t count,
                                                           pitchtrack_error* error);
/* Ends the recording and stores its contour in *contour (free it with pitchtrack_contour_free),
 * or drops it when contour is NULL. The tracker then takes no more blocks and no second finish
 * (PITCHTRACK_INVALID_ARGUMENT). */
PITCHTRACK_C_API pitchtrack_status pitchtrack_tracker_finish(pitchtrack_tracker* tracker,
                                                             pitchtrack_contour** contour,
                                                             pitchtrack_error* error);
/* NULL is ignored. */
PITCHTRACK_C_API void pitchtrack_tracker_free(pitchtrack_tracker* tracker);

/* Live tracking in one call: a tracker of the precise analysis that calls callback(frame,
 * user_data) with each frame as soon as it is final and keeps nothing of the recording
 * (options with PITCHTRACK_ANALYSIS_PRECISE, the frame callback and keep_no_frames), so an
 * endless stream runs in flat memory and a push allocates nothing once warmed up. The live
 * functions are the tracker's: pitchtrack_live_finish drops the (empty) contour. */
typedef pitchtrack_tracker pitchtrack_live;
PITCHTRACK_C_API pitchtrack_status pitchtrack_live_new(int32_t sample_rate, int32_t bits_per_sample,
                                                       pitchtrack_frame_callback callback,
                                                       void* user_data, pitchtrack_live** live,
                                                       pitchtrack_error* error);
PITCHTRACK_C_API pitchtrack_status pitchtrack_live_push(pitchtrack_live* live,
                                                        const int16_t* samples, size_t count,
                                                        pitchtrack_error* error);
PITCHTRACK_C_API pitchtrack_status pitchtrack_live_finish(pitchtrack_live* live,
                                                          pitchtrack_error* error);
PITCHTRACK_C_API void pitchtrack_live_free(pitchtrack_live* live);

/* The notes of a WAV file or of samples, from the precise analysis whatever `flags` say (the
 * note settings are the defaults: 0.1 s shortest note, 6 dB onset). On success stores new notes
 * in *notes (free them with pitchtrack_notes_free). */
PITCHTRACK_C_API pitchtrack_status pitchtrack_notes_file(const char* path, uint32_t flags,
                                                         pitchtrack_notes** notes,
                                                         pitchtrack_error* error);
PITCHTRACK_C_API pitchtrack_status pitchtrack_notes_samples(const int16_t* samples, size_t count,
                                                            int32_t sample_rate,
                                                            int32_t bits_per_sample, uint32_t flags,
                                                            pitchtrack_notes** notes,
                                                            pitchtrack_error* error);
/* The same with `options` (NULL: the defaults), whose note settings apply; the analysis is the
 * precise one whatever options->analysis says. */
PITCHTRACK_C_API pitchtrack_status pitchtrack_notes_file_options(const char* path,
                                                                 const pitchtrack_options* options,
                                                                 pitchtrack_notes** notes,
                                                                 pitchtrack_error* error);
PITCHTRACK_C_API pitchtrack_status pitchtrack_notes_samples_options(
    const int16_t* samples, size_t count, int32_t sample_rate, int32_t bits_per_sample,
    const pitchtrack_options* options, pitchtrack_notes** notes, pitchtrack_error* error);

/* Frees notes of this library; NULL is ignored. */
PITCHTRACK_C_API void pitchtrack_notes_free(pitchtrack_notes* notes);

/* Writes the pitch file's line ("600+0+610\n") into buffer, truncated to size - 1 bytes and
 * NUL-terminated when size > 0; returns the length of the whole line, as snprintf does. */
PITCHTRACK_C_API size_t pitchtrack_format_contour(const pitchtrack_contour* contour, char* buffer,
                                                  size_t size);

/* The library's version, "MAJOR.MINOR.PATCH". */
PITCHTRACK_C_API const char* pitchtrack_version(void);

#ifdef __cplusplus
}
#endif

#endif /* PITCHTRACK_PITCHTRACK_C_H */
