#include "WmaArguments.h"

#include <charconv>
#include <stdexcept>

namespace {

int PositiveInteger(const std::string &text) {
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && value > 0 ? value : -1;
}

// "64_44_2": kbit/s, the sample rate in whole kHz, channels.
void ParseProfile(const std::string &setting, TWmaJob &job) {
  size_t a = setting.find('_');
  size_t b = a == std::string::npos ? a : setting.find('_', a + 1);
  if (b == std::string::npos || setting.find('_', b + 1) != std::string::npos)
    throw std::runtime_error("the profile \"" + setting + "\" is not KBITS_KHZ_CHANNELS");
  int kbits = PositiveInteger(setting.substr(0, a));
  int khz = PositiveInteger(setting.substr(a + 1, b - a - 1));
  int channels = PositiveInteger(setting.substr(b + 1));
  struct TRate {
    int Khz, Hz;
  };
  static const TRate rates[] = {{48, 48000}, {44, 44100}, {32, 32000}, {22, 22050},
                                {16, 16000}, {11, 11025}, {8, 8000}};
  for (const TRate &r : rates)
    if (r.Khz == khz)
      job.SampleRate = r.Hz;
  if (kbits < 0 || job.SampleRate == 0 || (channels != 1 && channels != 2))
    throw std::runtime_error("the profile \"" + setting +
                             "\" names no bit rate, sample rate (48, 44, 32, 22, 16, 11 or 8 kHz) "
                             "and channel count (1 or 2)");
  if (kbits < LowestWmaKbits)
    throw std::runtime_error("the profile \"" + setting + "\" asks for " + std::to_string(kbits) +
                             " kbit/s; the lowest bit rate this encoder can make is " +
                             std::to_string(LowestWmaKbits) + " kbit/s");
  job.BitRate = kbits * 1000;
  job.Channels = channels;
}

} // namespace

TWmaJob ParseWmaArguments(const std::vector<std::string> &arguments) {
  TWmaJob job;
  std::string setting;
  bool haveSetting = false;
  for (size_t i = 0; i < arguments.size(); i += 2) {
    const std::string &name = arguments[i];
    if (i + 1 >= arguments.size())
      throw std::runtime_error("the argument " + name + " has no value");
    const std::string &value = arguments[i + 1];
    if (name == "-input")
      job.Input = value;
    else if (name == "-output")
      job.Output = value;
    else if (name == "-a_setting") {
      setting = value;
      haveSetting = true;
    } else if (name == "-author")
      job.Author = value;
    else if (name == "-description")
      job.Description = value;
    else
      throw std::runtime_error("unknown argument " + name);
  }
  if (job.Input.empty() || job.Output.empty() || !haveSetting)
    throw std::runtime_error("usage: WM8EUTIL -input FILE -output FILE -a_setting "
                             "KBITS_KHZ_CHANNELS [-author TEXT] [-description TEXT]");
  ParseProfile(setting, job);
  return job;
}
