// The reader against files written by sox and ffmpeg from one known signal, compared with what
// an independent decoder makes of the same files.
#include "AuProcs.h"
#include "WaveTestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace wavetest;

namespace {

constexpr int Frames = 44100;

class WaveInPeers : public ::testing::Test {
protected:
  TTempDir Dir;
  std::string Stereo = WriteRawSignal(Dir, Frames, 2);
  std::string Mono = WriteRawSignal(Dir, Frames, 1);
};

template <typename F> TBytes MapFloats(const TBytes &raw) {
  std::vector<F> values(raw.size() / sizeof(F));
  std::memcpy(values.data(), raw.data(), values.size() * sizeof(F));
  TBytes out(values.size() * 4);
  for (std::size_t i = 0; i < values.size(); ++i) {
    std::int32_t v = ReferenceFloatToInt32(values[i]);
    std::memcpy(out.data() + 4 * i, &v, 4);
  }
  return out;
}

TWavType TypeOf(const std::string &file) {
  TWaveIn in;
  in.SetFileName(file);
  return in.WavType();
}

} // namespace

TEST_F(WaveInPeers, IntegerPcmOfEveryWidthMatchesSoxDecodeExactly) {
  struct Case {
    const char *options, *decodeAs;
    std::uint32_t bits;
    TWavType type;
  } cases[] = {{"-e unsigned -b 8", "-e unsigned -b 8", 8, wtPCM},
               {"-e signed -b 16", "-e signed -b 16", 16, wtPCM},
               {"-e signed -b 24", "-e signed -b 24", 24, wtExtPCM},
               {"-e signed -b 32", "-e signed -b 32", 32, wtExtPCM}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.options);
    std::string file = SoxWav(Dir, Stereo, 2, c.options, "pcm.wav");
    EXPECT_EQ(TypeOf(file), c.type);
    TDecoded d = ReadFile(file);
    TBytes reference = SoxDecode(Dir, file, c.decodeAs);
    EXPECT_EQ(d.Bits, c.bits);
    EXPECT_EQ(d.Channels, 2u);
    EXPECT_EQ(d.Rate, 44100u);
    EXPECT_EQ(d.Size, std::int64_t(reference.size()));
    EXPECT_TRUE(d.Data == reference);
  }
  // 16-bit is the signal itself.
  EXPECT_TRUE(ReadFile(SoxWav(Dir, Stereo, 2, "-b 16", "s16.wav")).Data == ReadFileBytes(Stereo));
}

TEST_F(WaveInPeers, FfmpegPcmWithInfoListAndPlainHeader24BitMatch) {
  // ffmpeg puts a LIST chunk between the format and the data.
  std::string file = FfmpegWav(Dir, Stereo, 2, "-c:a pcm_s16le", "ff16.wav");
  EXPECT_TRUE(ReadFile(file).Data == ReadFileBytes(Stereo));
  // 24-bit samples under a classic 16-byte format chunk with tag 1.
  std::string ext = FfmpegWav(Dir, Mono, 1, "-c:a pcm_s24le", "ff24.wav");
  TBytes samples = FfmpegDecode(Dir, ext, "s24le");
  TDecoded d = ReadImage(PcmWav(24, 1, 44100, samples));
  EXPECT_EQ(d.Bits, 24u);
  EXPECT_TRUE(d.Data == samples);
  EXPECT_TRUE(ReadFile(ext).Data == samples);
}

TEST_F(WaveInPeers, FloatFilesMapToFullScaleIntegersExactly) {
  struct Case {
    bool sox;
    const char *options, *rawFormat;
    TWavType type;
  } cases[] = {{true, "-e floating-point -b 32", "f32le", wtIEEEFloat},
               {true, "-e floating-point -b 64", "f64le", wtIEEEFloat},
               {false, "-c:a pcm_f32le", "f32le", wtExtIEEEFloat},
               {false, "-c:a pcm_f64le", "f64le", wtExtIEEEFloat}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.options);
    // A louder, wider-ranging signal than 16 bits carry: the tools' own synthesis in float.
    std::string file = Dir.File("float.wav");
    if (c.sox)
      wavetest::Run("sox -R -n -r 44100 -c 2 " + std::string(c.options) + " " + file +
                    " synth 0.5 sine 440 sine 1234 gain -1");
    else
      file = FfmpegWav(Dir, Stereo, 2, c.options, "float.wav");
    EXPECT_EQ(TypeOf(file), c.type);
    TBytes raw = FfmpegDecode(Dir, file, c.rawFormat);
    TBytes reference =
        std::string(c.rawFormat) == "f32le" ? MapFloats<float>(raw) : MapFloats<double>(raw);
    TDecoded d = ReadFile(file);
    EXPECT_EQ(d.Bits, 32u);
    EXPECT_EQ(d.Size, std::int64_t(reference.size()));
    EXPECT_TRUE(d.Data == reference);
  }
}

