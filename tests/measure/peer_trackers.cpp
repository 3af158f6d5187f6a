#include "peer_trackers.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace measure {

namespace {

constexpr double kFloorHz = 60;
constexpr double kCeilingHz = 1100;

bool installed(const char* program) {
  return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

std::vector<double> readNumbers(const std::string& path) {
  std::vector<double> out;
  std::ifstream in(path);
  for (double v; in >> v;) out.push_back(v);
  return out;
}

void put32(std::ofstream& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.put(static_cast<char>((v >> (8 * i)) & 0xff));
}

void put16(std::ofstream& out, uint16_t v) {
  out.put(static_cast<char>(v & 0xff));
  out.put(static_cast<char>(v >> 8));
}

}  // namespace

void writeWave(const std::string& path, const std::vector<int16_t>& samples, int32_t rate) {
  std::ofstream out(path, std::ios::binary);
  const auto bytes = static_cast<uint32_t>(samples.size() * 2);
  out.write("RIFF", 4);
  put32(out, 36 + bytes);
  out.write("WAVEfmt ", 8);
  put32(out, 16);
  put16(out, 1);
  put16(out, 1);
  put32(out, static_cast<uint32_t>(rate));
  put32(out, static_cast<uint32_t>(rate) * 2);
  put16(out, 2);
  put16(out, 16);
  out.write("data", 4);
  put32(out, bytes);
  for (const int16_t s : samples) put16(out, static_cast<uint16_t>(s));
}

std::optional<std::vector<double>> praatPitch(const PeerInput& input, const std::string& dir) {
  if (!installed("praat")) return std::nullopt;
  const std::string wav = dir + "/peer.wav", script = dir + "/pitch.praat",
                    out = dir + "/praat.txt";
  writeWave(wav, input.samples, input.rate);
  std::ofstream(script) << "form Pitch\n  sentence file\n  integer frames\nendform\n"
                           "Read from file: file$\n"
                           "To Pitch (ac): 0.008, "
                        << kFloorHz
                        << ", 15, \"no\", 0.03, 0.45, 0.01, "
                           "0.35, 0.14, "
                        << kCeilingHz
                        << "\n"
                           "for k to frames\n  f = Get value at time: (k - 0.5) * 0.032, "
                           "\"Hertz\", \"linear\"\n  if f = undefined\n    f = 0\n  endif\n"
                           "  appendInfoLine: f\nendfor\n";
  const std::string command = "praat --run " + script + " " + wav + " " +
                              std::to_string(input.frames) + " > " + out + " 2>/dev/null";
  if (std::system(command.c_str()) != 0) return std::nullopt;
  std::vector<double> values = readNumbers(out);
  values.resize(input.frames, 0.0);
  return values;
}

std::optional<std::vector<double>> swipePitch(const PeerInput& input, const std::string& dir) {
  if (!installed("sptk")) return std::nullopt;
  const std::string raw = dir + "/peer.f32", out = dir + "/swipe.f32";
  {
    std::ofstream file(raw, std::ios::binary);
    for (const int16_t s : input.samples) {
      const auto v = static_cast<float>(s);
      file.write(reinterpret_cast<const char*>(&v), sizeof v);
    }
  }
  const int32_t shift = std::max(1, input.rate / 250);  // about 4 ms
  char command[512];
  std::snprintf(command, sizeof command,
                "sptk pitch -a 1 -s %.5f -p %d -L %g -H %g -o 1 %s > %s 2>/dev/null",
                input.rate / 1000.0, shift, kFloorHz, kCeilingHz, raw.c_str(), out.c_str());
  if (std::system(command) != 0) return std::nullopt;
  std::vector<float> track;
  std::ifstream file(out, std::ios::binary);
  for (float v; file.read(reinterpret_cast<char*>(&v), sizeof v);) track.push_back(v);
  std::vector<double> values(input.frames, 0.0);
  for (size_t k = 0; k < input.frames; ++k) {
    const double centre = (static_cast<double>(k) + 0.5) * 0.032;
    const auto i = static_cast<size_t>(std::lround(centre * input.rate / shift));
    if (i < track.size()) values[k] = track[i];
  }
  return values;
}

}  // namespace measure
