// The autocorrelation kernel of the pitch functions, with exact fast paths.
//
// autocorrelate(w, row) sets row[j] = dotProduct(w, w + j, n - j) for every lag j < row.size(),
// the 32-bit wrapping sums of the frame's lagged products. When every sample and the frame
// length are small enough that no partial sum can leave the 32-bit range (the tracker's frames
// of 8-bit-range samples always are), the frame is narrowed to 16 bits and the products are
// summed with 16x16->32-bit multiply-add instructions; the result is bit-identical, since no
// sum wraps. Otherwise the straightforward 32-bit loop runs.
//
// The widest instruction set the processor offers is chosen at run time (AVX-512BW, AVX2, or
// the portable loop), so the default build runs on any x86-64 processor and elsewhere.
#pragma once

#include <cstdint>
#include <span>

namespace pitchtrack {

void autocorrelate(std::span<const int32_t> frame, std::span<int32_t> row);

// The autocorrelation of a frame of small 16-bit samples after removing its truncated integer
// mean, as the autocorrelation pitch function computes it: for callers that hold frames in 16
// bits already. Requires every |sample| <= kSmallSampleLimit and at most kSmallFrameLimit
// samples, so that neither the centring nor any sum can overflow.
inline constexpr int32_t kSmallSampleLimit = 512;
inline constexpr size_t kSmallFrameLimit = 1024;
void centredAutocorrelation(std::span<const int16_t> frame, std::span<int32_t> row);

namespace acf {

enum class KernelPath { kReference, kPortable, kAvx2, kAvx512 };

// Whether the processor (and the build) can run a path. kReference (the straightforward 32-bit
// loop) and kPortable always can.
bool available(KernelPath path);
// The path autocorrelate uses for frames that can be narrowed: the widest the processor offers,
// or the one the PITCHTRACK_SIMD environment variable names (see simd.h). Fixed for the life of
// the process.
KernelPath activePath();
// autocorrelate and centredAutocorrelation on a given path, which must be available: for tests
// and benchmarks that compare the paths.
void autocorrelate(KernelPath path, std::span<const int32_t> frame, std::span<int32_t> row);
void centredAutocorrelation(KernelPath path, std::span<const int16_t> frame,
                            std::span<int32_t> row);

}  // namespace acf

}  // namespace pitchtrack
