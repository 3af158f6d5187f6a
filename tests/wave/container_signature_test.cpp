#include "wave/container_signature.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pitchtrack {

namespace {

std::vector<uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

// An Ogg page header of 27 bytes with `segments` lacing values, then the first packet.
std::string oggPage(const std::string& packet, uint8_t segments = 1) {
  std::string page = "OggS" + std::string(22, '\0');
  page += static_cast<char>(segments);
  page += std::string(segments, '\x13');
  return page + packet;
}

struct SignatureCase {
  const char* name;
  std::string head;
  Container container;
  ContainerReader reader;
};

class ContainerSignature : public testing::TestWithParam<SignatureCase> {};

TEST_P(ContainerSignature, NamesTheContainerAndItsReader) {
  const SignatureCase& c = GetParam();
  const Container found = identifyContainer(bytesOf(c.head));
  EXPECT_EQ(found, c.container) << containerName(found);
  EXPECT_EQ(readerOf(found), c.reader);
}

const std::string kSize = std::string("\x24\x00\x00\x00", 4);

INSTANTIATE_TEST_SUITE_P(
    Heads, ContainerSignature,
    testing::Values(
        SignatureCase{"wav", "RIFF" + kSize + "WAVEfmt ", Container::kRiffWave,
                      ContainerReader::kOwnReader},
        // RIFF with another form, or too short to show one, is the WAV reader's to refuse.
        SignatureCase{"avi", "RIFF" + kSize + "AVI ", Container::kUnknown, ContainerReader::kNone},
        SignatureCase{"riff_cut", "RIFF", Container::kUnknown, ContainerReader::kNone},
        SignatureCase{"rifx", "RIFX" + kSize + "WAVE", Container::kRifx,
                      ContainerReader::kSoundFile},
        SignatureCase{"rf64", "RF64" + kSize + "WAVE", Container::kRf64,
                      ContainerReader::kSoundFile},
        SignatureCase{"bw64", "BW64" + kSize + "WAVE", Container::kRf64,
                      ContainerReader::kSoundFile},
        SignatureCase{"wave64", std::string("riff\x2E\x91\xCF\x11\xA5\xD6\x28\xDB\x04\xC1\0\0", 16),
                      Container::kWave64, ContainerReader::kSoundFile},
        SignatureCase{"wave64_cut", "riff\x2E\x91\xCF", Container::kUnknown,
                      ContainerReader::kNone},
        SignatureCase{"flac", "fLaC\0\0\0\x22", Container::kFlac, ContainerReader::kSoundFile},
        SignatureCase{"opus", oggPage("OpusHead"), Container::kOggOpus,
                      ContainerReader::kSoundFile},
        SignatureCase{"vorbis", oggPage("\x01vorbis"), Container::kOggVorbis,
                      ContainerReader::kSoundFile},
        SignatureCase{"ogg_flac",
                      oggPage("\x7F"
                              "FLAC"),
                      Container::kOggFlac, ContainerReader::kSoundFile},
        // The packet starts after the whole segment table, however long it is.
        SignatureCase{"opus_two_segments", oggPage("OpusHead", 2), Container::kOggOpus,
                      ContainerReader::kSoundFile},
        SignatureCase{"ogg_speex", oggPage("Speex   "), Container::kOgg,
                      ContainerReader::kSoundFile},
        SignatureCase{"ogg_cut", "OggS\0\0", Container::kOgg, ContainerReader::kSoundFile},
        SignatureCase{"aiff", "FORM" + kSize + "AIFF", Container::kAiff,
                      ContainerReader::kSoundFile},
        SignatureCase{"aifc", "FORM" + kSize + "AIFC", Container::kAiff,
                      ContainerReader::kSoundFile},
        SignatureCase{"iff_8svx", "FORM" + kSize + "8SVX", Container::kUnknown,
                      ContainerReader::kNone},
        SignatureCase{"au", ".snd\0\0\0\x18", Container::kAu, ContainerReader::kSoundFile},
        SignatureCase{"caf", "caff\0\x01\0\0", Container::kCaf, ContainerReader::kSoundFile},
        SignatureCase{"mp3_id3", "ID3\x04\0\0", Container::kMp3, ContainerReader::kSoundFile},
        SignatureCase{"mp3_frame", "\xFF\xFB\x90\x64", Container::kMp3,
                      ContainerReader::kSoundFile},
        SignatureCase{"mp2_mpeg2_frame", "\xFF\xF5\x90\x64", Container::kMp3,
                      ContainerReader::kSoundFile},
        // Sync with the reserved version, or with layer bits 00 (ADTS), is no MPEG audio frame.
        SignatureCase{"reserved_version", "\xFF\xEB\x90\x64", Container::kUnknown,
                      ContainerReader::kNone},
        SignatureCase{"adts", "\xFF\xF1\x50\x80", Container::kAacAdts, ContainerReader::kNone},
        SignatureCase{"m4a",
                      std::string("\0\0\0\x20"
                                  "ftypM4A ",
                                  12),
                      Container::kMp4, ContainerReader::kNone},
        SignatureCase{"empty", "", Container::kUnknown, ContainerReader::kNone},
        SignatureCase{"text", "hello, world", Container::kUnknown, ContainerReader::kNone}),
    [](const testing::TestParamInfo<SignatureCase>& info) { return info.param.name; });

}  // namespace

}  // namespace pitchtrack
