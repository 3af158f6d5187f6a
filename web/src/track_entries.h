// The tracking entries the bindings export. Each returns the contour as a plain object
// (js_values.h) with the analysis' `progress` lines and `warnings`, or, when the library refuses
// the input, an object {error: {kind, message, ...}} that index.js throws as an Error: a C++
// exception never crosses into JavaScript.
#pragma once

#include <emscripten/val.h>

#include "web_options.h"

namespace pitchtrack::web {

using emscripten::val;

// The bytes of a recording file (a Uint8Array), read by the library's own reader: every WAV the
// tool reads, the same contour.
val trackWavBytes(const val& bytes, const WebOptions& options);

// One channel of integer samples (an Int16Array, or a Uint8Array of 8-bit PCM's 0..255).
val trackIntegerSamples(const val& samples, int32_t sampleRate, int32_t bitsPerSample,
                        const WebOptions& options);

// One channel of float samples of full scale -1..1 (a Float32Array), each converted as the
// reader converts a float sample (pitchtrack::sampleFromFloat).
val trackFloatSamples(const val& samples, int32_t sampleRate, const WebOptions& options);

// The error object for the exception being handled.
val errorObject();

}  // namespace pitchtrack::web
