// SampleBuffer: 16-bit samples allocated without being zero-filled first.
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

class SampleBuffer {
 public:
  SampleBuffer() = default;
  explicit SampleBuffer(size_t size) : data_(allocate(size)), size_(size) {}

  std::span<int16_t> samples() { return {data_.get(), size_}; }
  std::span<const int16_t> samples() const { return {data_.get(), size_}; }
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
    void operator()(int16_t* p) const { std::free(p); }
  };
  using Samples = std::unique_ptr<int16_t[], Free>;

  static constexpr size_t kHugePage = size_t{2} << 20;
  static constexpr size_t kHugeFrom = 2 * kHugePage;  // smaller buffers take ordinary pages

  static Samples allocate(size_t size) {
    const size_t bytes = std::max<size_t>(size, 1) * sizeof(int16_t);
    if (bytes < kHugeFrom) return Samples(checked(std::malloc(bytes)));
    const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* p = checked(std::aligned_alloc(kHugePage, rounded));
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    madvise(p, rounded, MADV_HUGEPAGE);  // advice only: a refusal changes nothing else
#endif
    return Samples(static_cast<int16_t*>(p));
  }

  static int16_t* checked(void* p) {
    if (p == nullptr) throw std::bad_alloc();
    return static_cast<int16_t*>(p);
  }

  Samples data_;
  size_t size_ = 0;
};

}  // namespace pitchtrack
