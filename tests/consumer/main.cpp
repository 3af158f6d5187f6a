// consumer in.wav out.pitch: the contour of a 16-bit PCM WAVE file through the installed
// library, written as the tool writes its pitch file.
#include <pitchtrack/pitchtrack.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

uint32_t littleEndian(const std::string& bytes, size_t at, size_t count) {
  uint32_t value = 0;
  for (size_t i = count; i-- > 0;) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

struct Sound {
  std::vector<int16_t> samples;  // the first channel
  int32_t rate = 0;
};

// Reads the "fmt " and "data" chunks of a 16-bit PCM file; false for anything else.
bool readPcm16(const char* path, Sound& sound) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) {
    return false;
  }
  uint32_t channels = 0;
  for (size_t at = 12; at + 8 <= bytes.size();) {
    const std::string id = bytes.substr(at, 4);
    const size_t size = littleEndian(bytes, at + 4, 4);
    const size_t body = at + 8;
    if (size > bytes.size() - body) return false;
    if (id == "fmt " && size >= 16) {
      if (littleEndian(bytes, body, 2) != 1 || littleEndian(bytes, body + 14, 2) != 16)
        return false;
      channels = littleEndian(bytes, body + 2, 2);
      sound.rate = static_cast<int32_t>(littleEndian(bytes, body + 4, 4));
    } else if (id == "data" && channels > 0) {
      for (size_t s = body; s + 2 * channels <= body + size; s += 2 * channels) {
        sound.samples.push_back(static_cast<int16_t>(littleEndian(bytes, s, 2)));
      }
      return true;
    }
    at = body + size + size % 2;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  Sound sound;
  if (argc != 3 || !readPcm16(argv[1], sound)) {
    std::fprintf(stderr, "usage: consumer in.wav out.pitch (16-bit PCM)\n");
    return 2;
  }
  const std::vector<int32_t> contour = pitchtrack::trackContour(sound.samples, sound.rate, 16);
  std::ofstream(argv[2], std::ios::binary) << pitchtrack::formatContour(contour);
  return 0;
}
