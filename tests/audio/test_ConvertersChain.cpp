// A whole chain on the output thread: a file from sox through the resampler and the format
// converter into a WAV file that sox then reads back.
#include "AuConverters.h"
#include "AuWaveOut.h"
#include "PipelineSources.h"
#include "WaveTestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

using namespace wavetest;

namespace {

// What soxi says of a file, e.g. "-r" for its rate.
std::string Soxi(const std::string &option, const std::string &file) {
  std::string out;
  if (std::FILE *p = popen(("soxi " + option + " " + file).c_str(), "r")) {
    char line[128];
    while (std::fgets(line, sizeof line, p))
      out += line;
    pclose(p);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
    out.pop_back();
  return out;
}

} // namespace

TEST(ConvertersChain, ResampledAndWidenedFileReadsBackWithSox) {
  TTempDir dir;
  const std::string source = dir.File("tone.wav"), target = dir.File("out.wav");
  wavetest::Run("sox -R -n -r 22050 -c 1 -b 8 " + source + " synth 2 sine 1000 gain -3");
  TWaveIn in;
  in.SetFileName(source);
  TFastResampler resampler;
  resampler.SetInput(&in);
  resampler.SetOutSampleRate(44100);
  TAudioConverter converter;
  converter.SetInput(&resampler);
  converter.SetOutBitsPerSample(16);
  converter.SetOutChannels(2);
  TWaveOut out;
  out.SetFileName(target);
  out.SetInput(&converter);
  std::atomic<bool> done{false};
  out.OnDone = [&](TComponent *) { done = true; };
  out.Run();
  ASSERT_TRUE(PumpUntil([&] { return done.load(); }));
  EXPECT_EQ(out.ExceptionMessage(), "");
  EXPECT_EQ(Soxi("-r", target), "44100");
  EXPECT_EQ(Soxi("-c", target), "2");
  EXPECT_EQ(Soxi("-b", target), "16");
  EXPECT_EQ(Soxi("-s", target), "88200"); // the announced length, the last few frames silence
  // Both channels carry the same 1000 Hz tone: 2000 zero crossings a second.
  std::vector<std::int16_t> s = As16(SoxDecode(dir, target, "-e signed -b 16"));
  ASSERT_EQ(s.size(), 88200u * 2);
  int crossings = 0;
  for (std::size_t i = 2 * 4410; i + 2 < 2 * 84000; i += 2) {
    ASSERT_EQ(s[i], s[i + 1]);
    crossings += (s[i] < 0) != (s[i + 2] < 0);
  }
  EXPECT_NEAR(crossings / ((84000.0 - 4410) / 44100), 2000, 10);
}
