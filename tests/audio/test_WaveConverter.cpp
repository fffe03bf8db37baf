// The whole-file converter: what it takes from a WAV file, the conversion of MPEG Layer-3 data
// and the PCM image it writes.
#include "WaveConverter.h"
#include "WaveTestFiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using namespace wavetest;

namespace {

TBytes Mp3FormatBody(std::uint16_t channels, std::uint32_t rate) {
  // The MPEG Layer-3 description: id 1, flags 2, block size, one frame per block, no delay.
  TWavImage extra;
  extra.U16(1).U32(2).U16(417).U16(1).U16(0);
  return FormatBody(85, channels, rate, 0, 1, extra.Data);
}

// MPEG audio frames of the known signal, as ffmpeg stores them in a WAV file.
TBytes Mp3Frames(const TTempDir &dir) {
  std::string raw = WriteRawSignal(dir, 11025, 2);
  return DataChunk(ReadFileBytes(FfmpegWav(dir, raw, 2, "-c:a libmp3lame -f wav", "m.wav")));
}

void Load(TWaveConverter &c, const TBytes &image) {
  auto stream = MemoryOf(image);
  c.LoadFromWaveStream(*stream);
}

MMRESULT SuggestPcm(TWaveConverter &c) {
  c.TargetFormat()->wFormatTag = WAVE_FORMAT_PCM;
  return acmFormatSuggest(nullptr, c.ContentFormat(), c.TargetFormat(), c.TargetFormatBytes(),
                          ACM_FORMATSUGGESTF_WFORMATTAG);
}

} // namespace

TEST(WaveConverter, LoadsTheFormatAndDataPastJunkAndOtherChunks) {
  TBytes data(3000);
  for (std::size_t i = 0; i < data.size(); ++i)
    data[i] = std::uint8_t(i * 13);
  TBytes image = TWavImage()
                     .Riff()
                     .Bytes(TBytes(7, 0xEE))
                     .Chunk("fmt ", Mp3FormatBody(2, 44100))
                     .Bytes({1, 2, 3})
                     .Chunk("fact", {0x10, 0x20, 0, 0})
                     .Chunk("LIST", TBytes(50, 'i'))
                     .Chunk("data", data)
                     .Chunk("junk", TBytes(10, 1))
                     .Close()
                     .Data;
  TWaveConverter c;
  Load(c, image);
  EXPECT_EQ(c.ContentFormat()->wFormatTag, 85);
  EXPECT_EQ(c.ContentFormat()->nChannels, 2);
  EXPECT_EQ(c.ContentFormat()->nSamplesPerSec, 44100u);
  EXPECT_EQ(c.ContentFormat()->cbSize, 12);
  EXPECT_TRUE(c.Data() == data);
  EXPECT_EQ(c.Position(), 0);
}

TEST(WaveConverter, WhatIsNotTaken) {
  TBytes data(100, 7);
  // Not "RIFF" ... "WAVE" in exact case: nothing is taken and the conversion fails.
  TWaveConverter lower;
  Load(lower, TWavImage()
                  .Riff("riff", "WAVE")
                  .Chunk("fmt ", Mp3FormatBody(2, 44100))
                  .Chunk("data", data)
                  .Data);
  EXPECT_EQ(lower.Size(), 0);
  EXPECT_NE(lower.Convert(), MMSYSERR_NOERROR);
  // A data chunk of length 0 leaves the content empty.
  TWaveConverter empty;
  Load(empty,
       TWavImage().Riff().Chunk("fmt ", Mp3FormatBody(2, 44100)).Chunk("data", {}).Close().Data);
  EXPECT_EQ(empty.Size(), 0);
  EXPECT_EQ(SuggestPcm(empty), MMSYSERR_NOERROR);
  EXPECT_NE(empty.Convert(), MMSYSERR_NOERROR);
  // A data length beyond the end of the file takes what is there.
  TWaveConverter cut;
  Load(cut, TWavImage()
                .Riff()
                .Chunk("fmt ", Mp3FormatBody(2, 44100))
                .Id("data")
                .U32(99999)
                .Bytes(data)
                .Data);
  EXPECT_TRUE(cut.Data() == data);
  // A short format chunk gets a zero extension length.
  TWaveConverter shortFormat;
  Load(shortFormat, TWavImage().Riff().Chunk("fmt ", TBytes(16, 0xFF)).Chunk("data", data).Data);
  EXPECT_EQ(shortFormat.ContentFormat()->cbSize, 0);
}

