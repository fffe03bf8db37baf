// The Ogg Vorbis writer and reader on the real codec: round trips checked by the codec's own
// command-line tools, files made by oggenc, bit-rate modes, comments, a missing library and
// files the reader must refuse cleanly.
#include "../../fuzz/FuzzOgg.h"
#include "AuVorbis.h"
#include "AuWaveOut.h"
#include "PipelineSources.h"
#include "RunProgram.h"
#include "Text.h"

using namespace pipetest;

namespace {

using TBytes = std::vector<std::uint8_t>;

// A sine per channel (440 Hz times the channel's number) at 0.4 of full scale, as the value
// of frame i, -1 ... 1.
double Tone(std::int64_t frame, std::uint32_t channel, std::uint32_t rate) {
  return 0.4 * std::sin(2 * M_PI * 440.0 * (channel + 1) * frame / rate);
}

// The tone as interleaved PCM of any width (8-bit unsigned, wider signed little-endian).
std::function<std::uint8_t(std::int64_t)> TonePattern(std::uint32_t bits, std::uint32_t channels,
                                                      std::uint32_t rate) {
  const std::uint32_t width = bits / 8;
  return [=](std::int64_t i) {
    const std::int64_t sample = i / width;
    const double v = Tone(sample / channels, static_cast<std::uint32_t>(sample % channels), rate);
    const auto full = static_cast<std::int64_t>(std::lround(v * std::ldexp(1.0, bits - 1)));
    const std::int64_t stored = bits == 8 ? full + 128 : full;
    return static_cast<std::uint8_t>(stored >> (8 * (i % width)));
  };
}

std::vector<std::int16_t> Samples16(const std::uint8_t *data, std::size_t bytes) {
  std::vector<std::int16_t> samples(bytes / 2);
  std::memcpy(samples.data(), data, samples.size() * 2);
  return samples;
}

// The energy of the difference from the tone over the tone's energy, skipping the first
// frames (the codec's start-up). A lossy copy of the tone stays far below 0.01; an offset, a
// wrong scale or a shift by a frame does not.
double ToneError(const std::vector<std::int16_t> &samples, std::uint32_t channels,
                 std::uint32_t rate) {
  double error = 0, energy = 0;
  for (std::size_t i = 2048 * channels; i < samples.size(); ++i) {
    const double expected = Tone(i / channels, i % channels, rate);
    error += std::pow(samples[i] / 32768.0 - expected, 2);
    energy += expected * expected;
  }
  return energy > 0 ? error / energy : 1;
}

class Vorbis : public TTempFolder {
protected:
  // Encodes frames of the tone into name; the message the run ended with.
  std::string Encode(TVorbisOut &out, const std::string &name, std::int64_t frames,
                     std::uint32_t bits = 16, std::uint32_t channels = 2,
                     std::uint32_t rate = 44100) {
    TToneInput in(frames * channels * bits / 8);
    in.Bits = bits;
    in.Chans = channels;
    in.Rate = rate;
    in.Pattern = TonePattern(bits, channels, rate);
    in.BlockBytes = 10000; // whole frames, as every input delivers
    in.BlockBytes -= in.BlockBytes % std::max(1u, channels * bits / 8);
    out.SetFileName(name);
    return RunToEnd(out, in);
  }
  // oggdec's 16-bit little-endian decoding of a file; empty when it fails.
  TBytes OggDec(const std::string &ogg) {
    const std::string raw = ogg + ".raw";
    if (RunProgram({"oggdec", "-Q", "-R", "-o", raw, ogg}).ExitStatus != 0)
      return {};
    return ReadFileBytes(raw);
  }
  std::string OggInfo(const std::string &ogg) { return RunProgram({"ogginfo", ogg}).Output; }
};

// Every sample width the writer takes, mono and stereo, at three rates: decoded by oggdec and
// by our reader, the length is the input's to the sample and the sound is the tone's.
TEST_F(Vorbis, RoundTripKeepsLengthAndSoundOfEveryWidth) {
  struct Case {
    std::uint32_t bits, channels, rate;
  };
  for (Case c : {Case{16, 2, 44100}, Case{8, 1, 22050}, Case{24, 2, 48000}, Case{32, 1, 44100}}) {
    SCOPED_TRACE(testing::Message() << c.bits << " bit " << c.channels << " ch " << c.rate);
    const std::int64_t frames = c.rate + 1237; // not a whole number of codec blocks
    const std::string name = Path("tone.ogg");
    TVorbisOut out;
    ASSERT_EQ(Encode(out, name, frames, c.bits, c.channels, c.rate), "");

    TBytes peer = OggDec(name);
    EXPECT_EQ(peer.size(), std::size_t(frames * c.channels * 2));
    EXPECT_LT(ToneError(Samples16(peer.data(), peer.size()), c.channels, c.rate), 0.01);

    TVorbisIn in;
    in.SetFileName(name);
    EXPECT_EQ(in.BitsPerSample(), 16u);
    EXPECT_EQ(in.Channels(), c.channels);
    EXPECT_EQ(in.SampleRate(), c.rate);
    EXPECT_EQ(in.Size(), frames * c.channels * 2);
    TBytes ours = DecodeAll(in);
    EXPECT_EQ(ours, peer); // the same decoder behind both
  }
}

// Comments go out in UTF-8 exactly as vorbiscomment reads them; an empty value is not
// written, and the next run starts without comments.
TEST_F(Vorbis, CommentsAreWrittenInUtf8AndClearedAfterTheRun) {
  TVorbisOut out;
  TVorbisTags tags;
  tags.SetArtist(plat::Utf8ToUtf16("Zoë Ångström ♪"));
  tags.SetTitle(u"Title = with equals");
  tags.SetAlbum(u"");
  tags.SetTrack(u"7");
  out.SetComments(tags);
  ASSERT_EQ(Encode(out, Path("a.ogg"), 44100), "");
  EXPECT_EQ(RunProgram({"vorbiscomment", "-l", Path("a.ogg")}).Output,
            "artist=Zoë Ångström ♪\ntitle=Title = with equals\ntracknumber=7\n");
  EXPECT_EQ(out.Comments().Artist(), u"");

  ASSERT_EQ(Encode(out, Path("b.ogg"), 44100), "");
  EXPECT_EQ(RunProgram({"vorbiscomment", "-l", Path("b.ogg")}).Output, "");

  TVorbisIn in;
  in.SetFileName(Path("a.ogg"));
  EXPECT_EQ(plat::Utf16ToUtf8(in.VorbisTags().Artist()), "Zoë Ångström ♪");
  EXPECT_EQ(in.CommonTags().Title(), u"Title = with equals");
  EXPECT_EQ(in.CommonTags().Track(), "7");
}

TEST_F(Vorbis, BitRatePropertiesKeepMinimumNominalAndMaximumInOrder) {
  TVorbisOut out;
  out.SetDesiredMaximumBitrate(bitrate192); // no nominal rate yet: refused
  EXPECT_EQ(out.DesiredMaximumBitrate(), brAutoSelect);
  out.SetDesiredNominalBitrate(bitrate128);
  out.SetDesiredMaximumBitrate(bitrate96); // below the nominal: refused
  EXPECT_EQ(out.DesiredMaximumBitrate(), brAutoSelect);
  out.SetDesiredMaximumBitrate(bitrate192);
  out.SetMinimumBitrate(bitrate160); // above the nominal: refused
  EXPECT_EQ(out.MinimumBitrate(), brAutoSelect);
  out.SetMinimumBitrate(bitrate96);
  out.SetDesiredNominalBitrate(bitrate224); // raises the maximum
  EXPECT_EQ(out.DesiredMaximumBitrate(), bitrate224);
  out.SetDesiredNominalBitrate(bitrate64); // lowers the minimum
  EXPECT_EQ(out.MinimumBitrate(), bitrate64);
  EXPECT_EQ(out.DesiredMaximumBitrate(), bitrate224);
  out.SetDesiredNominalBitrate(brAutoSelect); // back to quality: the maximum goes too
  EXPECT_EQ(out.DesiredMaximumBitrate(), brAutoSelect);
}

// A managed nominal rate alone encodes with no upper bound and the nominal as the lower one;
// back on quality, no bounds.
TEST_F(Vorbis, ManagedBitRateReachesTheFile) {
  TVorbisOut out;
  out.SetDesiredNominalBitrate(bitrate128);
  ASSERT_EQ(Encode(out, Path("managed.ogg"), 88200), "");
  const std::string info = OggInfo(Path("managed.ogg"));
  EXPECT_NE(info.find("Nominal bitrate: 128.000000 kb/s"), std::string::npos) << info;
  EXPECT_NE(info.find("Upper bitrate not set"), std::string::npos) << info;
  EXPECT_NE(info.find("Lower bitrate: 128.000000 kb/s"), std::string::npos) << info;
  TVorbisIn in;
  in.SetFileName(Path("managed.ogg"));
  in.Valid();
  EXPECT_EQ(in.NominalBitrate(), 128000);
  EXPECT_EQ(in.LowerBitrate(), 128000);

  out.SetDesiredNominalBitrate(brAutoSelect);
  ASSERT_EQ(Encode(out, Path("quality.ogg"), 88200), "");
  in.SetFileName(Path("quality.ogg"));
  in.Valid();
  EXPECT_LE(in.LowerBitrate(), 0); // not set
  EXPECT_LE(in.UpperBitrate(), 0);
}

// Set-ups the encoder cannot make end the run with a message before any audio is written.
TEST_F(Vorbis, RefusedSetUpsEndTheRunWithAMessage) {
  struct Case {
    TVorbisBitRate nominal;
    std::uint32_t bits, channels, rate;
    std::string message;
  };
  for (const Case &c :
       {Case{bitrate499, 16, 1, 8000,
             "Vorbis codec setup with the requested bitrate failed. Try a lower bitrate."},
        Case{brAutoSelect, 16, 0, 44100, "Vorbis codec setup with the requested quality failed."},
        Case{brAutoSelect, 16, 2, 0, "Vorbis codec setup with the requested quality failed."},
        Case{brAutoSelect, 0, 2, 44100, "Cannot encode this sample format into Vorbis."}}) {
    SCOPED_TRACE(c.message);
    TVorbisOut out;
    out.SetDesiredNominalBitrate(c.nominal);
    EXPECT_EQ(Encode(out, Path("refused.ogg"), 8000, c.bits, c.channels, c.rate), c.message);
    EXPECT_EQ(ReadFileBytes(Path("refused.ogg")).size(), 0u);
  }
}

// Appending adds a second logical stream behind the first, with a serial number of its own
// drawn by the output: both decode, one after the other.
TEST_F(Vorbis, AppendingAddsAStreamBehindTheFile) {
  TVorbisOut out;
  ASSERT_EQ(Encode(out, Path("chain.ogg"), 5 * 44100), "");
  const std::int32_t first = out.Serial();
  out.SetFileMode(foAppend);
  ASSERT_EQ(Encode(out, Path("chain.ogg"), 3 * 44100), "");
  EXPECT_NE(out.Serial(), first);
  EXPECT_NE(OggInfo(Path("chain.ogg")).find("Logical stream 2 ended"), std::string::npos);
  TVorbisIn in;
  in.SetFileName(Path("chain.ogg"));
  EXPECT_EQ(DecodeAll(in).size(), 8u * 44100 * 4);
}

// A file made by oggenc: its format, Size and comments (names in any case; names we do not
// keep are ignored), and a range that starts at a sample lands exactly there.
TEST_F(Vorbis, ReadsFilesOfOggEncAndSeeksToTheSample) {
  struct Case {
    std::uint32_t channels, rate;
  };
  for (Case c : {Case{1, 44100}, Case{2, 44100}, Case{2, 22050}}) {
    SCOPED_TRACE(testing::Message() << c.channels << " ch " << c.rate);
    const std::string wav = Path("in.wav"), ogg = Path("in.ogg");
    ASSERT_TRUE(
        RunQuietly({"sox", "-n", "-r", std::to_string(c.rate), "-c", std::to_string(c.channels),
                    "-b", "16", wav, "synth", "3.01", "sine", "300-3000"}));
    const std::int64_t frames = std::stoll(RunProgram({"soxi", "-s", wav}).Output);
    ASSERT_TRUE(RunQuietly({"oggenc", "-Q", "-q", "3", "-c", "ARTIST=Upper Case", "-c",
                            "DESCRIPTION=not kept", "-c", "Date=1999", "-o", ogg, wav}));
    TVorbisIn in;
    in.SetFileName(ogg);
    ASSERT_TRUE(in.Valid());
    EXPECT_EQ(in.Channels(), c.channels);
    EXPECT_EQ(in.SampleRate(), c.rate);
    EXPECT_EQ(in.Size(), frames * 2 * c.channels);
    EXPECT_EQ(in.VorbisTags().Artist(), u"Upper Case");
    EXPECT_EQ(in.CommonTags().Year(), "1999");
    EXPECT_EQ(in.VorbisTags().Title(), u"");

    const TBytes whole = OggDec(ogg);
    ASSERT_EQ(whole.size(), std::size_t(in.Size()));
    const std::int64_t start = c.rate + 333, count = 5000;
    in.SetStartSample(start);
    in.SetEndSample(start + count - 1);
    const TBytes part = DecodeAll(in);
    const std::size_t frame = 2 * c.channels;
    ASSERT_EQ(part.size(), count * frame);
    EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin() + start * frame));

