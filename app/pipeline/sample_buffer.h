// SampleBuffer: 16-bit samples allocated without being zero-filled first.
//
// The working signal of a long recording is tens of megabytes that are written once, in order;
// a std::vector would clear every byte before the first write. Every element of a SampleBuffer
// must be written before it is read.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace pitchtrack {

class SampleBuffer {
 public:
  SampleBuffer() = default;
  explicit SampleBuffer(size_t size)
      : data_(std::make_unique_for_overwrite<int16_t[]>(size)), size_(size) {}

  std::span<int16_t> samples() { return {data_.get(), size_}; }
  std::span<const int16_t> samples() const { return {data_.get(), size_}; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  // Changes the size, keeping the first min(old, new) samples; new samples are unwritten.
  void resize(size_t size) {
    auto data = std::make_unique_for_overwrite<int16_t[]>(size);
    std::copy_n(data_.get(), std::min(size, size_), data.get());
    data_ = std::move(data);
    size_ = size;
  }

 private:
  std::unique_ptr<int16_t[]> data_;
  size_t size_ = 0;
};

}  // namespace pitchtrack
