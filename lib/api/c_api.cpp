// The C interface (include/pitchtrack/pitchtrack_c.h): the C++ entries with every exception
// turned into a status and a message.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "pitchtrack/pitchtrack.h"
#include "pitchtrack/pitchtrack_c.h"

namespace pitchtrack {

namespace {

pitchtrack_status fail(pitchtrack_error* error, pitchtrack_status status, const char* message,
                       uint32_t waveCode = 0) {
  if (error != nullptr) {
    error->status = status;
    error->wave_code = waveCode;
    std::snprintf(error->message, sizeof error->message, "%s", message);
  }
  return status;
}

pitchtrack_status succeed(pitchtrack_error* error) {
  if (error != nullptr) fail(error, PITCHTRACK_OK, "");
  return PITCHTRACK_OK;
}

constexpr uint32_t kKnownFlags =
    PITCHTRACK_PRECISE | PITCHTRACK_NORMALIZE | PITCHTRACK_KEEP_FINAL | PITCHTRACK_STRICT_VOICING;

Options optionsOf(uint32_t flags) {
  if ((flags & ~kKnownFlags) != 0)
    throw std::invalid_argument("unknown flags in " + std::to_string(flags));
  Options options;
  if ((flags & PITCHTRACK_PRECISE) != 0) options.analysis = Analysis::kPrecise;
  options.normalize = (flags & PITCHTRACK_NORMALIZE) != 0;
  options.keepFinal = (flags & PITCHTRACK_KEEP_FINAL) != 0;
  if ((flags & PITCHTRACK_STRICT_VOICING) != 0) options.voicing = Voicing::kStrict;
  return options;
}

// A malloc'ed copy of `values`, never NULL (one element at least), for the C caller to free.
template <typename T>
T* copyArray(const std::vector<T>& values) {
  auto* out = static_cast<T*>(std::malloc(std::max<size_t>(1, values.size()) * sizeof(T)));
  if (out == nullptr) throw std::bad_alloc();
  std::copy(values.begin(), values.end(), out);
  return out;
}

// A C copy of `contour`, allocated with malloc so that no C++ allocator crosses the boundary.
pitchtrack_contour* copyOut(const Contour& contour) {
  auto* out = static_cast<pitchtrack_contour*>(std::calloc(1, sizeof(pitchtrack_contour)));
  if (out == nullptr) throw std::bad_alloc();
  out->count = contour.values.size();
  out->first_frame = contour.firstFrame;
  out->frame_seconds = contour.frameSeconds;
  try {
    out->values = copyArray(contour.values);
    if (contour.hz.size() == contour.size() && contour.confidence.size() == contour.size()) {
      out->hz = copyArray(contour.hz);
      out->confidence = copyArray(contour.confidence);
    }
  } catch (...) {
    pitchtrack_contour_free(out);
    throw;
  }
  return out;
}

// A C copy of `notes`, allocated with malloc.
pitchtrack_notes* copyOut(const std::vector<Note>& notes) {
  auto* out = static_cast<pitchtrack_notes*>(std::calloc(1, sizeof(pitchtrack_notes)));
  if (out == nullptr) throw std::bad_alloc();
  std::vector<pitchtrack_note> copies;
  for (const Note& n : notes) {
    copies.push_back({n.onsetSeconds, n.offsetSeconds, n.midiNote, n.cents, n.hz, n.frames,
                      n.confidence, n.levelDb, n.velocity});
  }
  try {
    out->notes = copyArray(copies);
  } catch (...) {
    std::free(out);
    throw;
  }
  out->count = notes.size();
  return out;
}

// Runs `track` and stores a C copy of its result (a contour or notes) in *result, or maps its
// exception to a status; `name` names the result pointer in the message for a null one.
template <typename Result, typename Track>
pitchtrack_status guarded(Result** result, pitchtrack_error* error, Track track,
                          const char* name = "contour") {
  if (result == nullptr) {
    return fail(error, PITCHTRACK_INVALID_ARGUMENT, (std::string(name) + " is NULL").c_str());
  }
  *result = nullptr;
  try {
    *result = copyOut(track());
    return succeed(error);
  } catch (const WaveError& e) {
    return fail(error, PITCHTRACK_WAVE_ERROR, e.what(), e.code());
  } catch (const InternalError& e) {
    return fail(error, PITCHTRACK_INTERNAL_ERROR, e.what());
  } catch (const std::invalid_argument& e) {
    return fail(error, PITCHTRACK_INVALID_ARGUMENT, e.what());
  } catch (const std::length_error& e) {
    return fail(error, PITCHTRACK_TOO_LONG, e.what());
  } catch (const std::bad_alloc&) {
    return fail(error, PITCHTRACK_OUT_OF_MEMORY, "not enough memory");
  } catch (const std::exception& e) {
    return fail(error, PITCHTRACK_INTERNAL_ERROR, e.what());
  } catch (...) {
    return fail(error, PITCHTRACK_INTERNAL_ERROR, "unknown failure");
  }
}

}  // namespace

}  // namespace pitchtrack

