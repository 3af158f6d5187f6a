// libFuzzer target: the extraction pipeline on arbitrary samples, rates and sample sizes, both
// from samples in memory and streamed block by block through a Tracker.
//
// Input layout: 4 bytes little-endian choose the sample rate (1 Hz .. 1 MHz), 1 byte of flags
// (bit 0: 16-bit samples, else 8-bit; bit 1: 8-bit samples kept to the unsigned 0..255 range a
// wave file gives, without it any value, which must then be refused when outside that range;
// bits 2..4: the largest block handed to the Tracker), then 16-bit
// little-endian samples, at most kMaxSeconds of them.
//
// Checked beyond the sanitizers: a rate the pipeline does not accept gives an empty contour
// without allocating anything; otherwise the contour holds no more values than there are
// 32 ms frames, starts and ends with a pitch, and every value is 0 or a whole semitone in the
// kept range, times ten. The streamed contour equals the in-memory one whatever the block
// sizes, and a Tracker refuses a rate the pipeline does not accept.
#include <sanitizer/allocator_interface.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <stdexcept>
#include <vector>

#include "pipeline/extract_pitch.h"
#include "pipeline/resample.h"
#include "pitchtrack/pitchtrack.h"

namespace pitchtrack {

namespace {

constexpr uint32_t kHighestRate = 1000000;
constexpr size_t kHeaderBytes = 5;
constexpr size_t kMaxSeconds = 3;
// Allocations a refusal may make: its message, built from a few strings.
constexpr size_t kRefusalAllocations = 8;
constexpr int32_t kFrameSize = 256;  // 32 ms at the working rate
constexpr int32_t kLowestValue = 340;
constexpr int32_t kHighestValue = 900;

std::atomic<bool> counting{false};
std::atomic<size_t> allocations{0};

// Largest blocks handed to the Tracker, chosen by flag bits 2..4.
constexpr size_t kBlockLimits[8] = {1, 3, 255, 256, 4097, 65535, 65536, SIZE_MAX};

// The contour of `samples` pushed into a Tracker in blocks of at most `limit`.
std::vector<int32_t> streamedContour(std::span<const int16_t> samples, size_t limit, int32_t rate,
                                     int32_t nbits) {
  Tracker tracker(rate, nbits);
  for (size_t done = 0; done < samples.size();) {
    const size_t count = std::min(limit, samples.size() - done);
    tracker.push(samples.data() + done, count);
    done += count;
  }
  return tracker.finish().values;
}

void countAllocation(const volatile void*, size_t) {
  if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1);
}
void ignoreFree(const volatile void*) {}

[[noreturn]] void broken(const char* what) {
  std::fprintf(stderr, "pipeline_fuzz: %s\n", what);
  std::abort();
}

template <typename Call>
void expectRefusal(Call call, const char* otherwise) {
  try {
    call();
  } catch (const std::invalid_argument&) {
    return;
  }
  broken(otherwise);
}

void checkContour(const std::vector<int32_t>& contour, size_t inputSamples, int32_t rate) {
  const int64_t working =
      rate == pipeline::kWorkingRate
          ? static_cast<int64_t>(inputSamples)
          : resampledLength(static_cast<int64_t>(inputSamples), rate, pipeline::kWorkingRate);
  const auto frames = static_cast<int32_t>(working / kFrameSize);
  if (frames < 2 && !contour.empty()) broken("a contour from fewer than two frames");
  if (contour.size() > static_cast<size_t>(std::max(frames, 0))) {
    broken("more contour values than frames");
  }
  if (contour.empty()) return;
  if (contour.front() == 0 || contour.back() == 0) broken("unpitched ends were not cut");
  for (const int32_t v : contour) {
    if (v != 0 && (v % 10 != 0 || v < kLowestValue || v > kHighestValue)) {
      broken("a contour value outside the kept semitones");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The pipeline reports its conversions on standard output; libFuzzer talks on stderr.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) broken("cannot silence stdout");
  __sanitizer_install_malloc_and_free_hooks(countAllocation, ignoreFree);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeaderBytes) return 0;
  const uint32_t rawRate = static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8) |
                           (static_cast<uint32_t>(data[2]) << 16) |
                           (static_cast<uint32_t>(data[3]) << 24);
  const auto rate = static_cast<int32_t>(1 + rawRate % kHighestRate);
  const uint8_t flags = data[4];
  const int32_t nbits = (flags & 1) != 0 ? 16 : 8;
  const bool unsignedBytes = nbits == 8 && (flags & 2) != 0;

  // A refused rate must stay free of work however long the input; accepted ones are bounded so
  // that every run stays short.
  const size_t available = (size - kHeaderBytes) / 2;
  const size_t count = sampleRateSupported(rate)
                           ? std::min(available, kMaxSeconds * static_cast<size_t>(rate))
                           : available;
  std::vector<int16_t> samples(count);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* at = data + kHeaderBytes + 2 * i;
    const auto value = static_cast<uint16_t>(at[0] | (at[1] << 8));
    samples[i] = unsignedBytes ? static_cast<int16_t>(value & 0xFF) : static_cast<int16_t>(value);
  }

  const size_t blockLimit = kBlockLimits[(flags >> 2) & 7];
  std::vector<int32_t> contour;
  if (!sampleRateSupported(rate)) {
    contour.assign({1, 2, 3});
    allocations = 0;
    counting = true;
    bool refused = false;
    try {
      contour = extractContour(samples, rate, nbits, Options{}).values;
    } catch (const std::invalid_argument&) {
      refused = true;
    }
    counting = false;
    if (!refused || contour.size() != 3) broken("a refused rate gave a contour");
    // Only the refusal's message, however long the input.
    if (allocations > kRefusalAllocations) broken("a refused rate did work on the samples");
    try {
      streamedContour(samples, blockLimit, rate, nbits);
      broken("a Tracker took a refused rate");
    } catch (const std::invalid_argument&) {
    }
    return 0;
  }
  const bool outsideBytes = nbits == 8 && std::any_of(samples.begin(), samples.end(),
                                                      [](int16_t v) { return v < 0 || v > 255; });
  if (outsideBytes) {
    expectRefusal([&] { extractContour(samples, rate, nbits, Options{}); },
                  "8-bit samples outside 0..255 were tracked");
    expectRefusal([&] { streamedContour(samples, blockLimit, rate, nbits); },
                  "a Tracker took 8-bit samples outside 0..255");
    return 0;
  }
  contour = extractContour(samples, rate, nbits, Options{}).values;
  checkContour(contour, count, rate);
  if (streamedContour(samples, blockLimit, rate, nbits) != contour) {
    broken("the streamed contour differs from the in-memory one");
  }
  return 0;
}

}  // namespace pitchtrack
