// The analysis settings a JavaScript caller gives, as the package's index.js fills them in (every
// field present), and the library's Options they stand for.
#pragma once

#include <string>

#include "pitchtrack/pitchtrack.h"

namespace pitchtrack::web {

struct WebOptions {
  bool precise = false;  // the precise analysis (notes, Hz and confidence per frame)
  bool strictVoicing = false;
  bool normalize = false;
  bool keepFinal = false;
  double minNoteSeconds = 0.1;
  double onsetDb = 6;
  std::string name;  // the recording's name in errors and in the JSON texts
};

// The library's options for `web`; its sinks are left empty.
Options libraryOptions(const WebOptions& web);

}  // namespace pitchtrack::web
