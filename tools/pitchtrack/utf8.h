// Recognising well-formed UTF-8 in names that are only bytes.
#pragma once

#include <cstddef>
#include <string_view>

namespace pitchtrack::cli {

// The length of the well-formed UTF-8 sequence at the start of `text` (1 to 4), or 0 when its
// first bytes are not one (a stray continuation byte, an overlong form, a surrogate, a code point
// past U+10FFFF, a sequence cut short).
size_t utf8SequenceLength(std::string_view text);

}  // namespace pitchtrack::cli
