// The module's JavaScript interface (embind). index.js wraps it into the package's API.
#include <emscripten/bind.h>

#include "live_session.h"
#include "output_texts.h"
#include "track_entries.h"
#include "web_options.h"

namespace pitchtrack::web {

EMSCRIPTEN_BINDINGS(pitchtrack) {
  emscripten::value_object<WebOptions>("Options")
      .field("precise", &WebOptions::precise)
      .field("strictVoicing", &WebOptions::strictVoicing)
      .field("normalize", &WebOptions::normalize)
      .field("keepFinal", &WebOptions::keepFinal)
      .field("minNoteSeconds", &WebOptions::minNoteSeconds)
      .field("onsetDb", &WebOptions::onsetDb)
      .field("name", &WebOptions::name);
  emscripten::function("trackWavBytes", &trackWavBytes);
  emscripten::function("trackIntegerSamples", &trackIntegerSamples);
  emscripten::function("trackFloatSamples", &trackFloatSamples);
  emscripten::function("outputBytes", &outputBytes);
  emscripten::class_<LiveSession>("LiveSession")
      .constructor<>()
      .function("open", &LiveSession::open)
      .function("pushIntegers", &LiveSession::pushIntegers)
      .function("pushFloats", &LiveSession::pushFloats)
      .function("finish", &LiveSession::finish);
}

}  // namespace pitchtrack::web
