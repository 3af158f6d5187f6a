// Byte-exact RIFF WAVE images for tests.
//
// Everything is written byte by byte in little-endian order, so a test can build well-formed
// files of any encoding as well as damaged ones: chunks whose declared size differs from their
// payload, missing or reordered chunks, odd sizes with their pad bytes, streaming headers.
#pragma once

#include <bit>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testwav {

using Bytes = std::vector<uint8_t>;

constexpr uint16_t kTagPcm = 1;
constexpr uint16_t kTagFloat = 3;
constexpr uint16_t kTagALaw = 6;
constexpr uint16_t kTagMuLaw = 7;
constexpr uint16_t kTagExtensible = 0xFFFE;

inline void appendU16(Bytes& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

inline void appendU32(Bytes& out, uint32_t value) {
  appendU16(out, static_cast<uint16_t>(value & 0xFFFF));
  appendU16(out, static_cast<uint16_t>(value >> 16));
}

inline void appendU64(Bytes& out, uint64_t value) {
  appendU32(out, static_cast<uint32_t>(value & 0xFFFFFFFF));
  appendU32(out, static_cast<uint32_t>(value >> 32));
}

inline void appendText(Bytes& out, std::string_view text) {
  out.insert(out.end(), text.begin(), text.end());
}

inline void appendBytes(Bytes& out, std::span<const uint8_t> bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

// Appends a chunk: id, size, payload and a pad byte when the payload length is odd. The size
// field says declaredSize when given (the payload is written as it is either way).
inline void appendChunk(Bytes& out, std::string_view id, std::span<const uint8_t> payload,
                        std::optional<uint32_t> declaredSize = std::nullopt) {
  appendText(out, id.substr(0, 4));
  appendU32(out, declaredSize.value_or(static_cast<uint32_t>(payload.size())));
  appendBytes(out, payload);
  if (payload.size() % 2 != 0) out.push_back(0);
}

inline Bytes chunk(std::string_view id, std::span<const uint8_t> payload,
                   std::optional<uint32_t> declaredSize = std::nullopt) {
  Bytes out;
  appendChunk(out, id, payload, declaredSize);
  return out;
}

// The fields of a "fmt " chunk, set by chaining: Format().withChannels(2).withBits(24).
// blockAlign and avgBytesPerSec follow from the layout. With extra bytes, or for
// WAVE_FORMAT_EXTENSIBLE, the payload gets the cbSize field.
struct Format {
  uint16_t tag = kTagPcm;
  uint16_t channels = 1;
  uint32_t rate = 8000;
  uint16_t bits = 16;
  Bytes extra;                      // bytes after cbSize
  uint16_t subFormatTag = kTagPcm;  // first two GUID bytes of an extensible format

  Format& withTag(uint16_t value) {
    tag = value;
    return *this;
  }
  Format& withChannels(uint16_t value) {
    channels = value;
    return *this;
  }
  Format& withRate(uint32_t value) {
    rate = value;
    return *this;
  }
  Format& withBits(uint16_t value) {
    bits = value;
    return *this;
  }
  Format& withExtra(Bytes value) {
    extra = std::move(value);
    return *this;
  }
  Format& withSubFormat(uint16_t value) {
    tag = kTagExtensible;
    subFormatTag = value;
    return *this;
  }
};

// The usual layout fields at once.
inline Format format(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
  Format result;
  result.tag = tag;
  result.channels = channels;
  result.rate = rate;
  result.bits = bits;
  return result;
}

// The remaining 14 bytes of the standard sub-format GUIDs (xxxx0000-0000-0010-8000-00AA00389B71).
inline constexpr uint8_t kSubFormatGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                   0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

inline Bytes extensibleExtra(const Format& format) {
  Bytes extra;
  appendU16(extra, format.bits);  // valid bits per sample
  appendU32(extra, 0);            // channel mask
  appendU16(extra, format.subFormatTag);
  appendBytes(extra, kSubFormatGuidTail);
  return extra;
}

inline Bytes fmtPayload(const Format& format) {
  const auto align = static_cast<uint16_t>(format.channels * ((format.bits + 7) / 8));
  Bytes out;
  appendU16(out, format.tag);
  appendU16(out, format.channels);
  appendU32(out, format.rate);
  appendU32(out, format.rate * align);
  appendU16(out, align);
  appendU16(out, format.bits);
  const Bytes extra = format.tag == kTagExtensible ? extensibleExtra(format) : format.extra;
  if (!extra.empty()) {
    appendU16(out, static_cast<uint16_t>(extra.size()));
    appendBytes(out, extra);
  }
  return out;
}

// "RIFF" <size> "WAVE" followed by the given chunk bytes. The RIFF size is the true one unless
// given (streaming recorders leave 0 there).
inline Bytes riffWave(std::span<const uint8_t> body,
                      std::optional<uint32_t> riffSize = std::nullopt) {
  Bytes out;
  appendText(out, "RIFF");
  appendU32(out, riffSize.value_or(static_cast<uint32_t>(body.size() + 4)));
  appendText(out, "WAVE");
  appendBytes(out, body);
  return out;
}

// A complete file: one "fmt " chunk and one "data" chunk.
inline Bytes wave(const Format& format, std::span<const uint8_t> data) {
  Bytes body = chunk("fmt ", fmtPayload(format));
  appendChunk(body, "data", data);
  return riffWave(body);
}

inline Bytes pcmWave(std::span<const int16_t> samples, uint32_t rate = 8000,
                     uint16_t channels = 1) {
  Bytes data;
  for (const int16_t s : samples) appendU16(data, static_cast<uint16_t>(s));
  return wave(format(kTagPcm, channels, rate, 16), data);
}

inline Bytes pcm8Wave(std::span<const uint8_t> samples, uint32_t rate = 8000,
                      uint16_t channels = 1) {
  return wave(format(kTagPcm, channels, rate, 8), samples);
}

// Integer PCM of 24 or 32 bits: the low bytes of each value, little-endian.
inline Bytes widePcmWave(std::span<const int32_t> samples, uint16_t bits, uint32_t rate = 8000,
                         uint16_t channels = 1) {
  Bytes data;
  for (const int32_t s : samples) {
    const auto value = static_cast<uint32_t>(s);
    for (int shift = 0; shift < bits; shift += 8)
      data.push_back(static_cast<uint8_t>(value >> shift));
  }
  return wave(format(kTagPcm, channels, rate, bits), data);
}

inline Bytes pcm24Wave(std::span<const int32_t> samples, uint32_t rate = 8000,
                       uint16_t channels = 1) {
  return widePcmWave(samples, 24, rate, channels);
}

inline Bytes pcm32Wave(std::span<const int32_t> samples, uint32_t rate = 8000,
                       uint16_t channels = 1) {
  return widePcmWave(samples, 32, rate, channels);
}

// IEEE float samples stored as 32-bit floats (bits 32) or 64-bit doubles (bits 64).
inline Bytes floatWave(std::span<const double> samples, uint16_t bits = 32, uint32_t rate = 8000,
                       uint16_t channels = 1) {
  Bytes data;
  for (const double s : samples) {
    if (bits == 64) {
      appendU64(data, std::bit_cast<uint64_t>(s));
    } else {
      appendU32(data, std::bit_cast<uint32_t>(static_cast<float>(s)));
    }
  }
  return wave(format(kTagFloat, channels, rate, bits), data);
}

inline Bytes muLawWave(std::span<const uint8_t> codes, uint32_t rate = 8000,
                       uint16_t channels = 1) {
  return wave(format(kTagMuLaw, channels, rate, 8), codes);
}

inline Bytes aLawWave(std::span<const uint8_t> codes, uint32_t rate = 8000, uint16_t channels = 1) {
  return wave(format(kTagALaw, channels, rate, 8), codes);
}

inline void writeFile(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace testwav
