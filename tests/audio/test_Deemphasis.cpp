// The de-emphasis step against sox's deemph effect, the reference for the CD standard's
// 50/15 µs filter.
#include "Deemphasis.h"
#include "WaveTestFiles.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace wavetest;

namespace {

// The difference between two signals relative to the second, in dB.
double ResidualDb(const std::vector<double> &ours, const std::vector<double> &reference) {
  double error = 0, power = 0;
  for (std::size_t i = 0; i < reference.size(); ++i) {
    error += (ours[i] - reference[i]) * (ours[i] - reference[i]);
    power += reference[i] * reference[i];
  }
  return 10 * std::log10(error / power);
}

} // namespace

// Stereo and mono, in blocks of any size (down to less than a frame): the filter keeps its
// channels and its state across blocks, and stays within -60 dB of sox.
TEST(Deemphasis, MatchesSoxDeemphInEveryBlockSize) {
  TTempDir dir;
  for (const int channels : {2, 1}) {
    const std::string raw = WriteRawSignal(dir, 44100, channels);
    const std::string wav = SoxWav(dir, raw, channels, "", "in.wav");
    wavetest::Run("sox " + wav + " -t raw -e floating-point -b 64 " + dir.File("sox.raw") +
                  " deemph");
    const TBytes soxFloat = ReadFileBytes(dir.File("sox.raw"));
    std::vector<double> reference(soxFloat.size() / 8);
    std::memcpy(reference.data(), soxFloat.data(), reference.size() * 8);
    for (const std::uint32_t block : {16384u, 4098u, 3u}) {
      SCOPED_TRACE(std::to_string(channels) + " channels, blocks of " + std::to_string(block));
      TWaveIn in;
      in.SetFileName(wav);
      TDeemphasis step;
      step.SetInput(&in);
      const TDecoded out = ReadAll(step, block);
      const std::vector<std::int16_t> samples = As16(out.Data);
      ASSERT_EQ(samples.size(), reference.size());
      std::vector<double> ours(samples.begin(), samples.end());
      for (double &s : ours)
        s /= 32768;
      EXPECT_LT(ResidualDb(ours, reference), -60);
    }
  }
}

// The filter is made for CD audio: anything else is refused with a clear error, not bent.
TEST(Deemphasis, RefusesAudioThatIsNotCdAudio) {
  for (const auto &[bits, rate] : {std::pair{16, 48000}, std::pair{24, 44100}}) {
    const TBytes image = PcmWav(bits, 2, rate, TBytes(bits / 8 * 2 * 100));
    auto stream = MemoryOf(image);
    TWaveIn in;
    in.SetStream(stream.get());
    TDeemphasis step;
    step.SetInput(&in);
    try {
      step.Init();
      ADD_FAILURE() << bits << " bits at " << rate << " Hz accepted";
    } catch (const EAuException &e) {
      EXPECT_STREQ(e.what(), "De-emphasis needs 16-bit audio at 44100 Hz");
    }
  }
}