    // Moved while busy, after a block is decoded: what was decoded ahead is dropped.
    in.Init();
    std::uint8_t *data = nullptr;
    std::uint32_t bytes = 1000;
    in.GetData(data, bytes);
    ASSERT_TRUE(in.SeekSample(start));
    bytes = 4000;
    in.GetData(data, bytes);
    ASSERT_GT(bytes, 0u);
    EXPECT_TRUE(std::equal(data, data + bytes, whole.begin() + start * frame));
    in.Flush();

    // On the output thread of a chain, to a WAV file: the whole audio.
    TWaveOut toWav;
    toWav.SetFileName(Path("out.wav"));
    ASSERT_EQ(RunToEnd(toWav, in), "");
    const TBytes written = ReadFileBytes(Path("out.wav"));
    ASSERT_EQ(written.size(), 44 + whole.size());
    EXPECT_TRUE(std::equal(whole.begin(), whole.end(), written.begin() + 44));
  }
}

// Pointing one of the four libraries at a file that does not exist names it, for the writer
// and the reader alike; with the library back, both work again.
TEST_F(Vorbis, AMissingLibraryIsNamedAndALaterRunWorks) {
  ASSERT_EQ(
      [&] {
        TVorbisOut out;
        return Encode(out, Path("good.ogg"), 4410);
      }(),
      "");
  struct Case {
    vorbislib::TLibrary &library;
    std::string soname, message;
  };
  for (const Case &c :
       {Case{vorbislib::Ogg(), "libogg.so.0", "ogg.dll library could not be loaded."},
        Case{vorbislib::Vorbis(), "libvorbis.so.0", "vorbis.dll library could not be loaded."},
        Case{vorbislib::VorbisFile(), "libvorbisfile.so.3",
             "vorbisfile.dll library could not be loaded."},
        Case{vorbislib::VorbisEnc(), "libvorbisenc.so.2",
             "vorbisenc.dll library could not be loaded."}}) {
    SCOPED_TRACE(c.soname);
    c.library.SetFileName("libplindar-no-such-library.so.9");
    TVorbisOut out;
    EXPECT_EQ(Encode(out, Path("x.ogg"), 4410), c.message);
    TVorbisIn in;
    in.SetFileName(Path("good.ogg"));
    EXPECT_FALSE(in.Valid());
    EXPECT_EQ(MessageOf([&] { in.Init(); }), c.message);

    c.library.SetFileName(c.soname);
    EXPECT_EQ(Encode(out, Path("x.ogg"), 4410), "");
    EXPECT_TRUE(in.Valid());
    EXPECT_EQ(DecodeAll(in).size(), 4410u * 4);
  }
}

