// The WAV reader and the resampler pulled into a null sink:
//   bench_WaveIn read FILE         TWaveIn against fread on the same file, best of 7 each
//   bench_WaveIn decode FILE       TWaveIn once (any type: IMA ADPCM for the script)
//   bench_WaveIn resample FILE HZ  TFastResampler behind TWaveIn once
// The script beside it runs the peer tools on the same files.
#include "AuConverters.h"
#include "AuWaveIn.h"
#include "BenchSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Touches every cache line so that no read can be skipped.
unsigned Sink(const std::uint8_t *data, std::size_t bytes, unsigned sum) {
  for (std::size_t i = 0; i < bytes; i += 64)
    sum += data[i];
  return sum;
}

unsigned PullAll(TAuInput &input) {
  unsigned sum = 0;
  input.Init();
  for (;;) {
    std::uint8_t *buffer = nullptr;
    std::uint32_t bytes = 16384;
    input.GetData(buffer, bytes);
    if (bytes == 0)
      break;
    sum = Sink(buffer, bytes, sum);
  }
  input.Flush();
  return sum;
}

double ReadWaveIn(const char *name, unsigned &sum) {
  auto start = TClock::now();
  TWaveIn in;
  in.SetFileName(name);
  sum += PullAll(in);
  return SecondsSince(start);
}

double ReadFread(const char *name, unsigned &sum) {
  auto start = TClock::now();
  std::FILE *f = std::fopen(name, "rb");
  if (!f)
    return 0;
  std::vector<std::uint8_t> buffer(16384);
  while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), f))
    sum = Sink(buffer.data(), n, sum);
  std::fclose(f);
  return SecondsSince(start);
}

} // namespace

int main(int argc, char **argv) {
  const bool read = argc == 3 && std::strcmp(argv[1], "read") == 0;
  const bool decode = argc == 3 && std::strcmp(argv[1], "decode") == 0;
  const bool resample = argc == 4 && std::strcmp(argv[1], "resample") == 0;
  if (!read && !decode && !resample) {
    std::fprintf(stderr, "usage: %s read|decode FILE, or %s resample FILE RATE\n", argv[0],
                 argv[0]);
    return 2;
  }
  unsigned sum = 0;
  if (read) {
    double waveIn = 1e9, fread = 1e9;
    for (int round = 0; round < 7; ++round) {
      waveIn = std::min(waveIn, ReadWaveIn(argv[2], sum));
      fread = std::min(fread, ReadFread(argv[2], sum));
    }
    std::printf("TWaveIn %.1f ms, fread %.1f ms, ratio %.2f (checksum %u)\n", waveIn * 1e3,
                fread * 1e3, waveIn / fread, sum);
  } else if (decode) {
    const double seconds = ReadWaveIn(argv[2], sum); // before sum is printed
    std::printf("TWaveIn %.1f ms (checksum %u)\n", seconds * 1e3, sum);
  } else {
    auto start = TClock::now();
    TWaveIn in;
    in.SetFileName(argv[2]);
    TFastResampler resampler;
    resampler.SetInput(&in);
    resampler.SetOutSampleRate(static_cast<std::uint32_t>(std::atoi(argv[3])));
    sum = PullAll(resampler);
    std::printf("TFastResampler %.1f ms (checksum %u)\n", SecondsSince(start) * 1e3, sum);
  }
  return 0;
}
