// Damaged and lying WAV files: the reader rejects them or ends its data cleanly, never reads
// outside its buffers (run under AddressSanitizer) and never hangs.
#include "WaveTestFiles.h"

#include <gtest/gtest.h>

using namespace wavetest;

namespace {

struct TSample {
  const char *Name;
  TBytes Image;
  bool Exact; // a truncated file decodes to a prefix of the whole one
};

std::vector<TSample> SampleFiles(const TTempDir &dir) {
  std::string mono = WriteRawSignal(dir, 6000, 1);
  std::string stereo = WriteRawSignal(dir, 6000, 2);
  return {
      {"pcm16", ReadFileBytes(SoxWav(dir, stereo, 2, "-b 16", "a.wav")), true},
      {"extensible24", ReadFileBytes(SoxWav(dir, stereo, 2, "-b 24", "b.wav")), true},
      {"float64", ReadFileBytes(SoxWav(dir, mono, 1, "-e floating-point -b 64", "c.wav")), true},
      {"ima mono", ReadFileBytes(SoxWav(dir, mono, 1, "-e ima-adpcm", "d.wav")), true},
      {"ima stereo", ReadFileBytes(SoxWav(dir, stereo, 2, "-e ima-adpcm", "e.wav")), true},
      {"ms stereo",
       ReadFileBytes(FfmpegWav(dir, stereo, 2, "-c:a adpcm_ms -block_size 256", "f.wav")), true},
      {"ms mono", ReadFileBytes(SoxWav(dir, mono, 1, "-e ms-adpcm", "g.wav")), true},
      {"mp3", ReadFileBytes(FfmpegWav(dir, mono, 1, "-c:a libmp3lame -f wav", "h.wav")), false},
  };
}

bool IsPrefix(const TBytes &part, const TBytes &whole) {
  return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

void ExpectCleanRead(const TBytes &image, const TBytes &whole, bool exact) {
  auto stream = MemoryOf(image);
  TWaveIn in;
  in.SetStream(stream.get());
  bool valid = in.Valid();
  TDecoded d = ReadAll(in);
  if (!valid) {
    EXPECT_TRUE(d.Data.empty());
  } else if (exact) {
    EXPECT_TRUE(IsPrefix(d.Data, whole));
  }
}

TBytes Patched(TBytes image, std::size_t offset, std::initializer_list<std::uint8_t> bytes) {
  std::copy(bytes.begin(), bytes.end(), image.begin() + std::ptrdiff_t(offset));
  return image;
}

// The offset of the format chunk's body.
constexpr std::size_t Fmt = 20;

} // namespace

TEST(WaveInMalformed, TruncatedAtEveryByteOfTheHeaderAndFirstBlocks) {
  TTempDir dir;
  for (const TSample &s : SampleFiles(dir)) {
    SCOPED_TRACE(s.Name);
    const TBytes whole = ReadImage(s.Image).Data;
    ASSERT_FALSE(whole.empty());
    const std::size_t end = std::min(s.Image.size(), DataOffset(s.Image) + 1500);
    for (std::size_t length = 0; length < end; ++length) {
      TBytes cut(s.Image.begin(), s.Image.begin() + std::ptrdiff_t(length));
      ExpectCleanRead(cut, whole, s.Exact);
      if (HasFailure()) {
        ADD_FAILURE() << "cut at " << length;
        return;
      }
    }
  }
}

TEST(WaveInMalformed, RandomlyDamagedHeadersAndBlocks) {
  TTempDir dir;
  std::uint32_t seed = 2024;
  for (const TSample &s : SampleFiles(dir)) {
    SCOPED_TRACE(s.Name);
    const std::size_t span = std::min(s.Image.size(), DataOffset(s.Image) + 600);
    for (int round = 0; round < 300; ++round) {
      TBytes image = s.Image;
      for (int k = 0; k < 4; ++k) {
        seed = seed * 1664525u + 1013904223u;
        image[(seed >> 8) % span] = std::uint8_t(seed >> 24);
      }
      ExpectCleanRead(image, {}, false);
    }
  }
}

TEST(WaveInMalformed, LyingFormatFieldsMakeTheFileInvalid) {
  TTempDir dir;
  std::vector<TSample> files = SampleFiles(dir);
  const TBytes &pcm = files[0].Image, &imaMono = files[3].Image, &imaStereo = files[4].Image,
               &msStereo = files[5].Image;
  struct Case {
    const char *name;
    TBytes image;
  } cases[] = {
      {"pcm without channels", Patched(pcm, Fmt + 2, {0, 0})},
      {"pcm without bits", Patched(pcm, Fmt + 14, {0, 0})},
      {"pcm of 40-bit samples", Patched(pcm, Fmt + 14, {40, 0})},
      {"pcm of 65535 channels", Patched(pcm, Fmt + 2, {0xFF, 0xFF})},
      {"format chunk shorter than its fields", Patched(pcm, 16, {10, 0, 0, 0})},
      {"format chunk longer than the file", Patched(pcm, 16, {0xF0, 0xFF, 0xFF, 0xFF})},
      {"ima without channels", Patched(imaMono, Fmt + 2, {0, 0})},
      {"ima of 3 channels", Patched(imaMono, Fmt + 2, {3, 0})},
      {"ima with zero block align", Patched(imaMono, Fmt + 12, {0, 0})},
      {"ima block align within the header", Patched(imaStereo, Fmt + 12, {8, 0})},
      {"ima stereo block align off the 8-byte groups", Patched(imaStereo, Fmt + 12, {12, 1})},
      {"ima without samples per block", Patched(imaMono, Fmt + 18, {0, 0})},
      {"ms without channels", Patched(msStereo, Fmt + 2, {0, 0})},
      {"ms with zero block align", Patched(msStereo, Fmt + 12, {0, 0})},
      {"ms block align within the header", Patched(msStereo, Fmt + 12, {13, 0})},
      {"ms with more samples than the block holds", Patched(msStereo, Fmt + 18, {0xFF, 0x7F})},
      {"ms with 33 coefficient pairs", Patched(msStereo, Fmt + 20, {33, 0})},
      {"ms with no coefficient pairs", Patched(msStereo, Fmt + 20, {0, 0})},
      {"ms with more pairs than the chunk holds", Patched(msStereo, Fmt + 20, {20, 0})},
      {"pcm at 0 Hz", Patched(pcm, Fmt + 4, {0, 0, 0, 0})},
      {"pcm at 999 Hz", Patched(pcm, Fmt + 4, {0xE7, 3, 0, 0})},
      {"ima at 2147483648 Hz", Patched(imaMono, Fmt + 4, {0, 0, 0, 0x80})},
      {"ms at 4294967295 Hz", Patched(msStereo, Fmt + 4, {0xFF, 0xFF, 0xFF, 0xFF})},
      {"nothing but an empty unknown chunk",
       {'R', 'I', 'F', 'F', 0x52, 4, 0xFF, 0xFF, 'W', 'A', 'V', 'E', '9', 0, 0, 0, 0, 0, 0, 0}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    auto stream = MemoryOf(c.image);
    TWaveIn in;
    in.SetStream(stream.get());
    EXPECT_FALSE(in.Valid());
    EXPECT_TRUE(ReadAll(in).Data.empty());
    // A rate no sound file has is named.
    EXPECT_EQ(in.Refusal().find("its header gives a sample rate of"),
              std::string(c.name).find(" Hz") != std::string::npos ? 0 : std::string::npos);
  }
}

TEST(WaveInMalformed, MsBlockNamingAnUndeclaredPredictorEndsTheData) {
  TTempDir dir;
  TBytes image = SampleFiles(dir)[5].Image; // stereo, 256-byte blocks, 7 pairs
  const std::size_t data = DataOffset(image);
  const TBytes whole = ReadImage(image).Data;
  const std::size_t blockBytes = 2 * 2 * wav::GetU16(image.data() + Fmt + 18);
  image[data + 256 + 1] = 7; // the right channel's predictor in block 2
  TDecoded d = ReadImage(image);
  EXPECT_EQ(d.Data.size(), blockBytes);
  EXPECT_TRUE(IsPrefix(d.Data, whole));
  image[data] = 200; // and now in block 1
  EXPECT_TRUE(ReadImage(image).Data.empty());
}

// A "fact" count beyond the blocks of the data chunk announces audio that is not there, and a
// writer fed by the reader would fill it with silence: Size follows the blocks present.
TEST(WaveInMalformed, FactCountBeyondTheBlocksPresent) {
  TTempDir dir;
  std::vector<TSample> files = SampleFiles(dir);
  for (const TSample &s : {files[3], files[4], files[5], files[6]}) { // the ADPCM files
    for (std::uint32_t claimed : {10000000u, 0x7FFFFFFFu}) {
      TBytes image = s.Image;
      const auto fact =
          std::search(image.begin(), image.end(), std::begin("fact"), std::end("fact") - 1);
      ASSERT_NE(fact, image.end());
      wav::PutU32(&*fact + 8, claimed);
      for (std::size_t length : {image.size(), DataOffset(image) + 572}) {
        SCOPED_TRACE(std::string(s.Name) + ", " + std::to_string(length) + " bytes");
        TDecoded d = ReadImage(TBytes(image.begin(), image.begin() + std::ptrdiff_t(length)));
        EXPECT_FALSE(d.Data.empty());
        EXPECT_EQ(d.Size, std::int64_t(d.Data.size()));
      }
    }
  }
}
