// Whether the tests and the tools they run are built with AddressSanitizer, which reserves
// terabytes of shadow address space at start-up: a sanitized tool cannot start under an
// address-space limit (ulimit -v).
#pragma once

namespace testsupport {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif
#else
inline constexpr bool kAddressSanitizer = false;
#endif

}  // namespace testsupport
