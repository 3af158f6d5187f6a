// The C interface's streaming tracker (include/pitchtrack/pitchtrack_c.h): a Tracker with the
// caller's options and callbacks, every exception turned into a status; the live entries are
// the same tracker set up for the precise analysis' frames alone.
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>

#include "c_options.h"
#include "c_results.h"
#include "c_status.h"
#include "pitchtrack/pitchtrack.h"
#include "pitchtrack/pitchtrack_c.h"

struct pitchtrack_tracker {
  std::optional<pitchtrack::Tracker> tracker;  // empty after finish
};

namespace pitchtrack::c_api {

namespace {

// The tracker of a call that feeds or finishes it; throws for a missing or finished one.
Tracker& openTracker(pitchtrack_tracker* tracker, const char* call) {
  requireArgument(tracker != nullptr, "tracker");
  if (!tracker->tracker) throw std::logic_error(std::string(call) + " after finish");
  return *tracker->tracker;
}

}  // namespace

}  // namespace pitchtrack::c_api

// The C entries below call the helpers of the interface by their short names.
using namespace pitchtrack::c_api;

extern "C" {

pitchtrack_status pitchtrack_tracker_new(int32_t sample_rate, int32_t bits_per_sample,
                                         const pitchtrack_options* options,
                                         pitchtrack_tracker** tracker, pitchtrack_error* error) {
  if (tracker == nullptr) return fail(error, PITCHTRACK_INVALID_ARGUMENT, "tracker is NULL");
  *tracker = nullptr;
  return guarded(error, [&] {
    auto made = std::make_unique<pitchtrack_tracker>();
    made->tracker.emplace(sample_rate, bits_per_sample, optionsOf(options));
    *tracker = made.release();
  });
}

pitchtrack_status pitchtrack_tracker_push(pitchtrack_tracker* tracker, const int16_t* samples,
                                          size_t count, pitchtrack_error* error) {
  return guarded(error, [&] {
    pitchtrack::Tracker& open = openTracker(tracker, "push");
    requireArgument(samples != nullptr || count == 0, "samples");
    open.push(samples, count);
  });
}

pitchtrack_status pitchtrack_tracker_finish(pitchtrack_tracker* tracker,
                                            pitchtrack_contour** contour, pitchtrack_error* error) {
  if (contour != nullptr) *contour = nullptr;
  return guarded(error, [&] {
    pitchtrack::Tracker finishing = std::move(openTracker(tracker, "finish"));
    tracker->tracker.reset();
    const pitchtrack::Contour result = finishing.finish();
    if (contour != nullptr) *contour = copyOut(result);
  });
}

void pitchtrack_tracker_free(pitchtrack_tracker* tracker) { delete tracker; }

pitchtrack_status pitchtrack_live_new(int32_t sample_rate, int32_t bits_per_sample,
                                      pitchtrack_frame_callback callback, void* user_data,
                                      pitchtrack_live** live, pitchtrack_error* error) {
  if (live == nullptr) return fail(error, PITCHTRACK_INVALID_ARGUMENT, "live is NULL");
  *live = nullptr;
  if (callback == nullptr) return fail(error, PITCHTRACK_INVALID_ARGUMENT, "callback is NULL");
  pitchtrack_options options;
  pitchtrack_options_init(&options);
  options.analysis = PITCHTRACK_ANALYSIS_PRECISE;
  options.frame = callback;
  options.user_data = user_data;
  options.keep_no_frames = 1;
  return pitchtrack_tracker_new(sample_rate, bits_per_sample, &options, live, error);
}

pitchtrack_status pitchtrack_live_push(pitchtrack_live* live, const int16_t* samples, size_t count,
                                       pitchtrack_error* error) {
  return pitchtrack_tracker_push(live, samples, count, error);
}

pitchtrack_status pitchtrack_live_finish(pitchtrack_live* live, pitchtrack_error* error) {
  return pitchtrack_tracker_finish(live, nullptr, error);
}

void pitchtrack_live_free(pitchtrack_live* live) { pitchtrack_tracker_free(live); }

}  // extern "C"