// Files that are not Ogg Vorbis are refused with the decoder's error number; nothing
// crashes, and no stream stays open.
TEST_F(Vorbis, RefusesFilesThatAreNotOggVorbis) {
  {
    TVorbisOut out;
    ASSERT_EQ(Encode(out, Path("good.ogg"), 44100), "");
  }
  std::ofstream(Path("empty.ogg")).close();
  std::ofstream(Path("text.ogg")) << "OggS but not really an Ogg Vorbis file at all\n";
  ASSERT_TRUE(RunQuietly(
      {"sox", "-n", "-r", "44100", "-c", "2", Path("tone.wav"), "synth", "0.5", "sine", "440"}));
  ASSERT_TRUE(RunQuietly(
      {"ffmpeg", "-v", "error", "-y", "-i", Path("tone.wav"), "-c:a", "flac", Path("flac.ogg")}));
  TBytes good = ReadFileBytes(Path("good.ogg"));
  std::ofstream(Path("headers-cut.ogg"), std::ios::binary)
      .write(reinterpret_cast<const char *>(good.data()), 200);
  for (const char *name : {"empty.ogg", "text.ogg", "flac.ogg", "headers-cut.ogg"}) {
    SCOPED_TRACE(name);
    TVorbisIn in;
    in.SetFileName(Path(name));
    EXPECT_FALSE(in.Valid());
    // In words, not as the decoder's number.
    const std::string message = MessageOf([&] { in.Init(); });
    EXPECT_EQ(message.rfind("it ", 0), 0u) << message;
    EXPECT_EQ(message.find("decoder error"), std::string::npos) << message;
    EXPECT_FALSE(in.Busy());
  }
}

