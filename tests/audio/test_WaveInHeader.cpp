// The reader's header walk, format rules, ranges and seeking, on WAV images built byte by
// byte and on files written by sox.
#include "WaveTestFiles.h"

#include <gtest/gtest.h>

#include <thread>
#include <unistd.h>

using namespace wavetest;

namespace {

// 16-bit stereo frames whose left sample is the frame number and right its negation.
TBytes CountingFrames(int frames) {
  std::vector<std::int16_t> s;
  for (int i = 0; i < frames; ++i) {
    s.push_back(std::int16_t(i));
    s.push_back(std::int16_t(-i));
  }
  return Samples16(s);
}

TBytes Fmt16Stereo() { return FormatBody(1, 2, 44100, 16, 4); }

struct TOpened {
  bool Valid;
  TWavType Type;
};

TOpened Open(const TBytes &image) {
  auto stream = MemoryOf(image);
  TWaveIn in;
  in.SetStream(stream.get());
  TWavType type = in.WavType();
  return {in.Valid(), type};
}

int FirstLeftSample(const TDecoded &d) {
  std::int16_t v;
  std::memcpy(&v, d.Data.data(), 2);
  return v;
}

} // namespace

TEST(WaveInHeader, ChunksBeforeDataCaseAndLeadingJunkAreWalkedOver) {
  TBytes data = CountingFrames(1000);
  TBytes list(37, 'x'); // odd length: a pad byte follows
  list.push_back(0);
  struct Case {
    const char *name;
    TBytes image;
  } cases[] = {
      {"LIST between fmt and data", TWavImage()
                                        .Riff()
                                        .Chunk("fmt ", Fmt16Stereo())
                                        .Chunk("LIST", TBytes(100, 'L'))
                                        .Chunk("data", data)
                                        .Close()
                                        .Data},
      {"lower-case identifiers", TWavImage()
                                     .Riff("riff", "wave")
                                     .Chunk("FMT ", Fmt16Stereo())
                                     .Chunk("DATA", data)
                                     .Close()
                                     .Data},
      {"junk before RIFF", TWavImage()
                               .Bytes(TBytes(333, 'R'))
                               .Riff()
                               .Chunk("fmt ", Fmt16Stereo())
                               .Chunk("data", data)
                               .Data},
      {"odd chunk and its pad byte", TWavImage()
                                         .Riff()
                                         .Chunk("fmt ", Fmt16Stereo())
                                         .Id("note")
                                         .U32(37)
                                         .Bytes(list)
                                         .Chunk("data", data)
                                         .Close()
                                         .Data},
      {"odd chunk without its pad byte", TWavImage()
                                             .Riff()
                                             .Chunk("fmt ", Fmt16Stereo())
                                             .Chunk("note", TBytes(37, 'x'))
                                             .Chunk("data", data)
                                             .Close()
                                             .Data},
      {"fact in a PCM file", TWavImage()
                                 .Riff()
                                 .Chunk("fact", {1, 2, 3, 4})
                                 .Chunk("fmt ", Fmt16Stereo())
                                 .Chunk("fact", {0, 0, 0, 0})
                                 .Chunk("data", data)
                                 .Close()
                                 .Data},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Open(c.image).Type, wtPCM);
    TDecoded d = ReadImage(c.image);
    EXPECT_EQ(d.Bits, 16u);
    EXPECT_EQ(d.Channels, 2u);
    EXPECT_EQ(d.Rate, 44100u);
    EXPECT_EQ(d.Size, std::int64_t(data.size()));
    EXPECT_TRUE(d.Data == data);
  }
}

