// The C interface's live tracker (include/pitchtrack/pitchtrack_c.h): a Tracker of the precise
// analysis whose frames go to a C callback, every exception turned into a status.
#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>

#include "pitchtrack/pitchtrack.h"
#include "pitchtrack/pitchtrack_c.h"

struct pitchtrack_live {
  std::optional<pitchtrack::Tracker> tracker;  // empty after finish
};

namespace {

pitchtrack_status report(pitchtrack_error* error, pitchtrack_status status, const char* message) {
  if (error != nullptr) {
    error->status = status;
    error->wave_code = 0;
    std::snprintf(error->message, sizeof error->message, "%s", message);
  }
  return status;
}

// Runs `step` and maps its exception to a status.
template <typename Step>
pitchtrack_status guarded(pitchtrack_error* error, Step step) {
  try {
    step();
    return report(error, PITCHTRACK_OK, "");
  } catch (const pitchtrack::InternalError& e) {
    return report(error, PITCHTRACK_INTERNAL_ERROR, e.what());
  } catch (const std::invalid_argument& e) {
    return report(error, PITCHTRACK_INVALID_ARGUMENT, e.what());
  } catch (const std::logic_error& e) {
    return report(error, PITCHTRACK_INVALID_ARGUMENT, e.what());
  } catch (const std::bad_alloc&) {
    return report(error, PITCHTRACK_OUT_OF_MEMORY, "not enough memory");
  } catch (const std::exception& e) {
    return report(error, PITCHTRACK_INTERNAL_ERROR, e.what());
  } catch (...) {
    return report(error, PITCHTRACK_INTERNAL_ERROR, "unknown failure");
  }
}

pitchtrack::Options liveOptions(pitchtrack_frame_callback callback, void* userData) {
  pitchtrack::Options options;
  options.analysis = pitchtrack::Analysis::kPrecise;
  options.keepFrames = false;
  options.frameSink = [callback, userData](const pitchtrack::Frame& frame) {
    const pitchtrack_frame out{frame.index, frame.value, frame.hz, frame.confidence};
    callback(&out, userData);
  };
  return options;
}

}  // namespace

extern "C" {

pitchtrack_status pitchtrack_live_new(int32_t sample_rate, int32_t bits_per_sample,
                                      pitchtrack_frame_callback callback, void* user_data,
                                      pitchtrack_live** live, pitchtrack_error* error) {
  if (live == nullptr) return report(error, PITCHTRACK_INVALID_ARGUMENT, "live is NULL");
  *live = nullptr;
  if (callback == nullptr) return report(error, PITCHTRACK_INVALID_ARGUMENT, "callback is NULL");
  return guarded(error, [&] {
    auto made = std::make_unique<pitchtrack_live>();
    made->tracker.emplace(sample_rate, bits_per_sample, liveOptions(callback, user_data));
    *live = made.release();
  });
}

pitchtrack_status pitchtrack_live_push(pitchtrack_live* live, const int16_t* samples, size_t count,
                                       pitchtrack_error* error) {
  if (live == nullptr || (samples == nullptr && count > 0)) {
    return report(error, PITCHTRACK_INVALID_ARGUMENT, "live or samples is NULL");
  }
  if (!live->tracker) return report(error, PITCHTRACK_INVALID_ARGUMENT, "push after finish");
  return guarded(error, [&] { live->tracker->push(samples, count); });
}

pitchtrack_status pitchtrack_live_finish(pitchtrack_live* live, pitchtrack_error* error) {
  if (live == nullptr) return report(error, PITCHTRACK_INVALID_ARGUMENT, "live is NULL");
  if (!live->tracker) return report(error, PITCHTRACK_INVALID_ARGUMENT, "finish after finish");
  return guarded(error, [&] {
    pitchtrack::Tracker tracker = std::move(*live->tracker);
    live->tracker.reset();
    tracker.finish();
  });
}

void pitchtrack_live_free(pitchtrack_live* live) { delete live; }

}  // extern "C"
