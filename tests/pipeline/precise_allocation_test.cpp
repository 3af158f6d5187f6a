// The precise analysis streams without allocating once warmed up: only its list of final frames
// grows (by doubling). Counts the allocations of this thread through the global operator new.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <vector>

#include "pipeline/precise_analysis.h"
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

}  // namespace
}  // namespace pitchtrack
