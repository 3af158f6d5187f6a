#include "track_entries.h"

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "js_values.h"

namespace pitchtrack::web {

namespace {

const char* warningKindName(WarningKind kind) {
  switch (kind) {
    case WarningKind::kClipping:
      return "clipping";
    case WarningKind::kQuietRecording:
      return "quietRecording";
    case WarningKind::kFinalStretchDropped:
      return "finalStretchDropped";
    case WarningKind::kOutsideFinalRange:
      return "outsideFinalRange";
    case WarningKind::kEmptyContour:
      return "emptyContour";
    case WarningKind::kStreamEndedEarly:
      break;
  }
  return "streamEndedEarly";
}

val warningObject(const Warning& warning) {
  val object = val::object();
  object.set("kind", std::string(warningKindName(warning.kind)));
  object.set("startSeconds", warning.startSeconds);
  object.set("endSeconds", warning.endSeconds);
  object.set("message", warning.message);
  return object;
}

val errorOf(const char* kind, const std::string& message) {
  val error = val::object();
  error.set("kind", std::string(kind));
  error.set("message", message);
  val result = val::object();
  result.set("error", error);
  return result;
}

// Runs `analyse(options)` with sinks that collect what the analysis reports.
template <typename Analyse>
val reported(const WebOptions& web, Analyse analyse) {
  std::vector<std::string> progress;
  val warnings = val::array();
  Options options = libraryOptions(web);
  options.progress = [&progress](const std::string& line) { progress.push_back(line); };
  options.warning = [&warnings](const Warning& w) {
    warnings.call<void>("push", warningObject(w));
  };
  try {
    val result = contourObject(analyse(options));
    result.set("progress", stringArray(progress));
    result.set("warnings", warnings);
    return result;
  } catch (...) {
    return errorObject();
  }
}

}  // namespace

val errorObject() {
  try {
    throw;
  } catch (const WaveError& error) {
    val result = errorOf("wave", error.what());
    result["error"].set("reason", error.reason());
    result["error"].set("code", error.code());
    return result;
  } catch (const std::invalid_argument& error) {
    return errorOf("argument", error.what());
  } catch (const std::length_error& error) {
    return errorOf("length", error.what());
  } catch (const std::logic_error& error) {
    return errorOf("state", error.what());
  } catch (const std::bad_alloc&) {
    return errorOf("memory", "not enough memory");
  } catch (const std::exception& error) {
    return errorOf("internal", error.what());
  }
}

val trackWavBytes(const val& bytes, const WebOptions& options) {
  return reported(options, [&](const Options& library) {
    const auto file = emscripten::convertJSArrayToNumberVector<uint8_t>(bytes);
    return trackMemory(file.data(), file.size(), options.name, library);
  });
}

val trackIntegerSamples(const val& samples, int32_t sampleRate, int32_t bitsPerSample,
                        const WebOptions& options) {
  return reported(options, [&](const Options& library) {
    const auto signal = emscripten::convertJSArrayToNumberVector<int16_t>(samples);
    return track(signal, sampleRate, bitsPerSample, library);
  });
}

val trackFloatSamples(const val& samples, int32_t sampleRate, const WebOptions& options) {
  return reported(options, [&](const Options& library) {
    const auto floats = emscripten::convertJSArrayToNumberVector<float>(samples);
    std::vector<int16_t> signal(floats.size());
    for (size_t i = 0; i < floats.size(); ++i) signal[i] = sampleFromFloat(floats[i]);
    return track(signal, sampleRate, 16, library);
  });
}

}  // namespace pitchtrack::web
