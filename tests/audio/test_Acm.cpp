// The compression manager calls over the MPEG Layer-3 decoder: formats, sizes, the header
// protocol and the conversion of real frames made by ffmpeg.
#include "Acm.h"
#include "WaveTestFiles.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace wavetest;

namespace {

WAVEFORMATEX Mp3Format(std::uint16_t channels, std::uint32_t rate) {
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
  f.nChannels = channels;
  f.nSamplesPerSec = rate;
  f.nBlockAlign = 1;
  f.cbSize = 0;
  return f;
}

WAVEFORMATEX PcmFormat(std::uint16_t channels, std::uint32_t rate) {
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = channels;
  f.nSamplesPerSec = rate;
  f.wBitsPerSample = 16;
  f.nBlockAlign = std::uint16_t(2 * channels);
  f.nAvgBytesPerSec = rate * f.nBlockAlign;
  return f;
}

// The MPEG audio frames ffmpeg stores in a WAV file, and its own decode of them.
struct TMp3 {
  TBytes Frames;
  std::vector<std::int16_t> Decoded;
};

TMp3 MakeMp3(const TTempDir &dir, int channels, const std::string &options) {
  std::string raw = WriteRawSignal(dir, 22050, channels);
  std::string file = FfmpegWav(dir, raw, channels, "-c:a libmp3lame -f wav " + options, "m.wav");
  TMp3 m;
  m.Frames = DataChunk(ReadFileBytes(file));
  m.Decoded = As16(FfmpegDecode(dir, file, "s16le"));
  return m;
}

// Opens, sizes, prepares and converts; the decoded samples, or the failing result.
MMRESULT ConvertAll(const WAVEFORMATEX &source, const WAVEFORMATEX &target, TBytes frames,
                    std::vector<std::int16_t> &decoded) {
  HACMSTREAM stream = nullptr;
  MMRESULT r =
      acmStreamOpen(&stream, nullptr, &source, &target, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME);
  if (r != MMSYSERR_NOERROR)
    return r;
  DWORD bytes = 0;
  EXPECT_EQ(acmStreamSize(stream, DWORD(frames.size()), &bytes, ACM_STREAMSIZEF_SOURCE), 0u);
  TBytes out(bytes);
  ACMSTREAMHEADER h{};
  h.cbStruct = sizeof h;
  h.pbSrc = frames.data();
  h.cbSrcLength = DWORD(frames.size());
  h.pbDst = out.data();
  h.cbDstLength = bytes;
  EXPECT_EQ(acmStreamPrepareHeader(stream, &h, 0), 0u);
  r = acmStreamConvert(stream, &h, ACM_STREAMCONVERTF_BLOCKALIGN);
  EXPECT_EQ(acmStreamUnprepareHeader(stream, &h, 0), 0u);
  EXPECT_EQ(acmStreamClose(stream, 0), 0u);
  if (r == MMSYSERR_NOERROR) {
    EXPECT_LE(h.cbDstLengthUsed, bytes);
    EXPECT_EQ(h.cbSrcLengthUsed, h.cbSrcLength);
    out.resize(h.cbDstLengthUsed);
    decoded = As16(out);
  }
  return r;
}

} // namespace

TEST(Acm, MetricsAndFormatSuggestions) {
  DWORD size = 0;
  EXPECT_EQ(acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &size), MMSYSERR_NOERROR);
  EXPECT_GE(size, sizeof(WAVEFORMATEX) + 12); // the MPEG Layer-3 description fits
  EXPECT_EQ(acmMetrics(nullptr, 12345, &size), MMSYSERR_NOTSUPPORTED);
  EXPECT_EQ(acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, nullptr), MMSYSERR_INVALPARAM);

  // By tag only: PCM of the source's rate and channels, 16 bits.
  WAVEFORMATEX source = Mp3Format(2, 44100), target{};
  target.wFormatTag = WAVE_FORMAT_PCM;
  ASSERT_EQ(
      acmFormatSuggest(nullptr, &source, &target, sizeof target, ACM_FORMATSUGGESTF_WFORMATTAG),
      MMSYSERR_NOERROR);
  EXPECT_EQ(target.wFormatTag, WAVE_FORMAT_PCM);
  EXPECT_EQ(target.nChannels, 2);
  EXPECT_EQ(target.nSamplesPerSec, 44100u);
  EXPECT_EQ(target.wBitsPerSample, 16);
  EXPECT_EQ(target.nBlockAlign, 4);
  EXPECT_EQ(target.nAvgBytesPerSec, 176400u);
  EXPECT_EQ(target.cbSize, 0);
  // A channel count the caller fixes is kept.
  target.nChannels = 1;
  EXPECT_EQ(acmFormatSuggest(nullptr, &source, &target, sizeof target,
                             ACM_FORMATSUGGESTF_WFORMATTAG | ACM_FORMATSUGGESTF_NCHANNELS),
            MMSYSERR_NOERROR);
  EXPECT_EQ(target.nChannels, 1);
  EXPECT_EQ(target.nBlockAlign, 2);

  // What the decoder cannot give, and bad calls.
  WAVEFORMATEX pcm = PcmFormat(2, 44100);
  EXPECT_EQ(acmFormatSuggest(nullptr, &pcm, &target, sizeof target, ACM_FORMATSUGGESTF_WFORMATTAG),
            ACMERR_NOTPOSSIBLE);
  WAVEFORMATEX odd = Mp3Format(2, 44000);
  EXPECT_EQ(acmFormatSuggest(nullptr, &odd, &target, sizeof target, ACM_FORMATSUGGESTF_WFORMATTAG),
            ACMERR_NOTPOSSIBLE);
  target = PcmFormat(2, 44100);
  target.wBitsPerSample = 8;
  EXPECT_EQ(acmFormatSuggest(nullptr, &source, &target, sizeof target,
                             ACM_FORMATSUGGESTF_WFORMATTAG | ACM_FORMATSUGGESTF_WBITSPERSAMPLE),
            ACMERR_NOTPOSSIBLE);
  target.wFormatTag = 2;
  EXPECT_EQ(
      acmFormatSuggest(nullptr, &source, &target, sizeof target, ACM_FORMATSUGGESTF_WFORMATTAG),
      ACMERR_NOTPOSSIBLE);
  EXPECT_EQ(acmFormatSuggest(nullptr, &source, &target, 16, 0), MMSYSERR_INVALPARAM);
  EXPECT_EQ(acmFormatSuggest(nullptr, &source, &target, sizeof target, 0x80000000),
            MMSYSERR_INVALFLAG);
}