TEST(WaveInHeader, WalkGivesUpPast65535Bytes) {
  TBytes data = CountingFrames(10);
  auto withList = [&](std::size_t length) {
    return TWavImage()
        .Riff()
        .Chunk("fmt ", Fmt16Stereo())
        .Chunk("LIST", TBytes(length, 0))
        .Chunk("data", data)
        .Close()
        .Data;
  };
  EXPECT_EQ(Open(withList(65000)).Type, wtPCM);
  TOpened far = Open(withList(70000));
  EXPECT_FALSE(far.Valid);
  EXPECT_EQ(far.Type, wtUnsupported);
  // An unrecognised file starts with the defaults and delivers nothing.
  TDecoded d = ReadImage(withList(70000));
  EXPECT_EQ(d.Bits, 8u);
  EXPECT_EQ(d.Channels, 1u);
  EXPECT_EQ(d.Rate, 8000u);
  EXPECT_EQ(d.Size, 0);
  EXPECT_TRUE(d.Data.empty());
  // Junk before RIFF counts too.
  EXPECT_EQ(Open(TWavImage()
                     .Bytes(TBytes(70000, 0))
                     .Riff()
                     .Chunk("fmt ", Fmt16Stereo())
                     .Chunk("data", data)
                     .Data)
                .Type,
            wtUnsupported);
}

TEST(WaveInHeader, UnsupportedFormatsAreNotValid) {
  TTempDir dir;
  std::string raw = WriteRawSignal(dir, 4000, 2);
  // An IMA ADPCM file whose "fact" chunk is renamed: the walk never finds it before the end.
  TBytes ima = ReadFileBytes(SoxWav(dir, raw, 2, "-e ima-adpcm", "ima.wav"));
  ASSERT_EQ(Open(ima).Type, wtDVIADPCM);
  auto fact = std::search(ima.begin(), ima.end(), std::begin("fact"), std::end("fact") - 1);
  ASSERT_NE(fact, ima.end());
  std::memcpy(&*fact, "junk", 4);
  EXPECT_EQ(Open(ima).Type, wtUnsupported);
  EXPECT_FALSE(Open(ima).Valid);
  // An extensible file of another sub-format.
  TBytes ext = ReadFileBytes(SoxWav(dir, raw, 2, "-b 24", "ext.wav"));
  ASSERT_EQ(Open(ext).Type, wtExtPCM);
  ext[44] = 2; // first byte of the sub-format GUID: 00000002-... (Microsoft ADPCM)
  EXPECT_EQ(Open(ext).Type, wtUnsupported);
  // An unknown format tag, a missing data chunk, no RIFF at all.
  TBytes data = CountingFrames(10);
  EXPECT_FALSE(Open(TWavImage()
                        .Riff()
                        .Chunk("fmt ", FormatBody(0x50, 2, 44100, 16, 4))
                        .Chunk("data", data)
                        .Data)
                   .Valid);
  EXPECT_FALSE(
      Open(TWavImage().Riff().Chunk("fmt ", Fmt16Stereo()).Chunk("LIST", data).Data).Valid);
  EXPECT_FALSE(Open(TBytes(5000, 'x')).Valid);
  // IMA ADPCM must be 4 bits; float 32 or 64.
  TBytes body = FormatBody(17, 1, 8000, 3, 256, {0xF9, 0x01});
  EXPECT_FALSE(Open(TWavImage()
                        .Riff()
                        .Chunk("fmt ", body)
                        .Chunk("fact", {0, 1, 0, 0})
                        .Chunk("data", TBytes(256))
                        .Data)
                   .Valid);
  EXPECT_FALSE(Open(TWavImage()
                        .Riff()
                        .Chunk("fmt ", FormatBody(3, 1, 8000, 16, 2))
                        .Chunk("data", TBytes(20))
                        .Data)
                   .Valid);
}

