// The precise analysis streams without allocating once warmed up: only its list of final frames
// grows (by doubling), and with a Tracker that keeps no frames and hands them to a sink nothing
// at all. Counts the allocations of this thread through the global operator new.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <vector>

#include "pipeline/precise_analysis.h"
#include "pitchtrack/pitchtrack.h"
#include "support/signals.h"

namespace {
thread_local int64_t allocations = 0;
}  // namespace

void* operator new(std::size_t size) {
  ++allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace pitchtrack {
namespace {

TEST(PreciseAnalysis, PushAllocatesOnlyToKeepFinalFrames) {
  for (const int32_t rate : {1000, 8000, 11025, 48000}) {
    const testsignal::Voice voice{
        .frequency = 220, .rate = static_cast<double>(rate), .amplitude = 0.1};
    const auto samples = testsignal::toPcm16(testsignal::steadyTone(voice, 4 * rate));
    PreciseAnalysis analysis(rate);
    const size_t half = samples.size() / 2;
    for (size_t at = 0; at < half; at += 1500) analysis.push(std::span(samples).subspan(at, 1500));
    const int64_t before = allocations;
    const size_t framesBefore = analysis.frames().capacity();
    for (size_t at = half; at + 1500 <= samples.size(); at += 1500) {
      analysis.push(std::span(samples).subspan(at, 1500));
    }
    const int64_t growths = analysis.frames().capacity() > framesBefore ? 1 : 0;
    EXPECT_LE(allocations - before, growths) << rate << " Hz";
  }
}

TEST(PreciseAnalysis, ALiveTrackerPushesWithoutAllocating) {
  for (const int32_t rate : {8000, 16000, 44100, 48000}) {
    const testsignal::Voice voice{
        .frequency = 330, .rate = static_cast<double>(rate), .amplitude = 0.1};
    const auto samples = testsignal::toPcm16(testsignal::steadyTone(voice, 6 * rate));
    int64_t frames = 0;
    Options options;
    options.analysis = Analysis::kPrecise;
    options.keepFrames = false;
    options.frameSink = [&frames](const Frame& frame) { frames += frame.value != 0 ? 1 : 0; };
    Tracker tracker(rate, 16, options);
    size_t at = 0;
    for (size_t block = 1; at + block <= samples.size() / 3; block = block * 7 % 4093 + 1) {
      tracker.push(samples.data() + at, block);
      at += block;
    }
    const int64_t before = allocations;
    const int64_t framesBefore = frames;
    for (size_t block = 1; at + block <= samples.size(); block = block * 5 % 8191 + 1) {
      tracker.push(samples.data() + at, block);
      at += block;
    }
    EXPECT_EQ(allocations - before, 0) << rate << " Hz";
    EXPECT_GT(frames - framesBefore, 100) << rate << " Hz";
  }
}

}  // namespace
}  // namespace pitchtrack