TEST(Acm, StreamProtocolAndItsErrors) {
  WAVEFORMATEX source = Mp3Format(2, 44100), target = PcmFormat(2, 44100);
  EXPECT_EQ(acmStreamOpen(nullptr, nullptr, &source, &target, nullptr, 0, 0, ACM_STREAMOPENF_QUERY),
            MMSYSERR_NOERROR);
  WAVEFORMATEX otherRate = PcmFormat(2, 48000);
  HACMSTREAM stream = reinterpret_cast<HACMSTREAM>(1);
  EXPECT_EQ(acmStreamOpen(&stream, nullptr, &source, &otherRate, nullptr, 0, 0, 0),
            ACMERR_NOTPOSSIBLE);
  EXPECT_EQ(stream, nullptr);
  EXPECT_EQ(acmStreamOpen(nullptr, nullptr, &source, &target, nullptr, 0, 0, 0),
            MMSYSERR_INVALPARAM);
  EXPECT_EQ(acmStreamClose(nullptr, 0), MMSYSERR_INVALHANDLE);

  ASSERT_EQ(
      acmStreamOpen(&stream, nullptr, &source, &target, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME),
      MMSYSERR_NOERROR);
  DWORD bytes = 0;
  EXPECT_EQ(acmStreamSize(stream, 0xFFFFFFFF, &bytes, ACM_STREAMSIZEF_SOURCE),
            ACMERR_NOTPOSSIBLE); // no PCM WAV image holds that much
  EXPECT_EQ(acmStreamSize(stream, 1000, &bytes, 1), MMSYSERR_INVALFLAG);
  TBytes in(1000, 0), out(100000);
  ACMSTREAMHEADER h{};
  h.cbStruct = sizeof h;
  h.pbSrc = in.data();
  h.cbSrcLength = DWORD(in.size());
  h.pbDst = out.data();
  h.cbDstLength = DWORD(out.size());
  EXPECT_EQ(acmStreamConvert(stream, &h, ACM_STREAMCONVERTF_BLOCKALIGN), ACMERR_UNPREPARED);
  EXPECT_EQ(acmStreamUnprepareHeader(stream, &h, 0), ACMERR_UNPREPARED);
  ACMSTREAMHEADER empty = h;
  empty.cbSrcLength = 0;
  EXPECT_EQ(acmStreamPrepareHeader(stream, &empty, 0), MMSYSERR_INVALPARAM);
  ASSERT_EQ(acmStreamPrepareHeader(stream, &h, 0), MMSYSERR_NOERROR);
  EXPECT_TRUE(h.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED);
  // Silence bytes hold no MPEG frame: nothing to convert is a failure, not an empty success.
  EXPECT_EQ(acmStreamConvert(stream, &h, ACM_STREAMCONVERTF_BLOCKALIGN), ACMERR_NOTPOSSIBLE);
  EXPECT_TRUE(h.fdwStatus & ACMSTREAMHEADER_STATUSF_DONE);
  EXPECT_EQ(acmStreamUnprepareHeader(stream, &h, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(acmStreamClose(stream, 0), MMSYSERR_NOERROR);
}

TEST(Acm, ConvertsRealFramesLikeAnIndependentDecoder) {
  TTempDir dir;
  struct Case {
    int channels;
    std::uint32_t rate;
    const char *options;
  } cases[] = {
      {2, 44100, "-b:a 128k"}, {1, 22050, "-ar 22050 -b:a 32k"}, {1, 8000, "-ar 8000 -b:a 8k"}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.options);
    TMp3 mp3 = MakeMp3(dir, c.channels, c.options);
    std::vector<std::int16_t> decoded;
    ASSERT_EQ(ConvertAll(Mp3Format(std::uint16_t(c.channels), c.rate),
                         PcmFormat(std::uint16_t(c.channels), c.rate), mp3.Frames, decoded),
              MMSYSERR_NOERROR);
    EXPECT_GT(decoded.size(), mp3.Decoded.size() * 9 / 10);
    EXPECT_GT(BestCorrelation(decoded, mp3.Decoded, c.channels, 1500), 0.99);
  }
}

TEST(Acm, FramesOfAnotherRateThanDeclaredComeAtTheDeclaredRate) {
  TTempDir dir;
  TMp3 mp3 = MakeMp3(dir, 2, "-b:a 128k"); // 44100 Hz
  std::vector<std::int16_t> decoded;
  ASSERT_EQ(ConvertAll(Mp3Format(2, 48000), PcmFormat(2, 48000), mp3.Frames, decoded),
            MMSYSERR_NOERROR);
  // The same length of sound, in 48000 samples a second.
  const double expected = mp3.Decoded.size() * 48000.0 / 44100.0;
  EXPECT_NEAR(double(decoded.size()), expected, expected * 0.03);
}
