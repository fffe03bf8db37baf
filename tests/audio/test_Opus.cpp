// The Opus writer and reader on the real codec: the sound and length opusdec finds in what we
// write, comments as opusinfo shows them, files made by opusenc, seeking, and files the reader
// must refuse or read only as far as they go.
#include "AuOpus.h"
#include "PipelineSources.h"
#include "RunProgram.h"
#include "Text.h"

using namespace pipetest;

namespace {

using TBytes = std::vector<std::uint8_t>;

// Two tones per channel at 0.4 of full scale, as the value at a time in seconds.
double Tone(double seconds, std::uint32_t channel) {
  return 0.2 * std::sin(2 * M_PI * 440.0 * (channel + 1) * seconds) +
         0.2 * std::sin(2 * M_PI * 1234.0 * seconds);
}

// The tone as interleaved little-endian PCM of any width (8-bit unsigned).
std::function<std::uint8_t(std::int64_t)> TonePattern(std::uint32_t bits, std::uint32_t channels,
                                                      std::uint32_t rate) {
  const std::uint32_t width = bits / 8;
  return [=](std::int64_t i) {
    const std::int64_t sample = i / width;
    const double v = Tone(double(sample / channels) / rate, std::uint32_t(sample % channels));
    const auto full = static_cast<std::int64_t>(std::lround(v * std::ldexp(1.0, bits - 1)));
    return static_cast<std::uint8_t>((bits == 8 ? full + 128 : full) >> (8 * (i % width)));
  };
}

// The correlation of 16-bit samples at 48 kHz with the tone, after the codec's first 20 ms.
double ToneCorrelation(const TBytes &pcm, std::uint32_t channels) {
  double product = 0, decoded = 0, expected = 0;
  for (std::size_t i = 960 * channels; i < pcm.size() / 2; ++i) {
    const double x = static_cast<std::int16_t>(pcm[2 * i] | pcm[2 * i + 1] << 8) / 32768.0;
    const double y = Tone(double(i / channels) / 48000, std::uint32_t(i % channels));
    product += x * y;
    decoded += x * x;
    expected += y * y;
  }
  return product / std::sqrt(decoded * expected + 1e-30);
}

double Correlation(const TBytes &a, const TBytes &b) {
  double product = 0, ea = 0, eb = 0;
  for (std::size_t i = 0; i < std::min(a.size(), b.size()) / 2; ++i) {
    const double x = static_cast<std::int16_t>(a[2 * i] | a[2 * i + 1] << 8);
    const double y = static_cast<std::int16_t>(b[2 * i] | b[2 * i + 1] << 8);
    product += x * y;
    ea += x * x;
    eb += y * y;
  }
  return product / std::sqrt(ea * eb + 1e-30);
}

class Opus : public TTempFolder {
protected:
  // Encodes frames of the tone into name; the message the run ended with.
  std::string Encode(TOpusOut &out, const std::string &name, std::int64_t frames,
                     std::uint32_t bits = 16, std::uint32_t channels = 2,
                     std::uint32_t rate = 44100) {
    TToneInput in(frames * channels * bits / 8);
    in.Bits = bits;
    in.Chans = channels;
    in.Rate = rate;
    in.Pattern = TonePattern(bits, channels, rate);
    in.BlockBytes = 12000 - 12000 % (channels * bits / 8);
    out.SetFileName(name);
    return RunToEnd(out, in);
  }
  // opusdec's 16-bit little-endian decoding at 48 kHz; empty when it fails.
  TBytes OpusDec(const std::string &opus) {
    const std::string raw = opus + ".raw";
    if (RunProgram({"opusdec", "--quiet", "--rate", "48000", opus, raw}).ExitStatus != 0)
      return {};
    return ReadFileBytes(raw);
  }
};

// Widths, channel counts and rates the library resamples: opusdec hears the tone, and the
// length is the input's at 48 kHz (the encoder trims its own delay through the pre-skip and
// the end granule position). Our reader gives the same length and sound.
TEST_F(Opus, EncodesTheSoundAtItsLength) {
  struct Case {
    std::uint32_t bits, channels, rate;
  };
  for (Case c : {Case{16, 2, 44100}, Case{8, 1, 22050}, Case{24, 2, 48000}, Case{32, 1, 44100}}) {
    SCOPED_TRACE(testing::Message() << c.bits << " bit " << c.channels << " ch " << c.rate);
    const std::int64_t frames = 3 * c.rate + 1237;
    const std::string name = Path("tone.opus");
    TOpusOut out;
    ASSERT_EQ(Encode(out, name, frames, c.bits, c.channels, c.rate), "");

    const TBytes peer = OpusDec(name);
    const std::int64_t expected = (frames * 48000 + c.rate - 1) / c.rate;
    EXPECT_NEAR(double(peer.size()) / (2 * c.channels), double(expected), 1.0);
    EXPECT_GT(ToneCorrelation(peer, c.channels), 0.99);

    TOpusIn in;
    in.SetFileName(name);
    EXPECT_EQ(in.SampleRate(), 48000u);
    EXPECT_EQ(in.Channels(), c.channels);
    EXPECT_EQ(in.Size(), std::int64_t(peer.size()));
    const TBytes ours = DecodeAll(in);
    EXPECT_EQ(ours.size(), peer.size());
    EXPECT_GT(Correlation(ours, peer), 0.99);
  }
}

// The bit rate reaches the file and stays within the range; comments go out in UTF-8 under
// capital names as opusinfo shows them, and the next run starts without them.
TEST_F(Opus, BitRateAndCommentsReachTheFile) {
  TOpusOut out;
  out.SetBitRate(1000);
  EXPECT_EQ(out.BitRate(), OpusHighestBitRate);
  out.SetBitRate(8);
  EXPECT_EQ(out.BitRate(), OpusLowestBitRate);
  TVorbisTags tags;
  tags.SetArtist(plat::Utf8ToUtf16("Zoë Ångström ♪"));
  tags.SetTrack(u"3");
  tags.SetAlbum(u"");
  out.SetComments(tags);
  ASSERT_EQ(Encode(out, Path("low.opus"), 10 * 44100), "");
  const std::string info = RunProgram({"opusinfo", Path("low.opus")}).Output;
  EXPECT_NE(info.find("ARTIST=Zoë Ångström ♪\n"), std::string::npos) << info;
  EXPECT_NE(info.find("TRACKNUMBER=3\n"), std::string::npos);
  EXPECT_EQ(info.find("ALBUM="), std::string::npos);
  TOpusIn in;
  in.SetFileName(Path("low.opus"));
  EXPECT_EQ(plat::Utf16ToUtf8(in.VorbisTags().Artist()), "Zoë Ångström ♪");
  EXPECT_EQ(in.CommonTags().Track(), "3");

  out.SetBitRate(256);
  ASSERT_EQ(Encode(out, Path("high.opus"), 10 * 44100), "");
  EXPECT_EQ(RunProgram({"opusinfo", Path("high.opus")}).Output.find("ARTIST="), std::string::npos);
  const auto low = std::filesystem::file_size(Path("low.opus"));
  const auto high = std::filesystem::file_size(Path("high.opus"));
  EXPECT_NEAR(low * 8.0 / 10, 32000, 8000);
  EXPECT_NEAR(high * 8.0 / 10, 256000, 64000);
}

// A file made by opusenc: format, Size (opusdec's length), comments, and a range that starts
// at a sample lands exactly where the whole decoding has it.
TEST_F(Opus, ReadsFilesOfOpusEncAndSeeksToTheSample) {
  for (int channels : {1, 2}) {
    SCOPED_TRACE(channels);
    const std::string wav = Path("in.wav"), opus = Path("in.opus");
    ASSERT_TRUE(RunQuietly({"sox", "-n", "-r", "44100", "-c", std::to_string(channels), "-b", "16",
                            wav, "synth", "5.01", "sine", "300-3000"}));
    ASSERT_TRUE(RunQuietly({"opusenc", "--quiet", "--bitrate", "96", "--artist", "Upper Case",
                            "--comment", "DATE=1999", wav, opus}));
    TOpusIn in;
    in.SetFileName(opus);
    ASSERT_TRUE(in.Valid());
    EXPECT_EQ(in.Channels(), std::uint32_t(channels));
    EXPECT_EQ(in.Size(), std::int64_t(OpusDec(opus).size()));
    EXPECT_EQ(in.VorbisTags().Artist(), u"Upper Case");
    EXPECT_EQ(in.CommonTags().Year(), "1999");
    const TBytes whole = DecodeAll(in);
    ASSERT_EQ(std::int64_t(whole.size()), in.Size());

    const std::int64_t start = 3 * 48000 + 333, count = 5000;
    const std::size_t frame = 2 * channels;
    in.SetStartSample(start);
    in.SetEndSample(start + count - 1);
    const TBytes part = DecodeAll(in);
    ASSERT_EQ(part.size(), count * frame);
    EXPECT_GT(Correlation(part, TBytes(whole.begin() + start * frame,
                                       whole.begin() + (start + count) * frame)),
              0.999);
  }
}

// Files that are not Opus are refused with the decoder's error number; nothing crashes.
TEST_F(Opus, RefusesFilesThatAreNotOpus) {
  {
    TOpusOut out;
    ASSERT_EQ(Encode(out, Path("good.opus"), 44100), "");
  }
  std::ofstream(Path("empty.opus")).close();
  std::ofstream(Path("text.opus")) << "OggS but not really an Opus file at all\n";
  ASSERT_TRUE(RunQuietly({"sox", "-n", "-r", "44100", "-c", "2", "-b", "16", Path("tone.wav"),
                          "synth", "0.5", "sine", "440"}));
  ASSERT_TRUE(RunQuietly({"oggenc", "-Q", "-o", Path("vorbis.ogg"), Path("tone.wav")}));
  const TBytes good = ReadFileBytes(Path("good.opus"));
  std::ofstream(Path("headers-cut.opus"), std::ios::binary)
      .write(reinterpret_cast<const char *>(good.data()), 60);
  for (const char *name :
       {"empty.opus", "text.opus", "tone.wav", "vorbis.ogg", "headers-cut.opus"}) {
    SCOPED_TRACE(name);
    TOpusIn in;
    in.SetFileName(Path(name));
    EXPECT_FALSE(in.Valid());
    const std::string message = MessageOf([&] { in.Init(); });
    EXPECT_EQ(message.rfind("it is not an Opus file that can be read", 0), 0u) << message;
    EXPECT_EQ(message.find("decoder error"), std::string::npos) << message;
    EXPECT_FALSE(in.Busy());
  }
}

// A file cut in its audio announces and delivers what its whole pages hold, and ends.
TEST_F(Opus, ATruncatedFileReadsToTheCutAndEnds) {
  {
    TOpusOut out;
    ASSERT_EQ(Encode(out, Path("good.opus"), 20 * 44100), "");
  }
  const TBytes good = ReadFileBytes(Path("good.opus"));
  for (std::size_t length : {good.size() / 2 + 333, good.size() - 100}) {
    SCOPED_TRACE(length);
    std::ofstream(Path("cut.opus"), std::ios::binary)
        .write(reinterpret_cast<const char *>(good.data()), length);
    TOpusIn in;
    in.SetFileName(Path("cut.opus"));
    ASSERT_TRUE(in.Valid());
    const std::int64_t size = in.Size();
    EXPECT_GT(size, 0);
    EXPECT_LT(size, 20 * 48000 * 4);
    EXPECT_EQ(std::int64_t(DecodeAll(in).size()), size);
  }
}

} // namespace