TEST(WaveConverter, FormatChunksLongerThanTheBuffersFitWithoutOverrun) {
  TBytes data(64, 1);
  for (std::size_t length : {200u, 70000u}) {
    SCOPED_TRACE(length);
    TBytes body = Mp3FormatBody(1, 22050);
    body.resize(length, 0xAB);
    TWaveConverter c;
    Load(c, TWavImage().Riff().Chunk("fmt ", body).Chunk("data", data).Close().Data);
    EXPECT_EQ(c.ContentFormat()->wFormatTag, 85);
    EXPECT_EQ(reinterpret_cast<const std::uint8_t *>(c.ContentFormat())[199], 0xAB);
    EXPECT_TRUE(c.Data() == data);
  }
}

TEST(WaveConverter, ConvertsAndWritesAClassicPcmImage) {
  TTempDir dir;
  TBytes frames = Mp3Frames(dir);
  TWaveConverter c;
  Load(c, TWavImage()
              .Riff()
              .Chunk("fmt ", Mp3FormatBody(2, 44100))
              .Chunk("fact", {0, 0, 0, 0})
              .Chunk("data", frames)
              .Close()
              .Data);
  ASSERT_TRUE(c.Data() == frames);
  ASSERT_EQ(SuggestPcm(c), MMSYSERR_NOERROR);
  ASSERT_EQ(c.Convert(), MMSYSERR_NOERROR);
  EXPECT_EQ(c.ContentFormat()->wFormatTag, WAVE_FORMAT_PCM);
  EXPECT_EQ(c.ContentFormat()->wBitsPerSample, 16);
  // About a quarter of a second of stereo 16-bit sound, without a tail of estimate.
  EXPECT_GT(c.Size(), 11025 * 4 * 9 / 10);
  EXPECT_LT(c.Size(), 11025 * 4 + 3 * 1152 * 4);
  c.Seek(10, TSeekOrigin::soBeginning);
  TMemoryStream image;
  ASSERT_EQ(c.SaveWaveToStream(image), MMSYSERR_NOERROR);
  EXPECT_EQ(c.Position(), 10);
  const std::uint8_t *p = image.Memory();
  ASSERT_EQ(image.Size(), 44 + c.Size());
  EXPECT_EQ(std::memcmp(p, "RIFF", 4), 0);
  EXPECT_EQ(wav::GetU32(p + 4), image.Size() - 8);
  EXPECT_EQ(std::memcmp(p + 8, "WAVEfmt ", 8), 0);
  EXPECT_EQ(wav::GetU32(p + 16), 16u);
  EXPECT_EQ(wav::GetU16(p + 20), 1);
  EXPECT_EQ(wav::GetU16(p + 22), 2);
  EXPECT_EQ(wav::GetU32(p + 24), 44100u);
  EXPECT_EQ(wav::GetU16(p + 34), 16);
  EXPECT_EQ(std::memcmp(p + 36, "data", 4), 0);
  EXPECT_EQ(wav::GetU32(p + 40), std::uint32_t(c.Size()));
  EXPECT_EQ(std::memcmp(p + 44, c.Memory(), std::size_t(c.Size())), 0);
}

TEST(WaveConverter, AFailedWriteReportsFileNotSaved) {
  TTempDir dir;
  const std::string name = dir.File("readonly");
  WriteBytes(name, {1, 2, 3});
  int fd = open(name.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  THandleStream target(fd);
  TWaveConverter c;
  c.Write("abcd", 4);
  c.Seek(2, TSeekOrigin::soBeginning);
  EXPECT_EQ(c.SaveWaveToStream(target), MCIERR_FILE_NOT_SAVED);
  EXPECT_EQ(c.Position(), 2);
  close(fd);
}
