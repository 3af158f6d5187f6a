// The C interface's whole-recording entries (include/pitchtrack/pitchtrack_c.h): the C++
// entries with their settings read from C, their results copied out and every exception turned
// into a status and a message.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "c_options.h"
#include "c_results.h"
#include "c_status.h"
#include "pitchtrack/pitchtrack.h"
#include "pitchtrack/pitchtrack_c.h"

namespace pitchtrack::c_api {

namespace {

// Runs `track` and stores a C copy of its result (a contour or notes) in *result, or the status
// of its failure in *error; `name` names the result pointer in the message for a null one.
template <typename Result, typename Track>
pitchtrack_status tracked(Result** result, pitchtrack_error* error, const char* name, Track track) {
  if (result == nullptr) {
    return fail(error, PITCHTRACK_INVALID_ARGUMENT, (std::string(name) + " is NULL").c_str());
  }
  *result = nullptr;
  return guarded(error, [&] { *result = copyOut(track()); });
}

Contour fileContour(const char* path, const Options& options) {
  requireArgument(path != nullptr, "path");
  return trackFile(path, options);
}

Contour samplesContour(const int16_t* samples, size_t count, int32_t sampleRate,
                       int32_t bitsPerSample, const Options& options) {
  requireArgument(samples != nullptr || count == 0, "samples");
  return track(samples, count, sampleRate, bitsPerSample, options);
}

Options precise(Options options) {
  options.analysis = Analysis::kPrecise;
  return options;
}

}  // namespace

}  // namespace pitchtrack::c_api

// The C entries below call the helpers of the interface by their short names.
using namespace pitchtrack::c_api;

extern "C" {

pitchtrack_status pitchtrack_track_file(const char* path, pitchtrack_contour** contour,
                                        pitchtrack_error* error) {
  return pitchtrack_track_file_options(path, nullptr, contour, error);
}

pitchtrack_status pitchtrack_track_file_with(const char* path, uint32_t flags,
                                             pitchtrack_contour** contour,
                                             pitchtrack_error* error) {
  return tracked(contour, error, "contour",
                 [&] { return fileContour(path, optionsOfFlags(flags)); });
}

pitchtrack_status pitchtrack_track_file_options(const char* path, const pitchtrack_options* options,
                                                pitchtrack_contour** contour,
                                                pitchtrack_error* error) {
  return tracked(contour, error, "contour", [&] { return fileContour(path, optionsOf(options)); });
}

pitchtrack_status pitchtrack_track_samples(const int16_t* samples, size_t count,
                                           int32_t sample_rate, int32_t bits_per_sample,
                                           pitchtrack_contour** contour, pitchtrack_error* error) {
  return pitchtrack_track_samples_options(samples, count, sample_rate, bits_per_sample, nullptr,
                                          contour, error);
}

pitchtrack_status pitchtrack_track_samples_with(const int16_t* samples, size_t count,
                                                int32_t sample_rate, int32_t bits_per_sample,
                                                uint32_t flags, pitchtrack_contour** contour,
                                                pitchtrack_error* error) {
  return tracked(contour, error, "contour", [&] {
    return samplesContour(samples, count, sample_rate, bits_per_sample, optionsOfFlags(flags));
  });
}

pitchtrack_status pitchtrack_track_samples_options(const int16_t* samples, size_t count,
                                                   int32_t sample_rate, int32_t bits_per_sample,
                                                   const pitchtrack_options* options,
                                                   pitchtrack_contour** contour,
                                                   pitchtrack_error* error) {
  return tracked(contour, error, "contour", [&] {
    return samplesContour(samples, count, sample_rate, bits_per_sample, optionsOf(options));
  });
}

pitchtrack_status pitchtrack_notes_file(const char* path, uint32_t flags, pitchtrack_notes** notes,
                                        pitchtrack_error* error) {
  return tracked(notes, error, "notes",
                 [&] { return fileContour(path, precise(optionsOfFlags(flags))).notes; });
}

pitchtrack_status pitchtrack_notes_file_options(const char* path, const pitchtrack_options* options,
                                                pitchtrack_notes** notes, pitchtrack_error* error) {
  return tracked(notes, error, "notes",
                 [&] { return fileContour(path, precise(optionsOf(options))).notes; });
}

pitchtrack_status pitchtrack_notes_samples(const int16_t* samples, size_t count,
                                           int32_t sample_rate, int32_t bits_per_sample,
                                           uint32_t flags, pitchtrack_notes** notes,
                                           pitchtrack_error* error) {
  return tracked(notes, error, "notes", [&] {
    return samplesContour(samples, count, sample_rate, bits_per_sample,
                          precise(optionsOfFlags(flags)))
        .notes;
  });
}

pitchtrack_status pitchtrack_notes_samples_options(const int16_t* samples, size_t count,
                                                   int32_t sample_rate, int32_t bits_per_sample,
                                                   const pitchtrack_options* options,
                                                   pitchtrack_notes** notes,
                                                   pitchtrack_error* error) {
  return tracked(notes, error, "notes", [&] {
    return samplesContour(samples, count, sample_rate, bits_per_sample, precise(optionsOf(options)))
        .notes;
  });
}

void pitchtrack_notes_free(pitchtrack_notes* notes) {
  if (notes == nullptr) return;
  std::free(notes->notes);
  std::free(notes);
}

void pitchtrack_contour_free(pitchtrack_contour* contour) {
  if (contour == nullptr) return;
  std::free(contour->values);
  std::free(contour->hz);
  std::free(contour->confidence);
  std::free(contour);
}

size_t pitchtrack_format_contour(const pitchtrack_contour* contour, char* buffer, size_t size) {
  std::string line = "\n";
  try {
    if (contour != nullptr) line = pitchtrack::formatContour(contour->values, contour->count);
  } catch (...) {
    line.clear();
  }
  if (size > 0 && buffer != nullptr) {
    const size_t kept = std::min(line.size(), size - 1);
    std::memcpy(buffer, line.data(), kept);
    buffer[kept] = '\0';
  }
  return line.size();
}

const char* pitchtrack_version(void) { return PITCHTRACK_VERSION_STRING; }

}  // extern "C"