TEST(WaveInHeader, FloatSamplesBecomeFullScaleIntegers) {
  float f32[] = {1.0f, -1.0f, 0.0f, 0.5f, -0.5f, 2.5f, -7.0f, 0x1p-40f};
  TBytes data(sizeof f32);
  std::memcpy(data.data(), f32, sizeof f32);
  TDecoded d = ReadImage(TWavImage()
                             .Riff()
                             .Chunk("fmt ", FormatBody(3, 2, 48000, 32, 8))
                             .Chunk("data", data)
                             .Close()
                             .Data);
  std::int32_t expected[] = {2147483647, -2147483647 - 1, 0, 1073741823, -1073741824,
                             2147483647, -2147483647 - 1, 0};
  ASSERT_EQ(d.Data.size(), sizeof expected);
  EXPECT_EQ(std::memcmp(d.Data.data(), expected, sizeof expected), 0);
  EXPECT_EQ(d.Bits, 32u);
  // 64-bit samples: 32 bits, and Size is half the data length.
  double f64[] = {1.0, -1.0, 0.25, -0x1p-31};
  data.resize(sizeof f64);
  std::memcpy(data.data(), f64, sizeof f64);
  d = ReadImage(TWavImage()
                    .Riff()
                    .Chunk("fmt ", FormatBody(3, 2, 48000, 64, 16))
                    .Chunk("data", data)
                    .Close()
                    .Data);
  std::int32_t expected64[] = {2147483647, -2147483647 - 1, 536870911, -1};
  EXPECT_EQ(d.Bits, 32u);
  EXPECT_EQ(d.Size, std::int64_t(sizeof f64 / 2));
  ASSERT_EQ(d.Data.size(), sizeof expected64);
  EXPECT_EQ(std::memcmp(d.Data.data(), expected64, sizeof expected64), 0);
}

TEST(WaveInHeader, DataLengthBeyondTheFileAndNarrowSamples) {
  // A data chunk that claims more than the file holds: Size is what is there.
  TBytes data = CountingFrames(100);
  TBytes image =
      TWavImage().Riff().Chunk("fmt ", Fmt16Stereo()).Id("data").U32(1000000).Bytes(data).Data;
  TDecoded d = ReadImage(image);
  EXPECT_EQ(d.Size, std::int64_t(data.size()));
  EXPECT_TRUE(d.Data == data);
  // 12-bit samples are stored left-justified in 16-bit containers and read as 16-bit.
  d = ReadImage(
      TWavImage().Riff().Chunk("fmt ", FormatBody(1, 2, 44100, 12, 4)).Chunk("data", data).Data);
  EXPECT_EQ(d.Bits, 16u);
  EXPECT_TRUE(d.Data == data);
}

TEST(WaveInHeader, ImaAdpcmBlockArithmetic) {
  TTempDir dir;
  std::string raw = WriteRawSignal(dir, 10000, 1);
  std::string file = FfmpegWav(dir, raw, 1, "-c:a adpcm_ima_wav -block_size 512", "ima.wav");
  TBytes image = ReadFileBytes(file);
  ASSERT_EQ(wav::GetU16(image.data() + 32), 512);  // block align
  ASSERT_EQ(wav::GetU16(image.data() + 38), 1017); // samples per block
  auto fact = std::search(image.begin(), image.end(), std::begin("fact"), std::end("fact") - 1);
  ASSERT_NE(fact, image.end());
  const std::uint32_t factSamples = wav::GetU32(&*fact + 8);
  EXPECT_GE(factSamples, 10000u);
  TDecoded d = ReadFile(file);
  EXPECT_EQ(d.Size, factSamples * 2);
  EXPECT_EQ(d.Data.size(), factSamples * 2);
  // One block read on its own yields 1017 samples.
  TWaveIn in;
  in.SetFileName(file);
  in.Init();
  std::uint8_t *buffer;
  std::uint32_t bytes = 65536;
  in.GetData(buffer, bytes);
  EXPECT_EQ(bytes, 1017u * 2);
  in.Flush();
}

TEST(WaveInHeader, RangesAndSeeksInPcm) {
  TBytes image = PcmWav(16, 2, 44100, CountingFrames(5000));
  auto stream = MemoryOf(image);
  TWaveIn in;
  in.SetStream(stream.get());
  in.SetStartSample(1000);
  in.SetEndSample(1999);
  TDecoded d = ReadAll(in);
  EXPECT_EQ(d.Size, 4000);
  ASSERT_EQ(d.Data.size(), 4000u);
  EXPECT_EQ(FirstLeftSample(d), 1000);
  EXPECT_EQ(in.StartSample(), 0);
  EXPECT_EQ(in.EndSample(), -1);
  // A seek while running moves at once.
  in.Init();
  std::uint8_t *buffer;
  std::uint32_t bytes = 400;
  in.GetData(buffer, bytes);
  EXPECT_TRUE(in.SeekSample(3210));
  bytes = 4;
  in.GetData(buffer, bytes);
  ASSERT_EQ(bytes, 4u);
  std::int16_t v;
  std::memcpy(&v, buffer, 2);
  EXPECT_EQ(v, 3210);
  EXPECT_EQ(in.Position(), 3211 * 4);
  in.Flush();
}

