#include "EncoderTestSupport.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

TTestAudio MakeTestAudio(double seconds, int rate, int channels) {
  TTestAudio audio{rate, channels, {}};
  const size_t frames = static_cast<size_t>(seconds * rate);
  audio.Samples.resize(frames * channels);
  const double tones[] = {220.0, 554.37, 1318.5, 3135.9};
  for (size_t i = 0; i < frames; ++i) {
    double t = double(i) / rate;
    for (int c = 0; c < channels; ++c) {
      double v = 0;
      for (int k = 0; k < 4; ++k) {
        double loudness = 0.5 + 0.5 * std::sin(2 * M_PI * (0.3 + 0.2 * k + 0.1 * c) * t);
        v += loudness * std::sin(2 * M_PI * tones[k] * (1 + 0.01 * c) * t + k);
      }
      audio.Samples[i * channels + c] = static_cast<int16_t>(v * 6000);
    }
  }
  return audio;
}

namespace {

void Put(std::string &out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

uint32_t Get(const std::string &in, size_t at, int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i)
    value |= uint32_t(static_cast<unsigned char>(in[at + i])) << (8 * i);
  return value;
}

} // namespace

void WriteWav(const std::string &path, const TTestAudio &audio) {
  const uint32_t dataBytes = static_cast<uint32_t>(audio.Samples.size() * 2);
  std::string h = "RIFF";
  Put(h, 36 + dataBytes, 4);
  h += "WAVEfmt ";
  Put(h, 16, 4);
  Put(h, 1, 2);
  Put(h, audio.Channels, 2);
  Put(h, audio.Rate, 4);
  Put(h, audio.Rate * audio.Channels * 2, 4);
  Put(h, audio.Channels * 2, 2);
  Put(h, 16, 2);
  h += "data";
  Put(h, dataBytes, 4);
  for (int16_t s : audio.Samples)
    Put(h, static_cast<uint16_t>(s), 2);
  std::ofstream(path, std::ios::binary) << h;
}

TTestAudio ReadWav(const std::string &path) {
  std::string in = FileText(path);
  if (in.size() < 12 || in.compare(0, 4, "RIFF") != 0 || in.compare(8, 4, "WAVE") != 0)
    throw std::runtime_error(path + " is not a WAV file");
  TTestAudio audio;
  for (size_t at = 12; at + 8 <= in.size();) {
    uint32_t size = Get(in, at + 4, 4);
    if (in.compare(at, 4, "fmt ") == 0) {
      audio.Channels = Get(in, at + 10, 2);
      audio.Rate = Get(in, at + 12, 4);
    } else if (in.compare(at, 4, "data") == 0) {
      size_t bytes = std::min<size_t>(size, in.size() - at - 8);
      for (size_t i = 0; i + 1 < bytes; i += 2)
        audio.Samples.push_back(static_cast<int16_t>(Get(in, at + 8 + i, 2)));
      return audio;
    }
    at += 8 + size + (size & 1);
  }
  throw std::runtime_error(path + " has no data chunk");
}

double Correlation(const std::vector<int16_t> &a, const std::vector<int16_t> &b, size_t n) {
  double ma = 0, mb = 0;
  for (size_t i = 0; i < n; ++i) {
    ma += a[i];
    mb += b[i];
  }
  ma /= n;
  mb /= n;
  double sab = 0, saa = 0, sbb = 0;
  for (size_t i = 0; i < n; ++i) {
    sab += (a[i] - ma) * (b[i] - mb);
    saa += (a[i] - ma) * (a[i] - ma);
    sbb += (b[i] - mb) * (b[i] - mb);
  }
  return sab / std::sqrt(saa * sbb);
}

std::map<std::string, std::string> Probe(const std::string &path) {
  TRunResult r =
      RunProgram({"ffprobe", "-v", "error", "-show_entries",
                  "stream=codec_name,sample_rate,channels,bit_rate:format=duration:format_tags",
                  "-of", "default=noprint_wrappers=1", path});
  std::map<std::string, std::string> fields;
  if (r.ExitStatus != 0)
    return fields;
  size_t start = 0;
  while (start < r.Output.size()) {
    size_t end = r.Output.find('\n', start);
    if (end == std::string::npos)
      end = r.Output.size();
    std::string line = r.Output.substr(start, end - start);
    size_t eq = line.find('=');
    if (eq != std::string::npos)
      fields[line.substr(0, eq)] = line.substr(eq + 1);
    start = end + 1;
  }
  return fields;
}

TScopedPath::TScopedPath(const std::string &path) {
  const char *old = std::getenv("PATH");
  FOld = old ? old : "";
  setenv("PATH", path.c_str(), 1);
}

TScopedPath::~TScopedPath() { setenv("PATH", FOld.c_str(), 1); }

void TReportWindow::WndProc(TMessage &message) {
  if (message.Msg != WM_JOBINFO)
    return;
  Reports.push_back(*message.PayloadAs<TProcessInfo>());
  TProcessInfo last = Reports.back();
  if (last.Code >= 2000 && last.SubCode == 2 && FProcess)
    FProcess->Complete();
  if (last.Code >= 2000 && OnEnd)
    OnEnd(last);
}

void TReportWindow::Start(TEncodeProcess &process, const std::string &input,
                          const std::string &output, bool encode, int overwriteMode) {
  FProcess = &process;
  process.StartFor(Handle(), input, output, encode, overwriteMode, process.Settings);
}

bool TReportWindow::WaitForEnds(size_t count) {
  return PumpUntil([&] { return Ends().size() >= count; });
}

std::vector<TProcessInfo> TReportWindow::Ends() const {
  std::vector<TProcessInfo> ends;
  for (const TProcessInfo &r : Reports)
    if (r.Code >= 2000)
      ends.push_back(r);
  return ends;
}

std::vector<TProcessInfo> TReportWindow::Progress() const {
  std::vector<TProcessInfo> progress;
  for (const TProcessInfo &r : Reports)
    if (r.Code < 2000)
      progress.push_back(r);
  return progress;
}
