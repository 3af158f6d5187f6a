#include "wave/container_signature.h"

#include <algorithm>
#include <array>

namespace pitchtrack {

namespace {

constexpr std::array<std::array<uint8_t, kSignatureBytes>, 1> kSignatures = {{
    {'R', 'I', 'F', 'F'},
}};

}  // namespace

bool startsWithKnownSignature(std::span<const uint8_t> head) {
  if (head.size() < kSignatureBytes) return false;
  return std::any_of(kSignatures.begin(), kSignatures.end(), [head](const auto& signature) {
    return std::equal(signature.begin(), signature.end(), head.begin());
  });
}

}  // namespace pitchtrack
