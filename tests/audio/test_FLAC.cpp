// The FLAC writer and reader on the real codec: round trips checked by the codec's own
// command-line tools, comments, files made by flac, seeking, and files the reader must refuse
// or read only as far as they go.
#include "AuFLAC.h"
#include "PipelineSources.h"
#include "RunProgram.h"
#include "Text.h"

using namespace pipetest;

namespace {

using TBytes = std::vector<std::uint8_t>;

// Bytes no predictor guesses, so that every bit of every sample must come back.
std::uint8_t Noise(std::int64_t i) {
  std::uint64_t x = static_cast<std::uint64_t>(i) * 0x9E3779B97F4A7C15ull;
  return static_cast<std::uint8_t>((x ^ (x >> 29)) >> 24);
}

class FLAC : public TTempFolder {
protected:
  // Encodes bytes of Noise into name; the message the run ended with.
  std::string Encode(TFLACOut &out, const std::string &name, std::int64_t bytes,
                     std::uint32_t bits = 16, std::uint32_t channels = 2,
                     std::uint32_t rate = 44100) {
    TToneInput in(bytes);
    in.Bits = bits;
    in.Chans = channels;
    in.Rate = rate;
    in.Pattern = Noise;
    in.BlockBytes = 12000 - 12000 % (channels * bits / 8); // whole frames
    out.SetFileName(name);
    return RunToEnd(out, in);
  }
  // flac's decoding to headerless little-endian PCM (8-bit unsigned); empty when it fails.
  TBytes FlacDecode(const std::string &flac, std::uint32_t bits) {
    const std::string raw = flac + ".raw";
    if (RunProgram({"flac", "-d", "-s", "-f", "--force-raw-format", "--endian=little",
                    bits == 8 ? "--sign=unsigned" : "--sign=signed", "-o", raw, flac})
            .ExitStatus != 0)
      return {};
    return ReadFileBytes(raw);
  }
};

// Every sample width, mono to six channels: flac -d and our reader give back the input's bytes,
// flac -t finds the file sound, and the file has its seek points.
TEST_F(FLAC, EveryWidthComesBackByteForByte) {
  struct Case {
    std::uint32_t bits, channels, rate;
    int level;
  };
  for (Case c : {Case{16, 2, 44100, 5}, Case{8, 1, 22050, 0}, Case{24, 2, 96000, 8},
                 Case{32, 1, 44100, 3}, Case{16, 6, 48000, 5}}) {
    SCOPED_TRACE(testing::Message() << c.bits << " bit " << c.channels << " ch " << c.rate);
    const std::int64_t frames = 25 * c.rate + 1237; // not a whole number of blocks
    const std::int64_t bytes = frames * c.channels * c.bits / 8;
    TBytes input(bytes);
    for (std::int64_t i = 0; i < bytes; ++i)
      input[i] = Noise(i);
    const std::string name = Path("noise.flac");
    TFLACOut out;
    out.SetCompressionLevel(c.level);
    ASSERT_EQ(Encode(out, name, bytes, c.bits, c.channels, c.rate), "");

    EXPECT_TRUE(FlacDecode(name, c.bits) == input);
    EXPECT_EQ(RunProgram({"flac", "-t", "-s", name}).ExitStatus, 0);
    const std::string blocks =
        RunProgram({"metaflac", "--list", "--block-type=SEEKTABLE", name}).Output;
    EXPECT_NE(blocks.find("seek points: 3"), std::string::npos) << blocks;

    TFLACIn in;
    in.SetFileName(name);
    EXPECT_EQ(in.BitsPerSample(), c.bits);
    EXPECT_EQ(in.Channels(), c.channels);
    EXPECT_EQ(in.SampleRate(), c.rate);
    EXPECT_EQ(in.Size(), bytes);
    EXPECT_TRUE(DecodeAll(in) == input);
  }
}

// Comments go out in UTF-8 under capital names as metaflac lists them; an empty value is not
// written, and the next run starts without comments.
TEST_F(FLAC, CommentsAreWrittenInUtf8AndClearedAfterTheRun) {
  TFLACOut out;
  TVorbisTags tags;
  tags.SetArtist(plat::Utf8ToUtf16("Zoë Ångström ♪"));
  tags.SetTitle(u"Title = with equals");
  tags.SetTrackTotal(u"12");
  tags.SetAlbum(u"");
  out.SetComments(tags);
  ASSERT_EQ(Encode(out, Path("tagged.flac"), 44100), "");
  const std::string listed =
      RunProgram({"metaflac", "--export-tags-to=-", Path("tagged.flac")}).Output;
  EXPECT_NE(listed.find("ARTIST=Zoë Ångström ♪\n"), std::string::npos) << listed;
  EXPECT_NE(listed.find("TITLE=Title = with equals\n"), std::string::npos);
  EXPECT_NE(listed.find("TRACKTOTAL=12\n"), std::string::npos);
  EXPECT_EQ(listed.find("ALBUM"), std::string::npos);
  TFLACIn in;
  in.SetFileName(Path("tagged.flac"));
  EXPECT_EQ(plat::Utf16ToUtf8(in.VorbisTags().Artist()), "Zoë Ångström ♪");
  EXPECT_EQ(in.CommonTags().Title(), u"Title = with equals");

  ASSERT_EQ(Encode(out, Path("plain.flac"), 44100), "");
  EXPECT_EQ(RunProgram({"metaflac", "--export-tags-to=-", Path("plain.flac")}).Output, "");
}

// A file made by flac: its format, Size and comments, the whole sound, and a range that starts
// at a sample lands exactly there, also when moved while busy.
TEST_F(FLAC, ReadsFilesOfFlacAndSeeksToTheSample) {
  const std::string wav = Path("in.wav"), flac = Path("in.flac");
  ASSERT_TRUE(RunQuietly({"sox", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", "30.01",
                          "sine", "300-3000", "sine", "440"}));
  ASSERT_TRUE(RunQuietly(
      {"flac", "-s", "-5", "-T", "Artist=Upper Case", "-T", "DATE=1999", "-o", flac, wav}));
  const TBytes wavBytes = ReadFileBytes(wav);
  const TBytes whole(wavBytes.begin() + 44, wavBytes.end());
  TFLACIn in;
  in.SetFileName(flac);
  ASSERT_TRUE(in.Valid());
  EXPECT_EQ(in.Size(), std::int64_t(whole.size()));
  EXPECT_EQ(in.VorbisTags().Artist(), u"Upper Case");
  EXPECT_EQ(in.CommonTags().Year(), "1999");
  EXPECT_TRUE(DecodeAll(in) == whole);

  const std::int64_t start = 20 * 44100 + 333, count = 5000;
  in.SetStartSample(start);
  in.SetEndSample(start + count - 1);
  const TBytes part = DecodeAll(in);
  ASSERT_EQ(part.size(), std::size_t(count * 4));
  EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin() + start * 4));

  in.Init();
  std::uint8_t *data = nullptr;
  std::uint32_t bytes = 1000;
  in.GetData(data, bytes);
  ASSERT_TRUE(in.SeekSample(start));
  bytes = 4000;
  in.GetData(data, bytes);
  ASSERT_GT(bytes, 0u);
  EXPECT_TRUE(std::equal(data, data + bytes, whole.begin() + start * 4));
  in.Flush();
}

