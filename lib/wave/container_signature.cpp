#include "wave/container_signature.h"

#include <algorithm>
#include <string_view>

namespace pitchtrack {

namespace {

bool hasAt(std::span<const uint8_t> head, size_t at, std::string_view magic) {
  return head.size() >= at + magic.size() &&
         std::equal(magic.begin(), magic.end(), head.begin() + static_cast<std::ptrdiff_t>(at),
                    [](char m, uint8_t b) { return static_cast<uint8_t>(m) == b; });
}

// Sony Wave64 opens with the GUID of its "riff" chunk.
constexpr uint8_t kWave64Guid[16] = {0x72, 0x69, 0x66, 0x66, 0x2E, 0x91, 0xCF, 0x11,
                                     0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00};

bool isWave64(std::span<const uint8_t> head) {
  return head.size() >= std::size(kWave64Guid) &&
         std::equal(std::begin(kWave64Guid), std::end(kWave64Guid), head.begin());
}

// An MPEG audio frame header: eleven sync bits, then a version other than "reserved" and a
// layer other than 0 (layer 0 with the same sync is AAC's ADTS).
bool isMpegAudioFrame(std::span<const uint8_t> head) {
  if (head.size() < 2 || head[0] != 0xFF || (head[1] & 0xE0) != 0xE0) return false;
  const unsigned version = (head[1] >> 3) & 3U;
  const unsigned layer = (head[1] >> 1) & 3U;
  return version != 1 && layer != 0;
}

bool isAdts(std::span<const uint8_t> head) {
  return head.size() >= 2 && head[0] == 0xFF && (head[1] & 0xF6) == 0xF0;
}

// The first Ogg page's packet starts after 27 header bytes and its segment table.
Container oggCodec(std::span<const uint8_t> head) {
  if (head.size() < 27) return Container::kOgg;
  const size_t packet = 27 + size_t{head[26]};
  if (hasAt(head, packet, "OpusHead")) return Container::kOggOpus;
  if (hasAt(head, packet, "\x01vorbis")) return Container::kOggVorbis;
  if (hasAt(head, packet,
            "\x7F"
            "FLAC"))
    return Container::kOggFlac;
  return Container::kOgg;
}

Container riffKind(std::span<const uint8_t> head) {
  return hasAt(head, 8, "WAVE") ? Container::kRiffWave : Container::kUnknown;
}

}  // namespace

Container identifyContainer(std::span<const uint8_t> head) {
  if (hasAt(head, 0, "RIFF")) return riffKind(head);
  if (hasAt(head, 0, "RIFX") && hasAt(head, 8, "WAVE")) return Container::kRifx;
  if ((hasAt(head, 0, "RF64") || hasAt(head, 0, "BW64")) && hasAt(head, 8, "WAVE")) {
    return Container::kRf64;
  }
  if (isWave64(head)) return Container::kWave64;
  if (hasAt(head, 0, "fLaC")) return Container::kFlac;
  if (hasAt(head, 0, "OggS")) return oggCodec(head);
  if (hasAt(head, 0, "FORM") && (hasAt(head, 8, "AIFF") || hasAt(head, 8, "AIFC"))) {
    return Container::kAiff;
  }
  if (hasAt(head, 0, ".snd")) return Container::kAu;
  if (hasAt(head, 0, "caff")) return Container::kCaf;
  if (hasAt(head, 0, "ID3") || isMpegAudioFrame(head)) return Container::kMp3;
  if (isAdts(head)) return Container::kAacAdts;
  if (hasAt(head, 4, "ftyp")) return Container::kMp4;
  return Container::kUnknown;
}

ContainerReader readerOf(Container container) {
  switch (container) {
    case Container::kRiffWave:
      return ContainerReader::kOwnReader;
    case Container::kUnknown:
    case Container::kAacAdts:
    case Container::kMp4:
      return ContainerReader::kNone;
    default:
      return ContainerReader::kSoundFile;
  }
}

const char* containerName(Container container) {
  switch (container) {
    case Container::kRiffWave:
      return "WAV";
    case Container::kRifx:
      return "RIFX (big-endian WAV)";
    case Container::kRf64:
      return "RF64";
    case Container::kWave64:
      return "Wave64";
    case Container::kFlac:
      return "FLAC";
    case Container::kOggVorbis:
      return "Ogg Vorbis";
    case Container::kOggOpus:
      return "Opus";
    case Container::kOggFlac:
      return "Ogg FLAC";
    case Container::kOgg:
      return "Ogg";
    case Container::kAiff:
      return "AIFF";
    case Container::kAu:
      return "Sun/NeXT AU";
    case Container::kCaf:
      return "CAF";
    case Container::kMp3:
      return "MP3";
    case Container::kAacAdts:
      return "AAC (ADTS)";
    case Container::kMp4:
      return "MP4/M4A";
    case Container::kUnknown:
      break;
  }
  return "unknown format";
}

}  // namespace pitchtrack