extern "C" {

pitchtrack_status pitchtrack_track_file(const char* path, pitchtrack_contour** contour,
                                        pitchtrack_error* error) {
  if (path == nullptr) {
    return pitchtrack::fail(error, PITCHTRACK_INVALID_ARGUMENT, "path is NULL");
  }
  return pitchtrack_track_file_with(path, 0, contour, error);
}

pitchtrack_status pitchtrack_track_file_with(const char* path, uint32_t flags,
                                             pitchtrack_contour** contour,
                                             pitchtrack_error* error) {
  if (path == nullptr) {
    return pitchtrack::fail(error, PITCHTRACK_INVALID_ARGUMENT, "path is NULL");
  }
  return pitchtrack::guarded(contour, error, [path, flags] {
    return pitchtrack::trackFile(path, pitchtrack::optionsOf(flags));
  });
}

pitchtrack_status pitchtrack_track_samples(const int16_t* samples, size_t count,
                                           int32_t sample_rate, int32_t bits_per_sample,
                                           pitchtrack_contour** contour, pitchtrack_error* error) {
  return pitchtrack_track_samples_with(samples, count, sample_rate, bits_per_sample, 0, contour,
                                       error);
}

pitchtrack_status pitchtrack_track_samples_with(const int16_t* samples, size_t count,
                                                int32_t sample_rate, int32_t bits_per_sample,
                                                uint32_t flags, pitchtrack_contour** contour,
                                                pitchtrack_error* error) {
  if (samples == nullptr && count > 0) {
    return pitchtrack::fail(error, PITCHTRACK_INVALID_ARGUMENT, "samples is NULL");
  }
  return pitchtrack::guarded(contour, error, [=] {
    return pitchtrack::track(samples, count, sample_rate, bits_per_sample,
                             pitchtrack::optionsOf(flags));
  });
}

pitchtrack_status pitchtrack_notes_file(const char* path, uint32_t flags, pitchtrack_notes** notes,
                                        pitchtrack_error* error) {
  if (path == nullptr) {
    return pitchtrack::fail(error, PITCHTRACK_INVALID_ARGUMENT, "path is NULL");
  }
  return pitchtrack::guarded(
      notes, error,
      [path, flags] { return pitchtrack::trackNotes(path, pitchtrack::optionsOf(flags)); },
      "notes");
}

pitchtrack_status pitchtrack_notes_samples(const int16_t* samples, size_t count,
                                           int32_t sample_rate, int32_t bits_per_sample,
                                           uint32_t flags, pitchtrack_notes** notes,
                                           pitchtrack_error* error) {
  if (samples == nullptr && count > 0) {
    return pitchtrack::fail(error, PITCHTRACK_INVALID_ARGUMENT, "samples is NULL");
  }
  return pitchtrack::guarded(
      notes, error,
      [=] {
        return pitchtrack::trackNotes(samples, count, sample_rate, bits_per_sample,
                                      pitchtrack::optionsOf(flags));
      },
      "notes");
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
