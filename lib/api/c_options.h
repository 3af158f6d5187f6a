// The C interface's settings: a caller's pitchtrack_options (or the flags of the *_with entries)
// as the C++ Options, its callbacks wrapped so that they receive C structs.
#pragma once

#include <cstdint>

#include "pitchtrack/notes.h"
#include "pitchtrack/options.h"
#include "pitchtrack/pitchtrack_c.h"

namespace pitchtrack::c_api {

// The options `given` holds (NULL: the defaults), read as far as its size field says. Throws
// std::invalid_argument, saying why, for a size that cannot be a pitchtrack_options, fields
// beyond the ones this library knows that are not zero, or a field outside its range.
Options optionsOf(const pitchtrack_options* given);

// The options of the *_with entries' flags; throws std::invalid_argument for an unknown bit.
Options optionsOfFlags(uint32_t flags);

// A note as C callers receive it.
pitchtrack_note noteForC(const Note& note);

}  // namespace pitchtrack::c_api
