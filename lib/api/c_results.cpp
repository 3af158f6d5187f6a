#include "c_results.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "c_options.h"

namespace pitchtrack::c_api {

namespace {

// A malloc'ed copy of `values`, never NULL (one element at least), for the C caller to free.
template <typename T>
T* copyArray(const std::vector<T>& values) {
  auto* out = static_cast<T*>(std::malloc(std::max<size_t>(1, values.size()) * sizeof(T)));
  if (out == nullptr) throw std::bad_alloc();
  std::copy(values.begin(), values.end(), out);
  return out;
}

}  // namespace

pitchtrack_contour* copyOut(const Contour& contour) {
  auto* out = static_cast<pitchtrack_contour*>(std::calloc(1, sizeof(pitchtrack_contour)));
  if (out == nullptr) throw std::bad_alloc();
  out->count = contour.values.size();
  out->first_frame = contour.firstFrame;
  out->frame_seconds = contour.frameSeconds;
  out->recording_frames = contour.recordingFrames;
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

pitchtrack_notes* copyOut(const std::vector<Note>& notes) {
  std::vector<pitchtrack_note> copies;
  for (const Note& n : notes) copies.push_back(noteForC(n));
  auto* out = static_cast<pitchtrack_notes*>(std::calloc(1, sizeof(pitchtrack_notes)));
  if (out == nullptr) throw std::bad_alloc();
  try {
    out->notes = copyArray(copies);
  } catch (...) {
    std::free(out);
    throw;
  }
  out->count = notes.size();
  return out;
}

}  // namespace pitchtrack::c_api
