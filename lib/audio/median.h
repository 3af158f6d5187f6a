// The selection behind every median of the library: the frame median of the volume measure and
// the median pitch that centres the second pass.
#pragma once

#include <algorithm>
#include <cstddef>
#include <span>
#include <utility>

namespace pitchtrack {

// The two middle values of `values` in sorted order, the ((n-1)/2)-th and the (n/2)-th smallest
// (the same value for an odd count), found by selection: `values` is reordered. Requires at least
// one value. Callers combine them by their own rounding rule.
template <typename T>
std::pair<T, T> middleValues(std::span<T> values) {
  const size_t t = (values.size() - 1) / 2;
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(t);
  std::nth_element(values.begin(), middle, values.end());
  if (values.size() % 2 == 1) return {*middle, *middle};
  return {*middle, *std::min_element(middle + 1, values.end())};
}

}  // namespace pitchtrack
