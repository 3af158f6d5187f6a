// Microbenchmarks of the analysis kernels on ten seconds of a synthetic voice-like signal at
// 8000 Hz in the 8-bit range (what the pipeline analyses), and of the whole extraction.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "audio/autocorrelation.h"
#include "audio/endpoint.h"
#include "audio/pitch_function.h"
#include "audio/pitch_tracker.h"
#include "audio/pt_param.h"
#include "pipeline/extract_pitch.h"
#include "pipeline/resample.h"
#include "support/reference_tracker.h"
#include "support/signals.h"

namespace pitchtrack {

namespace {

constexpr int kRate = 8000;
constexpr int kSeconds = 10;

// Notes of 0.6 s with 0.15 s pauses climbing a semitone at a time from 110 Hz, eight notes over
// and over, harmonics 1..6, scaled by `amplitude` around `offset` (127 around 128 is the 8-bit
// range). The voice keeps its phase across the pauses.
std::vector<int16_t> voiceLike(int rate, int seconds, int amplitude, int offset) {
  std::vector<int16_t> out(static_cast<size_t>(rate * seconds));
  testsignal::Oscillator singer{
      {.rate = static_cast<double>(rate), .amplitude = amplitude * 0.4, .harmonics = 6}};
  for (size_t i = 0; i < out.size(); ++i) {
    const double t = static_cast<double>(i) / rate;
    if (std::fmod(t, 0.75) > 0.6) {
      out[i] = static_cast<int16_t>(offset);
      continue;
    }
    singer.voice.frequency = 110.0 * std::pow(2.0, static_cast<int>(t / 0.75) % 8 / 12.0);
    out[i] = static_cast<int16_t>(offset + std::lround(singer.next()));
  }
  return out;
}

// The voice of voiceLike in the 8-bit range with uniform noise of +-`noise` added (a seeded
// generator): noisy frames carry about twenty candidates each into the path search.
std::vector<int16_t> noisyVoice(int rate, int seconds, int noise) {
  auto out = voiceLike(rate, seconds, 127 - noise, 128);
  std::mt19937 random(1);
  std::uniform_int_distribution<int> hiss(-noise, noise);
  for (int16_t& v : out) v = static_cast<int16_t>(v + hiss(random));
  return out;
}

PtParam pipelineParameters() { return kTrackerParam; }

void BM_PitchFunctionMatrix(benchmark::State& state) {
  const auto samples = voiceLike(kRate, kSeconds, 127, 0);
  const std::vector<int32_t> signal(samples.begin(), samples.end());
  const size_t frames = signal.size() / 256;
  std::vector<int32_t> matrix(frames * 128);
  for (auto _ : state) {
    testsupport::pitchFunction(signal, 256, 0, static_cast<int32_t>(state.range(0)), matrix);
    benchmark::DoNotOptimize(matrix.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * frames));
}
BENCHMARK(BM_PitchFunctionMatrix)->Arg(1)->Arg(2);

void BM_AutocorrelationKernel(benchmark::State& state) {
  const auto level = static_cast<SimdLevel>(state.range(0));
  if (!simdAvailable(level)) {
    state.SkipWithError("instruction set not available");
    return;
  }
  const auto samples = voiceLike(kRate, 1, 127, 0);
  const std::vector<int32_t> frame(samples.begin() + 4000, samples.begin() + 4256);
  std::vector<int32_t> row(128);
  for (auto _ : state) {
    autocorrelate(frame, row, level);
    benchmark::DoNotOptimize(row.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_AutocorrelationKernel)
    ->Arg(static_cast<int>(SimdLevel::kPortable))
    ->Arg(static_cast<int>(SimdLevel::kAvx2))
    ->Arg(static_cast<int>(SimdLevel::kAvx512));

void BM_FrameAnalysisAndTwoPathSearches(benchmark::State& state) {
  const auto signal = voiceLike(kRate, kSeconds, 127, 128);
  PtParam ptParam = pipelineParameters();
  std::vector<double> pitch(signal.size() / 256);
  for (auto _ : state) {
    const FrameAnalysis analysis = analyseFrames(signal, ptParam);
    trackPitch(analysis, ptParam, pitch);
    ptParam.minPitch = 40;
    ptParam.maxPitch = 64;
    trackPitch(analysis, ptParam, pitch);
    benchmark::DoNotOptimize(pitch.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * pitch.size()));
}
BENCHMARK(BM_FrameAnalysisAndTwoPathSearches);

// Both passes' path searches over one analysis of a noisy signal, on each kernel path.
void BM_PathSearch(benchmark::State& state) {
  const auto level = static_cast<SimdLevel>(state.range(0));
  if (!simdAvailable(level)) {
    state.SkipWithError("instruction set not available");
    return;
  }
  const auto signal = noisyVoice(kRate, kSeconds, 40);
  PtParam ptParam = pipelineParameters();
  const FrameAnalysis analysis = analyseFrames(signal, ptParam);
  PtParam second = ptParam;
  second.minPitch = 40;
  second.maxPitch = 64;
  std::vector<double> pitch(analysis.frames());
  for (auto _ : state) {
    trackPitch(analysis, ptParam, pitch, level);
    trackPitch(analysis, second, pitch, level);
    benchmark::DoNotOptimize(pitch.data());
  }
  state.counters["candidates/frame"] =
      static_cast<double>(analysis.lags.size()) / static_cast<double>(analysis.frames());
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * pitch.size()));
}
BENCHMARK(BM_PathSearch)
    ->Arg(static_cast<int>(SimdLevel::kPortable))
    ->Arg(static_cast<int>(SimdLevel::kAvx2))
    ->Arg(static_cast<int>(SimdLevel::kAvx512));

void BM_EndpointDetection(benchmark::State& state) {
  const auto signal = voiceLike(kRate, kSeconds, 127, 128);
  EpdParam epdParam;
  setEpdParam(kRate, epdParam);
  for (auto _ : state) {
    int32_t count = 0;
    benchmark::DoNotOptimize(endpointDetect(signal, kRate, epdParam, count));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * signal.size() / 128));
}
BENCHMARK(BM_EndpointDetection);

// An hour's resampling in miniature: ten seconds at 44.1 kHz in blocks of 64 KiB samples, on
// each kernel.
void BM_Resample44100To8000(benchmark::State& state) {
  const auto level = static_cast<SimdLevel>(state.range(0));
  if (!simdAvailable(level)) {
    state.SkipWithError("instruction set not available");
    return;
  }
  const auto source = voiceLike(44100, kSeconds, 32000, 0);
  const std::span<const int16_t> all(source);
  for (auto _ : state) {
    StreamingResampler resampler(44100, kRate, static_cast<int64_t>(source.size()), level);
    for (size_t start = 0; start < all.size(); start += 65536) {
      resampler.push(all.subspan(start, std::min<size_t>(65536, all.size() - start)));
    }
    benchmark::DoNotOptimize(resampler.finish());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * source.size()));
}
BENCHMARK(BM_Resample44100To8000)
    ->Arg(static_cast<int>(SimdLevel::kPortable))
    ->Arg(static_cast<int>(SimdLevel::kAvx2));

void BM_WholeExtraction(benchmark::State& state) {
  const auto samples = voiceLike(kRate, kSeconds, 127, 128);
  for (auto _ : state) {
    benchmark::DoNotOptimize(extractContour(samples, kRate, 8, Options{}));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kSeconds));
}
BENCHMARK(BM_WholeExtraction);

}  // namespace

}  // namespace pitchtrack
