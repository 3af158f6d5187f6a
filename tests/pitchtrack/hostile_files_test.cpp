// Damaged, extreme and degenerate wave files through the built tool, each run inside 512 MiB of
// address space: a file must either be refused with the one error line and status 1, leaving
// no file behind, or be analysed with the usual progress lines and a complete pitch file. A
// reader that trusts a declared size, wraps an offset or loops on a chunk fails here by
// running out of memory, crashing or never returning.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "pitchtrack/pitchtrack.h"
#include "support/address_sanitizer.h"
#include "support/run_tool.h"
#include "support/signals.h"
#include "support/temp_dir.h"
#include "support/wav_image.h"

namespace pitchtrack {

namespace {

namespace fs = std::filesystem;
using testwav::Bytes;
using testwav::Format;

using testsupport::kAddressSanitizer;

// A sanitized tool cannot start under an address-space limit; there the limit is left out.
std::string memoryLimit() { return kAddressSanitizer ? "" : "ulimit -v 1048576;"; }

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

Bytes fmtChunk(const Format& format) { return testwav::chunk("fmt ", testwav::fmtPayload(format)); }

// Harmonic-rich tone at f0 Hz, amplitude in [-1, 1].
std::vector<double> tone(double f0, int rate, size_t count) {
  return testsignal::steadyTone(
      {.frequency = f0, .rate = static_cast<double>(rate), .amplitude = 0.45, .harmonics = 6},
      count);
}

Bytes tone16Bytes(size_t count) {
  Bytes data;
  for (const int16_t s : testsignal::toPcm16(tone(220, 8000, count))) {
    testwav::appendU16(data, static_cast<uint16_t>(s));
  }
  return data;
}

// One second of tone between quarter seconds of silence, as the data of a 16-bit 8 kHz file.
Bytes voicedBytes() {
  Bytes data(2 * 2000, 0);
  const Bytes voiced = tone16Bytes(8000);
  data.insert(data.end(), voiced.begin(), voiced.end());
  data.insert(data.end(), 2 * 2000, 0);
  return data;
}

Bytes toneFile(size_t count) {
  return testwav::pcmWave(testsignal::toPcm16(tone(220, 8000, count)));
}

// A fmt chunk of the given layout followed by five seconds of 16-bit tone data.
Bytes longDataWithFormat(const Format& format) {
  return testwav::riffWave(concat({fmtChunk(format), testwav::chunk("data", tone16Bytes(40000))}));
}

Bytes millionTinyChunks() {
  constexpr size_t kChunks = 1000000;
  Bytes body;
  body.reserve(kChunks * 8 + 20000);
  for (size_t i = 0; i < kChunks; ++i) testwav::appendChunk(body, "junk", Bytes{});
  const Bytes tail = concat({fmtChunk(Format()), testwav::chunk("data", voicedBytes())});
  body.insert(body.end(), tail.begin(), tail.end());
  return testwav::riffWave(body);
}

// An unknown chunk whose size plus header is exactly 2^32: an offset kept in 32 bits comes
// back to the chunk itself and the walk never ends. The data chunk after it is never reached
// by a correct walk either, since the declared size ends past the end of the file.
Bytes sizeWrappingToItself() {
  return testwav::riffWave(
      concat({fmtChunk(Format()), testwav::chunk("junk", Bytes(16, 0), 0xFFFFFFF8),
              testwav::chunk("data", tone16Bytes(2000))}));
}

// A first RIFF form of another type whose size wraps a 32-bit offset back to the file start.
Bytes formSizeWrappingToStart() {
  return concat({testwav::chunk("RIFF", Bytes{'A', 'V', 'I', ' '}, 0xFFFFFFF8), toneFile(2000)});
}

// An odd size whose pad byte takes part in the wrap: header, size and pad add up to 2^32 - 2,
// so a 32-bit offset lands two bytes before the chunk, inside the tail of the fmt chunk.
Bytes oddSizeWrappingBackwards() {
  return testwav::riffWave(
      concat({fmtChunk(Format()), testwav::chunk("junk", Bytes(16, 0), 0xFFFFFFF5),
              testwav::chunk("data", tone16Bytes(2000))}));
}

Bytes squareWave() {
  // 200 Hz at 8000 Hz: 20 samples high, 20 low, one second between half a second of silence.
  std::vector<int16_t> samples(4000, 0);
  for (size_t i = 0; i < 8000; ++i) samples.push_back((i / 20) % 2 == 0 ? 32767 : -32768);
  samples.insert(samples.end(), 4000, 0);
  return testwav::pcmWave(samples);
}

Bytes threeChannel24Bit() {
  const auto voice = tone(220, 48000, 48000);
  std::vector<int32_t> samples;
  for (const double v : voice) {
    const auto value = static_cast<int32_t>(std::lround(v * 8388607));
    samples.insert(samples.end(), {value, value / 2, -value / 4});
  }
  return testwav::pcm24Wave(samples, 48000, 3);
}

constexpr const char* kToEight = "nbits=16 ===> Convert from nbits=16 to 8!\n";
constexpr const char* kNotWave = "not a RIFF WAVE file";
constexpr const char* kTruncated = "truncated: the file ends inside the data chunk";

// What an accepted file's pitch file holds: exactly `line`, or, for a tone, at least 20 values
// that are all the tone's semitone times ten or 0, with pitched ends. Neither: any line.
struct Contour {
  std::optional<std::string> line;
  const char* toneValue = nullptr;
};

Contour exactly(std::string line) { return {std::move(line), nullptr}; }
Contour toneOf(const char* value) { return {std::nullopt, value}; }
const Contour kAnyContour{};

struct HostileCase {
  std::string name;
  std::function<Bytes()> image;
  bool accepted = false;
  std::string progress;  // lines before "Writing pitch to" when accepted
  Contour contour;
  std::string reason;  // why a refused file is refused
};

HostileCase refused(std::string name, std::function<Bytes()> image, std::string reason) {
  return {std::move(name), std::move(image), false, "", {}, std::move(reason)};
}

HostileCase refused(std::string name, Bytes image, std::string reason) {
  return refused(
      std::move(name), [image] { return image; }, std::move(reason));
}

HostileCase accepted(std::string name, std::function<Bytes()> image, std::string progress,
                     Contour contour) {
  return {std::move(name), std::move(image), true, std::move(progress), std::move(contour), ""};
}

std::vector<HostileCase> hostileCases() {
  const Bytes fmt = fmtChunk(Format());
  const Bytes data = testwav::chunk("data", tone16Bytes(800));
  const Bytes aviHeader = {'R', 'I', 'F', 'F', 0, 4, 0, 0, 'A', 'V', 'I', ' '};
  const auto withData = [&](const Bytes& dataChunk) {
    return testwav::riffWave(concat({fmt, dataChunk}));
  };
  const std::string resampled = "fs=48000 ===> Resample to have fs=8000\n";
  return {
      refused("empty file", Bytes{}, kNotWave),
      refused("text file", Bytes{'p', 'i', 't', 'c', 'h', '\t', 'n', 'o', 't', '\n'}, kNotWave),
      refused(
          "truncated header",
          [] {
            Bytes image = toneFile(800);
            image.resize(30);  // inside the fmt chunk
            return image;
          },
          "truncated: the file ends inside the fmt chunk"),
      refused("RIFF of another form type", concat({aviHeader, fmt, data}), kNotWave),
      refused("fmt of 2 bytes",
              testwav::riffWave(concat({testwav::chunk("fmt ", Bytes{1, 0}), data})),
              "fmt chunk too short"),
      refused("fmt after data", testwav::riffWave(concat({data, fmt})),
              "the data chunk comes before the fmt chunk"),
      refused("no data chunk", testwav::riffWave(fmt), "no data chunk"),
      refused("data size 0", withData(testwav::chunk("data", Bytes{})), "empty data chunk"),
      refused("data size 0x7FFFFFFF on a tiny file",
              withData(testwav::chunk("data", Bytes(8, 1), 0x7FFFFFFF)), kTruncated),
      accepted(
          "data size placeholder 0xFFFFFFFF on a tiny file",
          [image = withData(testwav::chunk("data", Bytes(8, 1), 0xFFFFFFFF))] { return image; },
          kToEight, exactly("\n")),
      accepted(
          "data size placeholder 0x7FFFF000 on a tone",
          [image = withData(testwav::chunk("data", voicedBytes(), 0x7FFFF000))] { return image; },
          kToEight, toneOf("570")),
      refused("chunk size wrapping a 32-bit offset to itself", sizeWrappingToItself,
              "no data chunk"),
      refused("odd chunk size wrapping a 32-bit offset backwards", oddSizeWrappingBackwards,
              "no data chunk"),
      refused("form size wrapping a 32-bit offset to the start", formSizeWrappingToStart, kNotWave),
      accepted("a million tiny chunks before data", millionTinyChunks, kToEight, toneOf("570")),
      refused("bits per sample 0", longDataWithFormat(Format().withBits(0)),
              "unsupported sample size: 0-bit PCM"),
      refused("bits per sample 4", longDataWithFormat(Format().withBits(4)),
              "unsupported sample size: 4-bit PCM"),
      refused("bits per sample 12", longDataWithFormat(Format().withBits(12)),
              "unsupported sample size: 12-bit PCM"),
      refused("IMA ADPCM", longDataWithFormat(testwav::format(0x0011, 1, 8000, 4)),
              "unsupported encoding IMA ADPCM (0x0011)"),
      refused("unknown encoding", longDataWithFormat(testwav::format(0x1234, 1, 8000, 16)),
              "unsupported encoding (0x1234)"),
      refused("channels 0", longDataWithFormat(Format().withChannels(0)), "no channels"),
      refused("sample rate 0", longDataWithFormat(Format().withRate(0)),
              "rate 0 Hz outside 1000-768000 Hz"),
      refused("sample rate 1", longDataWithFormat(Format().withRate(1)),
              "rate 1 Hz outside 1000-768000 Hz"),
      refused("sample rate 999", longDataWithFormat(Format().withRate(999)),
              "rate 999 Hz outside 1000-768000 Hz"),
      refused("sample rate 800000", longDataWithFormat(Format().withRate(800000)),
              "rate 800000 Hz outside 1000-768000 Hz"),
      accepted(
          "one sample", [] { return toneFile(1); }, kToEight, exactly("\n")),
      accepted(
          "511 samples", [] { return toneFile(511); }, kToEight, exactly("\n")),
      accepted(
          "512 samples", [] { return toneFile(512); }, kToEight, kAnyContour),
      accepted(
          "all-zero audio", [] { return testwav::pcmWave(std::vector<int16_t>(16000, 0)); },
          kToEight, exactly("\n")),
      accepted(
          "DC only", [] { return testwav::pcm8Wave(std::vector<uint8_t>(16000, 200)); }, "",
          exactly("\n")),
      accepted("full-scale square wave at 200 Hz", squareWave, kToEight, toneOf("550")),
      accepted("3 channels of 24 bits at 220 Hz", threeChannel24Bit, resampled + kToEight,
               toneOf("570")),
  };
}

// "570+570+0+570\n" -> {"570", "570", "0", "570"}; empty for "\n".
std::vector<std::string> valuesOf(std::string line) {
  std::vector<std::string> values;
  if (line.ends_with('\n')) line.pop_back();
  for (size_t start = 0; start < line.size();) {
    const size_t end = std::min(line.find('+', start), line.size());
    values.push_back(line.substr(start, end - start));
    start = end + 1;
  }
  return values;
}

void expectContour(const std::string& pitch, const Contour& expected) {
  EXPECT_TRUE(pitch.ends_with('\n'));
  if (expected.line) {
    EXPECT_EQ(pitch, *expected.line);
  }
  if (expected.toneValue == nullptr) return;
  const std::vector<std::string> values = valuesOf(pitch);
  ASSERT_GE(values.size(), 20u) << pitch;
  EXPECT_EQ(values.front(), expected.toneValue);
  EXPECT_EQ(values.back(), expected.toneValue);
  for (const std::string& v : values) EXPECT_TRUE(v == expected.toneValue || v == "0") << v;
}

TEST(HostileFiles, EachIsRefusedCleanlyOrAnalysedCompletely) {
  for (const HostileCase& c : hostileCases()) {
    SCOPED_TRACE(c.name);
    testsupport::TempDir work;
    testwav::writeFile(work.path("in.wav"), c.image());
    const auto run = testsupport::runTool(work.root(), "in.wav out.pitch", memoryLimit());
    if (!c.accepted) {
      EXPECT_EQ(run.status, 1);
      EXPECT_EQ(run.output, "Error: cannot open wave file in.wav!\n");
      EXPECT_EQ(run.error, "pitchtrack: in.wav: " + c.reason + "\n");
      EXPECT_EQ(work.names(), std::vector<std::string>{"in.wav"});
      continue;
    }
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, c.progress + "Writing pitch to out.pitch\n");
    ASSERT_EQ(work.names(), (std::vector<std::string>{"in.wav", "out.pitch"}));
    expectContour(testsupport::readFile(work.path("out.pitch")), c.contour);
  }
}

// The same matrix through the library, in this process: each refused file raises WaveError with
// its code and reason and the next call works; each accepted one gives the tool's contour and
// progress lines. Nothing reaches standard output.
TEST(HostileFiles, LibraryRefusesEachWithAnExceptionAndGoesOn) {
  testsupport::TempDir work;
  testing::internal::CaptureStdout();
  for (const HostileCase& c : hostileCases()) {
    SCOPED_TRACE(c.name);
    const fs::path path = work.path("in.wav");
    testwav::writeFile(path, c.image());
    std::string progress;
    const Options options{[&progress](const std::string& line) { progress += line + "\n"; }};
    try {
      const std::string line = formatContour(trackFile(path.string(), options));
      EXPECT_TRUE(c.accepted) << "accepted a file the tool refuses";
      EXPECT_EQ(progress, c.progress);
      expectContour(line, c.contour);
    } catch (const WaveError& error) {
      EXPECT_FALSE(c.accepted) << error.what();
      EXPECT_EQ(error.reason(), c.reason);
      EXPECT_EQ(error.path(), path.string());
      EXPECT_NE(error.code(), 0u);
    }
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

// Files that declare enormous recordings while taking almost no disk space: a header, then a
// hole. Each must be refused or tracked quickly, inside 1 GiB of address space, never aborted.
struct SparseCase {
  std::string name;
  Bytes header;           // the file's first bytes
  uint64_t size;          // the file's length, the rest a hole of zeros
  int status;             // 0 or 1
  std::string reason;     // on standard error, for status 1
  bool needsMemoryLimit;  // only meaningful where the address space can be limited
};

Bytes dataHeader(const Format& format, uint32_t dataSize) {
  Bytes header = testwav::riffWave(fmtChunk(format));
  testwav::appendText(header, "data");
  testwav::appendU32(header, dataSize);
  return header;
}

TEST(HostileFiles, SparseGiantsAreHandledWithinBoundedMemoryAndTime) {
  const uint32_t sampleCount = 268435457;  // at 1000 Hz, 8 kHz needs 2^31 + 1 samples
  const std::vector<SparseCase> cases = {
      {"1000 Hz header past the analysable length",
       dataHeader(Format().withRate(1000).withBits(8), sampleCount), 44 + uint64_t{sampleCount}, 1,
       "the recording is longer than the analysis can index", false},
      {"65535 channels of 8 bits", dataHeader(Format().withChannels(65535).withBits(8), 1 << 30),
       44 + (uint64_t{1} << 30), 0, "", false},
      {"65535 channels of 64-bit float",
       dataHeader(Format().withTag(testwav::kTagFloat).withChannels(65535).withBits(64), 1 << 30),
       44 + (uint64_t{1} << 30), 0, "", false},
      {"1000 Hz for 33 hours: its 8 kHz signal does not fit",
       dataHeader(Format().withRate(1000).withBits(8), 120000000), 44 + uint64_t{120000000}, 1,
       "not enough memory", true},
      {"3 GiB of zeros before the data chunk", testwav::riffWave(fmtChunk(Format())),
       uint64_t{3} << 30, 1, "no data chunk", false},
  };
  for (const SparseCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.needsMemoryLimit && kAddressSanitizer) continue;
    testsupport::TempDir work;
    testwav::writeFile(work.path("in.wav"), c.header);
    fs::resize_file(work.path("in.wav"), c.size);
    const auto run =
        testsupport::runTool(work.root(), "-q in.wav out.pitch", memoryLimit() + " timeout 60");
    EXPECT_EQ(run.status, c.status) << run.error;
    if (c.status == 1) {
      EXPECT_EQ(run.output, "Error: cannot open wave file in.wav!\n");
      EXPECT_EQ(run.error, "pitchtrack: in.wav: " + c.reason + "\n");
    } else {
      EXPECT_EQ(testsupport::readFile(work.path("out.pitch")), "\n") << "silence has no pitch";
    }
  }
}

}  // namespace

}  // namespace pitchtrack
