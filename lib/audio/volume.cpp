#include "volume.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "fault.h"
#include "frame.h"

namespace {

int32_t absoluteDeviationSum(std::span<const int32_t> frame, int32_t centre) {
  int32_t sum = 0;
  for (const int32_t x : frame) sum = wrapAdd(sum, wrapAbsDiff(x, centre));
  return sum;
}

int32_t squaredDeviationSum(std::span<const int32_t> frame) {
  int64_t total = 0;
  for (const int32_t x : frame) total += x;
  const auto mean = static_cast<int32_t>(total / static_cast<int64_t>(frame.size()));
  int32_t sum = 0;
  for (const int32_t x : frame) {
    const int32_t d = wrapSub(x, mean);
    sum = wrapAdd(sum, wrapMul(d, d));
  }
  return sum;
}

// Coefficients of the order-th difference, earliest sample first.
constexpr std::array<std::array<int32_t, 6>, 6> kDifferenceCoefficients = {{
    {0, 0, 0, 0, 0, 0},
    {-1, 1, 0, 0, 0, 0},
    {-1, 2, -1, 0, 0, 0},
    {-1, 3, -3, 1, 0, 0},
    {-1, 4, -6, 4, -1, 0},
    {-1, 5, -10, 10, -5, 1},
}};

int32_t differenceSum(std::span<const int32_t> frame, int32_t order) {
  const auto& c = kDifferenceCoefficients[static_cast<size_t>(order)];
  const auto terms = static_cast<int32_t>(frame.size()) - order;
  int32_t total = 0;
  for (int32_t p = 0; p < terms; ++p) {
    int32_t d = 0;
    for (int32_t q = 0; q <= order; ++q) {
      d = wrapAdd(d, wrapMul(c[static_cast<size_t>(q)], frame[static_cast<size_t>(p + q)]));
    }
    total = wrapAdd(total, d < 0 ? wrapSub(0, d) : d);
  }
  return total;
}

}  // namespace

int32_t frameMedian(std::span<int32_t> values) {
  const size_t t = (values.size() - 1) / 2;
  std::nth_element(values.begin(), values.begin() + static_cast<ptrdiff_t>(t), values.end());
  const int32_t lower = values[t];
  if (values.size() % 2 == 1) return lower;
  const int32_t upper =
      *std::min_element(values.begin() + static_cast<ptrdiff_t>(t) + 1, values.end());
  return static_cast<int32_t>((static_cast<int64_t>(lower) + upper) / 2);
}

void frameVolume(std::span<const int32_t> signal, int32_t frameSize, int32_t overlap,
                 std::span<int32_t> volume, int32_t method) {
  if (method != 1 && method != 2) {
    audio_fault::unknownCode(audio_fault::kUnknownVolumeMethod, method,
                             audio_fault::kLineFrameVolume);
  }
  const int32_t frames = frameCount(static_cast<int32_t>(signal.size()), frameSize, overlap);
  const auto size = static_cast<size_t>(frameSize);
  const auto hop = static_cast<size_t>(frameSize - overlap);
  std::vector<int32_t> scratch(method == 1 && frames > 0 ? size : 0);
  for (size_t i = 0; i < static_cast<size_t>(std::max(frames, 0)); ++i) {
    const auto frame = signal.subspan(i * hop, size);
    if (method == 1) {
      std::copy(frame.begin(), frame.end(), scratch.begin());
      volume[i] = absoluteDeviationSum(frame, frameMedian(scratch));
    } else {
      volume[i] = squaredDeviationSum(frame);
    }
  }
}

void highOrderDiff(std::span<const int32_t> signal, int32_t frameSize, int32_t overlap,
                   std::span<int32_t> diff, int32_t order) {
  const int32_t frames = frameCount(static_cast<int32_t>(signal.size()), frameSize, overlap);
  if (frames <= 0) return;
  if (order < 1 || order > 5) {
    std::printf("Unsupported order!\n");
    std::exit(1);
  }
  const auto size = static_cast<size_t>(frameSize);
  const auto hop = static_cast<size_t>(frameSize - overlap);
  for (size_t i = 0; i < static_cast<size_t>(frames); ++i) {
    diff[i] = differenceSum(signal.subspan(i * hop, size), order);
  }
}