TEST(WaveInHeader, RangesInExtensibleAndFloatFiles) {
  TTempDir dir;
  std::string raw = WriteRawSignal(dir, 3000, 2);
  for (const char *options : {"-b 24", "-e floating-point -b 32", "-e floating-point -b 64"}) {
    SCOPED_TRACE(options);
    std::string file = SoxWav(dir, raw, 2, options, "range.wav");
    TBytes whole = ReadFile(file).Data;
    TWaveIn in;
    in.SetFileName(file);
    in.SetStartSample(500);
    in.SetEndSample(1499);
    TDecoded d = ReadAll(in);
    const std::size_t frame = d.Bits / 8 * 2;
    ASSERT_EQ(d.Data.size(), 1000 * frame);
    EXPECT_TRUE(std::equal(d.Data.begin(), d.Data.end(), whole.begin() + 500 * frame));
  }
}

TEST(WaveInHeader, ImaAdpcmSeeksLandOnTheBlockStart) {
  TTempDir dir;
  std::string raw = WriteRawSignal(dir, 8000, 1);
  std::string file = FfmpegWav(dir, raw, 1, "-c:a adpcm_ima_wav -block_size 512", "ima.wav");
  TBytes whole = ReadFile(file).Data;
  TWaveIn in;
  in.SetFileName(file);
  in.SetStartSample(3000); // in block 2 of 1017 samples each
  TDecoded d = ReadAll(in);
  ASSERT_GE(d.Data.size(), 100u);
  EXPECT_TRUE(std::equal(d.Data.begin(), d.Data.begin() + 100, whole.begin() + 2 * 1017 * 2));
}

TEST(WaveInHeader, ReadsFromAStreamThatCannotSeek) {
  TTempDir dir;
  std::string raw = WriteRawSignal(dir, 6000, 2);
  for (const char *options : {"-b 16", "-e ima-adpcm"}) {
    SCOPED_TRACE(options);
    std::string file = SoxWav(dir, raw, 2, options, "pipe.wav");
    TBytes image = ReadFileBytes(file);
    TBytes expected = ReadFile(file).Data;
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::thread writer([&] {
      std::size_t done = 0;
      while (done < image.size()) {
        ssize_t n = write(fds[1], image.data() + done, image.size() - done);
        if (n <= 0)
          break;
        done += std::size_t(n);
      }
      close(fds[1]);
    });
    {
      THandleStream stream(fds[0]);
      TWaveIn in;
      in.SetStream(&stream);
      TDecoded d = ReadAll(in);
      EXPECT_TRUE(d.Data == expected);
    }
    writer.join();
    close(fds[0]);
  }
}

TEST(WaveInHeader, StreamsAreGivenBackAndDataNeedsARun) {
  TBytes image = PcmWav(16, 2, 44100, CountingFrames(10));
  auto stream = MemoryOf(image);
  TWaveIn in;
  in.SetStream(stream.get());
  EXPECT_TRUE(in.Valid());
  std::uint8_t *buffer;
  std::uint32_t bytes = 100;
  EXPECT_THROW(
      {
        try {
          in.GetData(buffer, bytes);
        } catch (const EAuException &e) {
          EXPECT_STREQ(e.what(), "The Stream is not opened");
          throw;
        }
      },
      EAuException);
  ReadAll(in);
  // Flush closes the file and rewinds the stream it was given, which stays the input's.
  EXPECT_EQ(in.Stream(), stream.get());
  EXPECT_EQ(stream->Position(), 0);
  TWaveIn missing;
  missing.SetFileName("/nonexistent/file.wav");
  EXPECT_FALSE(missing.Valid());
  EXPECT_THROW(missing.Init(), EAuException);
}
