// SampleBuffer: 16-bit samples allocated without being zero-filled first (NarrowSampleBuffer and
// ByteSampleBuffer: the same for signed and unsigned 8-bit samples, the working signal in the
// 8-bit range at half the memory).
//
// The working signal of a long recording is tens of megabytes that are written once, in order;
// a std::vector would clear every byte before the first write. Every element of a SampleBuffer
// must be written before it is read.
//
// Buffers of several megabytes are aligned to 2 MiB and, on Linux, offered to the kernel's
// transparent huge pages (madvise), so that the working signal of an hour is mapped by some
// thirty page faults instead of some fourteen thousand. Where the kernel declines, the memory
// is used in ordinary pages.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <span>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace pitchtrack {

template <typename Sample>
class SampleBufferOf {
 public:
  SampleBufferOf() = default;
  explicit SampleBufferOf(size_t size) : data_(allocate(size)), size_(size) {}

  std::span<Sample> samples() { return {data_.get(), size_}; }
  std::span<const Sample> samples() const { return {data_.get(), size_}; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  // Changes the size, keeping the first min(old, new) samples; new samples are unwritten.
  void resize(size_t size) {
    Samples data = allocate(size);
    std::copy_n(data_.get(), std::min(size, size_), data.get());
    data_ = std::move(data);
    size_ = size;
  }

  // Makes room for at least `size` samples, at least doubling, so that a signal of unknown
  // length grows in amortised constant time per sample.
  void grow(size_t size) {
    if (size > size_) resize(std::max(size, size_ * 2));
  }

 private:
  struct Free {
    void operator()(Sample* p) const { std::free(p); }
  };
  using Samples = std::unique_ptr<Sample[], Free>;

  static constexpr size_t kHugePage = size_t{2} << 20;
  static constexpr size_t kHugeFrom = 2 * kHugePage;  // smaller buffers take ordinary pages

  static Samples allocate(size_t size) {
    const size_t bytes = std::max<size_t>(size, 1) * sizeof(Sample);
    if (bytes < kHugeFrom) return Samples(checked(std::malloc(bytes)));
    const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* p = checked(std::aligned_alloc(kHugePage, rounded));
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    madvise(p, rounded, MADV_HUGEPAGE);  // advice only: a refusal changes nothing else
#endif
    return Samples(static_cast<Sample*>(p));
  }

  static Sample* checked(void* p) {
    if (p == nullptr) throw std::bad_alloc();
    return static_cast<Sample*>(p);
  }

  Samples data_;
  size_t size_ = 0;
};

using SampleBuffer = SampleBufferOf<int16_t>;
using NarrowSampleBuffer = SampleBufferOf<int8_t>;
using ByteSampleBuffer = SampleBufferOf<uint8_t>;

}  // namespace pitchtrack
