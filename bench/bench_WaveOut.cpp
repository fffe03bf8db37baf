// The WAV writer's speed and memory.
//   bench_WaveOut pcm SECONDS FOLDER   16-bit stereo 44100 Hz PCM through TWaveOut from an
//                                      in-memory source, beside a plain fwrite loop of the
//                                      same bytes; best of five each, and the resident memory
//                                      of a run SECONDS long and one eight times as long.
//   bench_WaveOut ima IN.raw OUT.wav   encodes 16-bit stereo 44100 Hz raw PCM to IMA ADPCM
//                                      (timed from outside, next to sox, by bench_WaveOut.sh).
#include "AuWaveOut.h"
#include "BenchSupport.h"
#include "Messages.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// Hands out views of one buffer, over and over, until Total bytes have gone.
class TMemoryInput : public TAuInput {
public:
  TMemoryInput(const std::vector<std::uint8_t> &data, std::int64_t total)
      : FData(data), FTotal(total) {}

protected:
  std::uint32_t GetBitsPerSample() override { return 16; }
  std::uint32_t GetChannels() override { return 2; }
  std::uint32_t GetSampleRate() override { return 44100; }
  void InitInternal() override {
    FBusy = true;
    FPosition = 0;
    FSize = FTotal;
  }
  void FlushInternal() override { FBusy = false; }
  void GetDataInternal(std::uint8_t *&buffer, std::uint32_t &bytes) override {
    std::int64_t at = FPosition % static_cast<std::int64_t>(FData.size());
    std::int64_t n = std::min<std::int64_t>(
        {bytes, FTotal - FPosition, static_cast<std::int64_t>(FData.size()) - at});
    buffer = const_cast<std::uint8_t *>(FData.data()) + at;
    bytes = static_cast<std::uint32_t>(n);
    FPosition += n;
  }

private:
  const std::vector<std::uint8_t> &FData;
  std::int64_t FTotal;
};

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0)
      return std::stol(line.substr(6));
  return 0;
}

// Runs the writer to its end; the peak resident memory seen meanwhile.
long RunWriter(TWaveOut &out, TMemoryInput &input, const std::string &name) {
  bool done = false;
  out.OnDone = [&](TComponent *) { done = true; };
  out.SetFileName(name);
  out.SetInput(&input);
  out.Run();
  long peak = ResidentKiB();
  while (!done) {
    plat::WaitMessages(5);
    peak = std::max(peak, ResidentKiB());
  }
  if (!out.ExceptionMessage().empty())
    std::fprintf(stderr, "%s\n", out.ExceptionMessage().c_str());
  return peak;
}

int BenchPcm(double seconds, const std::string &folder) {
  std::vector<std::uint8_t> block(1 << 20);
  for (std::size_t i = 0; i < block.size(); ++i)
    block[i] = static_cast<std::uint8_t>(i * 7 + (i >> 9));
  const std::int64_t total = static_cast<std::int64_t>(seconds * 44100) * 4;
  const std::string ours = folder + "/ours.wav", plain = folder + "/plain.raw";
  double best = 1e9, bestPlain = 1e9;
  for (int round = 0; round < 5; ++round) {
    std::remove(ours.c_str());
    std::remove(plain.c_str());
    best = std::min(best, Seconds([&] {
                      TMemoryInput input(block, total);
                      TWaveOut out;
                      RunWriter(out, input, ours);
                    }));
    bestPlain = std::min(bestPlain, Seconds([&] {
                           std::FILE *f = std::fopen(plain.c_str(), "wb");
                           for (std::int64_t done = 0; done < total;) {
                             std::int64_t at = done % block.size();
                             std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(
                                 {16384, total - done, std::int64_t(block.size()) - at}));
                             std::fwrite(block.data() + at, 1, n, f);
                             done += n;
                           }
                           std::fclose(f);
                         }));
  }
  const double mb = total / 1048576.0;
  std::printf("PCM write, %.0f s stereo 16-bit (%.0f MB), best of 5:\n", seconds, mb);
  std::printf("  TWaveOut  %8.1f ms  %7.0f MB/s\n", best * 1e3, mb / best);
  std::printf("  fwrite    %8.1f ms  %7.0f MB/s\n", bestPlain * 1e3, mb / bestPlain);
  std::printf("  ratio TWaveOut / fwrite: %.2f\n", best / bestPlain);

  for (double factor : {1.0, 8.0}) {
    std::remove(ours.c_str());
    long before = ResidentKiB();
    TMemoryInput input(block, static_cast<std::int64_t>(total * factor));
    TWaveOut out;
    long peak = RunWriter(out, input, ours);
    std::printf("  resident memory, %5.0f MB written: %ld KiB before, peak %ld KiB (+%ld)\n",
                mb * factor, before, peak, peak - before);
  }
  std::remove(ours.c_str());
  std::remove(plain.c_str());
  return 0;
}

int EncodeIma(const std::string &in, const std::string &outName) {
  std::ifstream file(in, std::ios::binary);
  std::vector<std::uint8_t> pcm((std::istreambuf_iterator<char>(file)),
                                std::istreambuf_iterator<char>());
  TMemoryInput input(pcm, static_cast<std::int64_t>(pcm.size()));
  TWaveOut out;
  out.SetWavType(wtDVIADPCM);
  RunWriter(out, input, outName);
  return out.ExceptionMessage().empty() ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "pcm" && argc == 4)
    return BenchPcm(std::stod(argv[2]), argv[3]);
  if (mode == "ima" && argc == 4)
    return EncodeIma(argv[2], argv[3]);
  std::fprintf(stderr, "usage: %s pcm SECONDS FOLDER | ima IN.raw OUT.wav\n", argv[0]);
  return 2;
}