TEST_F(WaveInPeers, ImaAdpcmMatchesSoxDecodeExactly) {
  struct Case {
    bool sox;
    int channels;
  } cases[] = {{true, 1}, {true, 2}, {false, 1}, {false, 2}};
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(c.sox ? "sox" : "ffmpeg") + " channels " + std::to_string(c.channels));
    const std::string &raw = c.channels == 1 ? Mono : Stereo;
    std::string file = c.sox ? SoxWav(Dir, raw, c.channels, "-e ima-adpcm", "ima.wav")
                             : FfmpegWav(Dir, raw, c.channels, "-c:a adpcm_ima_wav", "ima.wav");
    EXPECT_EQ(TypeOf(file), wtDVIADPCM);
    TBytes reference = SoxDecode(Dir, file, "-e signed -b 16");
    TDecoded d = ReadFile(file);
    EXPECT_EQ(d.Bits, 16u);
    EXPECT_EQ(d.Channels, std::uint32_t(c.channels));
    ASSERT_GE(d.Data.size(), std::size_t(Frames) * c.channels * 2);
    ASSERT_GE(reference.size(), std::size_t(Frames) * c.channels * 2);
    // Both hold the whole signal; compare it sample for sample.
    d.Data.resize(std::size_t(Frames) * c.channels * 2);
    reference.resize(d.Data.size());
    EXPECT_TRUE(d.Data == reference);
  }
}

TEST_F(WaveInPeers, MicrosoftAdpcmMatchesFfmpegDecodeExactly) {
  for (bool sox : {false, true})
    for (int channels : {1, 2}) {
      SCOPED_TRACE(std::string(sox ? "sox" : "ffmpeg") + " channels " + std::to_string(channels));
      const std::string &raw = channels == 1 ? Mono : Stereo;
      std::string file = sox ? SoxWav(Dir, raw, channels, "-e ms-adpcm", "ms.wav")
                             : FfmpegWav(Dir, raw, channels, "-c:a adpcm_ms", "ms.wav");
      EXPECT_EQ(TypeOf(file), wtMSADPCM);
      TBytes reference = FfmpegDecode(Dir, file, "s16le");
      TDecoded d = ReadFile(file);
      EXPECT_EQ(d.Bits, 16u);
      EXPECT_EQ(d.Channels, std::uint32_t(channels));
      ASSERT_GE(d.Data.size(), std::size_t(Frames) * channels * 2);
      ASSERT_GE(reference.size(), std::size_t(Frames) * channels * 2);
      d.Data.resize(std::size_t(Frames) * channels * 2);
      reference.resize(d.Data.size());
      EXPECT_TRUE(d.Data == reference);
    }
}

TEST_F(WaveInPeers, Mp3InWavFollowsFfmpegDecodeClosely) {
  struct Case {
    int channels;
    const char *options;
    std::uint32_t rate;
  } cases[] = {{2, "-c:a libmp3lame -b:a 192k -f wav", 44100},
               {1, "-c:a libmp3lame -ar 22050 -b:a 64k -f wav", 22050}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.options);
    const std::string &raw = c.channels == 1 ? Mono : Stereo;
    std::string file = FfmpegWav(Dir, raw, c.channels, c.options, "mp3.wav");
    EXPECT_EQ(TypeOf(file), wtACM);
    TDecoded d = ReadFile(file);
    EXPECT_EQ(d.Bits, 16u);
    EXPECT_EQ(d.Channels, std::uint32_t(c.channels));
    EXPECT_EQ(d.Rate, c.rate);
    EXPECT_EQ(d.Size, std::int64_t(d.Data.size()));
    std::vector<std::int16_t> reference = As16(FfmpegDecode(Dir, file, "s16le"));
    std::vector<std::int16_t> ours = As16(d.Data);
    // The decoder delay is not trimmed: the same sound, shifted by up to a few frames of audio.
    EXPECT_GT(ours.size(), reference.size() * 9 / 10);
    EXPECT_GT(BestCorrelation(ours, reference, c.channels, 3000), 0.99);
    // From a stream given to the input: the same, and the stream is the input's again after.
    auto stream = MemoryOf(ReadFileBytes(file));
    TWaveIn in;
    in.SetStream(stream.get());
    EXPECT_TRUE(ReadAll(in).Data == d.Data);
    EXPECT_EQ(in.Stream(), stream.get());
    EXPECT_EQ(in.WavType(), wtACM);
  }
}
