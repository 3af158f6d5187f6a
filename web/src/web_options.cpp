#include "web_options.h"

namespace pitchtrack::web {

Options libraryOptions(const WebOptions& web) {
  Options options;
  options.analysis = web.precise ? Analysis::kPrecise : Analysis::kDefault;
  options.voicing = web.strictVoicing ? Voicing::kStrict : Voicing::kRelative;
  options.normalize = web.normalize;
  options.keepFinal = web.keepFinal;
  options.notes.minNoteSeconds = web.minNoteSeconds;
  options.notes.onsetDb = web.onsetDb;
  return options;
}

}  // namespace pitchtrack::web
