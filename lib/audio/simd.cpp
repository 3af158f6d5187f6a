#include "simd.h"

#include <cstdlib>
#include <cstring>

namespace pitchtrack {

namespace {

SimdLevel widestAvailable() {
  if (simdAvailable(SimdLevel::kAvx512)) return SimdLevel::kAvx512;
  if (simdAvailable(SimdLevel::kAvx2)) return SimdLevel::kAvx2;
  return SimdLevel::kPortable;
}

SimdLevel requestedLevel(const char* name, SimdLevel widest) {
  if (name == nullptr) return widest;
  SimdLevel wanted = widest;
  if (std::strcmp(name, "portable") == 0) wanted = SimdLevel::kPortable;
  if (std::strcmp(name, "avx2") == 0) wanted = SimdLevel::kAvx2;
  if (std::strcmp(name, "avx512") == 0) wanted = SimdLevel::kAvx512;
  return simdAvailable(wanted) ? wanted : widest;
}

}  // namespace

bool simdAvailable(SimdLevel level) {
  switch (level) {
    case SimdLevel::kPortable:
      return true;
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    case SimdLevel::kAvx2:
      return __builtin_cpu_supports("avx2");
    case SimdLevel::kAvx512:
      return __builtin_cpu_supports("avx512bw");
#else
    default:
      return false;
#endif
  }
  return false;
}

SimdLevel simdLevel() {
  // A function-local constant: initialised once, thread-safely, and never written again.
  static const SimdLevel level = requestedLevel(std::getenv("PITCHTRACK_SIMD"), widestAvailable());
  return level;
}

}  // namespace pitchtrack