// A file cut in its audio decodes what its whole pages hold and ends there; what it
// delivers is what it announces.
TEST_F(Vorbis, ATruncatedFileEndsCleanlyWithWhatItAnnounces) {
  {
    TVorbisOut out;
    ASSERT_EQ(Encode(out, Path("good.ogg"), 20 * 44100), "");
  }
  const TBytes good = ReadFileBytes(Path("good.ogg"));
  for (std::size_t length : {good.size() / 2 + 333, good.size() - 100}) {
    SCOPED_TRACE(length);
    std::ofstream(Path("cut.ogg"), std::ios::binary)
        .write(reinterpret_cast<const char *>(good.data()), length);
    TVorbisIn in;
    in.SetFileName(Path("cut.ogg"));
    ASSERT_TRUE(in.Valid());
    const std::int64_t size = in.Size();
    EXPECT_GT(size, 0);
    EXPECT_LT(size, 20 * 44100 * 4);
    EXPECT_EQ(std::int64_t(DecodeAll(in).size()), size);
  }
}

// A comment of a megabyte goes out and comes back whole, and the audio behind it decodes.
TEST_F(Vorbis, AMegabyteCommentRoundTrips) {
  std::u16string title(1 << 20, u'x');
  title.front() = u'<';
  title.back() = u'>';
  TVorbisOut out;
  TVorbisTags tags;
  tags.SetTitle(title);
  out.SetComments(tags);
  ASSERT_EQ(Encode(out, Path("big.ogg"), 44100), "");
  TVorbisIn in;
  in.SetFileName(Path("big.ogg"));
  ASSERT_TRUE(in.Valid());
  EXPECT_EQ(in.VorbisTags().Title(), title);
  EXPECT_EQ(DecodeAll(in).size(), 44100u * 4);
}

} // namespace

