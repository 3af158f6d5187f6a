// The vector instruction level of the analysis's fast kernels (autocorrelation, path search,
// resampling), chosen once per process.
//
// By default it is the widest level the processor offers (AVX-512BW, AVX2, or the portable
// loops). The environment variable PITCHTRACK_SIMD=portable|avx2|avx512 lowers it, to compare
// the paths on one machine; a level the processor lacks, or another value, is ignored. Every
// level gives the same results bit for bit; only the speed differs.
#pragma once

namespace pitchtrack {

enum class SimdLevel { kPortable = 0, kAvx2 = 1, kAvx512 = 2 };

// Whether the processor and the build can run `level`.
bool simdAvailable(SimdLevel level);

// The level in use; read-only after its first call.
SimdLevel simdLevel();

}  // namespace pitchtrack
