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
 * per 32 ms frame in tenths of a semitone, 0 for no pitch, unpitched ends cut. No function
 * prints, ends the process or lets an exception out; every failure is a status with its message
 * in the caller's pitchtrack_error. All functions may run in several threads at once.
 *
 * Link with -lpitchtrack (the library is C++: a static link also needs -lstdc++ -lm;
 * pkg-config --libs pitchtrack-static gives the whole line). */
#ifndef PITCHTRACK_PITCHTRACK_C_H
#define PITCHTRACK_PITCHTRACK_C_H

#include <stddef.h>
#include <stdint.h>

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
} pitchtrack_contour;

/* The analysis settings of the *_with entries, or-ed together; 0 is the default analysis. */
#define PITCHTRACK_PRECISE 0x1u        /* the precise analysis (tenths, Hz, confidence) */
#define PITCHTRACK_NORMALIZE 0x2u      /* default analysis: scale to full range first */
#define PITCHTRACK_KEEP_FINAL 0x4u     /* default analysis: keep the last stretch of sound */
#define PITCHTRACK_STRICT_VOICING 0x8u /* default analysis: voiced frames must be periodic */

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

/* The same two entries with the settings of `flags` (PITCHTRACK_PRECISE, ...); an unknown bit
 * is PITCHTRACK_INVALID_ARGUMENT. */
PITCHTRACK_C_API pitchtrack_status pitchtrack_track_file_with(const char* path, uint32_t flags,
                                                              pitchtrack_contour** contour,
                                                              pitchtrack_error* error);
PITCHTRACK_C_API pitchtrack_status pitchtrack_track_samples_with(
    const int16_t* samples, size_t count, int32_t sample_rate, int32_t bits_per_sample,
    uint32_t flags, pitchtrack_contour** contour, pitchtrack_error* error);

/* Live tracking: the precise analysis of samples that arrive block by block, each frame handed to
 * a callback as soon as it is final (the audio up to 80 ms past its end has been pushed), with
 * the numbers the contour of the same recording holds for it. Every frame comes, from index 0,
 * also the unpitched ones at the ends that a contour cuts. Nothing of the recording is kept, so
 * an endless stream runs in flat memory; a push allocates nothing once warmed up. */
typedef struct pitchtrack_frame {
  int64_t index;     /* the frame covers index * 32 ms .. (index + 1) * 32 ms */
  int32_t value;     /* tenths of a semitone, 0 = no pitch */
  double hz;         /* the measured frequency, 0 = no pitch */
  double confidence; /* 0..1, 0 = no pitch */
} pitchtrack_frame;

/* Called from inside pitchtrack_live_push and pitchtrack_live_finish, in frame order. */
typedef void (*pitchtrack_frame_callback)(const pitchtrack_frame* frame, void* user_data);

typedef struct pitchtrack_live pitchtrack_live;

/* A live tracker for samples at sample_rate Hz (signed 16-bit values for bits_per_sample 16, the
 * unsigned byte values 0..255 for 8) that calls callback(frame, user_data). Free it with
 * pitchtrack_live_free. */
PITCHTRACK_C_API pitchtrack_status pitchtrack_live_new(int32_t sample_rate, int32_t bits_per_sample,
                                                       pitchtrack_frame_callback callback,
                                                       void* user_data, pitchtrack_live** live,
                                                       pitchtrack_error* error);
/* The next block, of any size. */
PITCHTRACK_C_API pitchtrack_status pitchtrack_live_push(pitchtrack_live* live,
                                                        const int16_t* samples, size_t count,
                                                        pitchtrack_error* error);
/* Ends the recording: the last frames become final. The tracker then takes no more blocks
 * (PITCHTRACK_INVALID_ARGUMENT). */
PITCHTRACK_C_API pitchtrack_status pitchtrack_live_finish(pitchtrack_live* live,
                                                          pitchtrack_error* error);
/* NULL is ignored. */
PITCHTRACK_C_API void pitchtrack_live_free(pitchtrack_live* live);

/* Frees a contour of this library; NULL is ignored. */
PITCHTRACK_C_API void pitchtrack_contour_free(pitchtrack_contour* contour);

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
