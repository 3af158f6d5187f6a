#include "midi_file.h"

#include <algorithm>
#include <cstdint>

namespace pitchtrack::cli {

namespace {

constexpr uint16_t kTicksPerQuarter = 1000;
constexpr uint32_t kMicrosecondsPerQuarter = 1000000;  // 60 beats per minute

struct Event {
  int64_t tick = 0;
  bool on = false;
  uint8_t key = 0;
  uint8_t velocity = 0;
};

int64_t tickOf(double seconds) { return static_cast<int64_t>(seconds * 1000 + 0.5); }

uint8_t byteIn(int32_t value, int32_t low, int32_t high) {
  return static_cast<uint8_t>(std::clamp(value, low, high));
}

std::vector<Event> eventsOf(const std::vector<Note>& notes) {
  std::vector<Event> events;
  for (const Note& note : notes) {
    const uint8_t key = byteIn(note.midiNote, 0, 127);
    events.push_back({tickOf(note.onsetSeconds), true, key, byteIn(note.velocity, 1, 127)});
    events.push_back({tickOf(note.offsetSeconds), false, key, 0});
  }
  std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
    return a.tick != b.tick ? a.tick < b.tick : (!a.on && b.on);
  });
  return events;
}

void putBigEndian(std::string& out, uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A variable-length quantity: seven bits a byte, most significant first.
void putVariable(std::string& out, uint32_t value) {
  std::string bytes(1, static_cast<char>(value & 0x7F));
  while ((value >>= 7) != 0) bytes.insert(bytes.begin(), static_cast<char>(0x80 | (value & 0x7F)));
  out += bytes;
}

std::string trackData(const std::vector<Note>& notes) {
  std::string track;
  putVariable(track, 0);
  track += "\xFF\x51\x03";  // tempo
  putBigEndian(track, kMicrosecondsPerQuarter, 3);
  int64_t last = 0;
  for (const Event& event : eventsOf(notes)) {
    putVariable(track, static_cast<uint32_t>(event.tick - last));
    last = event.tick;
    track += static_cast<char>(event.on ? 0x90 : 0x80);
    track += static_cast<char>(event.key);
    track += static_cast<char>(event.on ? event.velocity : 64);
  }
  putVariable(track, 0);
  track += std::string("\xFF\x2F\x00", 3);  // end of track
  return track;
}

}  // namespace

std::string midiFile(const std::vector<Note>& notes) {
  std::string file = "MThd";
  putBigEndian(file, 6, 4);
  putBigEndian(file, 0, 2);  // format 0
  putBigEndian(file, 1, 2);  // one track
  putBigEndian(file, kTicksPerQuarter, 2);
  const std::string track = trackData(notes);
  file += "MTrk";
  putBigEndian(file, static_cast<uint32_t>(track.size()), 4);
  return file + track;
}

}  // namespace pitchtrack::cli