// Files that are not FLAC are refused with a clear message, at once and without a crash.
TEST_F(FLAC, RefusesFilesThatAreNotFlac) {
  {
    TFLACOut out;
    ASSERT_EQ(Encode(out, Path("good.flac"), 44100 * 4), "");
  }
  std::ofstream(Path("empty.flac")).close();
  std::ofstream(Path("text.flac")) << "fLaC but not really a FLAC file at all\n";
  ASSERT_TRUE(RunQuietly(
      {"sox", "-n", "-r", "44100", "-c", "2", Path("tone.wav"), "synth", "0.5", "sine", "440"}));
  const TBytes good = ReadFileBytes(Path("good.flac"));
  std::ofstream(Path("header-cut.flac"), std::ios::binary)
      .write(reinterpret_cast<const char *>(good.data()), 30);
  for (const char *name : {"empty.flac", "text.flac", "tone.wav", "header-cut.flac"}) {
    SCOPED_TRACE(name);
    TFLACIn in;
    in.SetFileName(Path(name));
    EXPECT_FALSE(in.Valid());
    EXPECT_EQ(MessageOf([&] { in.Init(); }), "Not a FLAC file that can be read.");
    EXPECT_FALSE(in.Busy());
  }
}

// A file cut in its audio delivers its whole frames, the file's first samples exactly, and
// ends; the Size it announces stays the whole file's.
TEST_F(FLAC, ATruncatedFileReadsToTheCutAndEnds) {
  const std::int64_t bytes = 20 * 44100 * 4;
  {
    TFLACOut out;
    ASSERT_EQ(Encode(out, Path("good.flac"), bytes), "");
  }
  const TBytes good = ReadFileBytes(Path("good.flac"));
  for (std::size_t length : {good.size() / 2 + 333, good.size() - 100}) {
    SCOPED_TRACE(length);
    std::ofstream(Path("cut.flac"), std::ios::binary)
        .write(reinterpret_cast<const char *>(good.data()), length);
    TFLACIn in;
    in.SetFileName(Path("cut.flac"));
    ASSERT_TRUE(in.Valid());
    EXPECT_EQ(in.Size(), bytes);
    const TBytes read = DecodeAll(in);
    EXPECT_GT(read.size(), length / 2);
    EXPECT_LT(std::int64_t(read.size()), bytes);
    for (std::size_t i = 0; i < read.size(); ++i)
      if (read[i] != Noise(std::int64_t(i)))
        FAIL() << "differs at byte " << i;
  }
}

} // namespace