// A stream whose last page (here the one closing the headers) claims more samples than any
// file holds, its checksum made right so the codec believes it, gives an unknown size instead
// of an overflowing one.
TEST_F(Vorbis, ALastPageClaimingAnImpossibleLengthLeavesTheSizeUnknown) {
  {
    TVorbisOut out;
    ASSERT_EQ(Encode(out, Path("good.ogg"), 44100), "");
  }
  TBytes bytes = ReadFileBytes(Path("good.ogg"));
  std::size_t end = 0;
  for (int page = 0; page < 2; ++page) {
    const std::size_t segments = bytes[end + 26];
    std::size_t length = 27 + segments;
    for (std::size_t i = 0; i < segments; ++i)
      length += bytes[end + 27 + i];
    if (page == 1)
      for (int i = 0; i < 8; ++i) // granule position 0x7e00..00
        bytes[end + 6 + i] = i == 7 ? 0x7e : 0;
    end += length;
  }
  bytes.resize(end);
  bytes = WithOggChecksums(bytes.data(), bytes.size());
  std::ofstream(Path("claims.ogg"), std::ios::binary)
      .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
  TVorbisIn in;
  in.SetFileName(Path("claims.ogg"));
  ASSERT_TRUE(in.Valid());
  EXPECT_EQ(in.Size(), -1);
  EXPECT_TRUE(DecodeAll(in).empty());
}
