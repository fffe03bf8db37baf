// The WM8EUTIL program on its own: every profile, the audio it writes, and its failures.
#include "EncoderTestSupport.h"
#include "Folders.h"
#include "TempDir.h"
#include "WMAEncodeThread.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

const std::string Encoder = plat::ProgramFolder() + "WM8EUTIL";

std::vector<std::string> Lines(const std::string &text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty())
    lines.push_back(line);
  return lines;
}

class Wm8eutil : public ::testing::Test {
protected:
  TRunResult Encode(const std::string &input, const std::string &output, const std::string &setting,
                    std::vector<std::string> more = {}) {
    std::vector<std::string> argv{Encoder, "-input",     input,  "-output",
                                  output,  "-a_setting", setting};
    argv.insert(argv.end(), more.begin(), more.end());
    return RunProgram(argv);
  }
  // A failure: exit status 1 and one line, beginning with "ERROR".
  void ExpectError(const TRunResult &r, const std::string &mention) {
    EXPECT_EQ(r.ExitStatus, 1) << r.Output;
    std::vector<std::string> lines = Lines(r.Output);
    ASSERT_EQ(lines.size(), 1u) << r.Output;
    EXPECT_EQ(lines[0].rfind("ERROR", 0), 0u) << r.Output;
    EXPECT_NE(lines[0].find(mention), std::string::npos) << r.Output;
  }
  TTempDir dir;
};

TEST_F(Wm8eutil, EveryProfileEncodesOrIsRefused) {
  WriteWav(dir.File("in.wav"), MakeTestAudio(1));
  for (const TWmaProfile &p : WmaProfiles) {
    std::string setting = p.Setting;
    int kbits = std::stoi(setting);
    std::string out = dir.File(setting + ".wma");
    TRunResult r = Encode(dir.File("in.wav"), out, setting);
    if (kbits < 24) {
      ExpectError(r, "24 kbit/s");
      EXPECT_FALSE(std::filesystem::exists(out)) << setting;
      continue;
    }
    EXPECT_EQ(r.ExitStatus, 0) << setting << r.Output;
    std::vector<std::string> lines = Lines(r.Output);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "Encoding: 100%");
    for (size_t i = 0; i + 1 < lines.size(); ++i)
      EXPECT_EQ(lines[i].find("100%"), std::string::npos) << "100% only once the file is whole";
    auto probe = Probe(out);
    int khz = std::stoi(setting.substr(setting.find('_') + 1));
    const char *rates[] = {"48000", "44100", "32000", "22050"};
    const char *rate = khz == 48   ? rates[0]
                       : khz == 44 ? rates[1]
                       : khz == 32 ? rates[2]
                                   : rates[3];
    EXPECT_EQ(probe["codec_name"], "wmav2") << setting;
    EXPECT_EQ(probe["sample_rate"], rate) << setting;
    EXPECT_EQ(probe["channels"], setting.substr(setting.size() - 1)) << setting;
    EXPECT_EQ(probe["bit_rate"], std::to_string(kbits * 1000)) << setting;
  }
}

TEST_F(Wm8eutil, TheAudioSurvivesInItsOwnChannel) {
  // wmav2 keeps plain tones well (its stereo coding blurs close, detuned ones): one tone per
  // channel shows a channel mix-up, a wrong rate or broken sample handling.
  TTestAudio source{44100, 2, {}};
  for (int i = 0; i < 4 * 44100; ++i) {
    double t = i / 44100.0;
    source.Samples.push_back(
        int16_t(8000 * std::sin(2 * M_PI * 440 * t) * (0.6 + 0.4 * std::sin(2 * M_PI * 0.5 * t))));
    source.Samples.push_back(int16_t(8000 * std::sin(2 * M_PI * 663 * t + 1) *
                                     (0.6 + 0.4 * std::sin(2 * M_PI * 0.7 * t))));
  }
  WriteWav(dir.File("in.wav"), source);
  ASSERT_EQ(Encode(dir.File("in.wav"), dir.File("out.wma"), "128_44_2").ExitStatus, 0);
  TRunResult decode = RunProgram({"ffmpeg", "-v", "error", "-i", dir.File("out.wma"), "-ac", "2",
                                  "-ar", "44100", "-y", dir.File("back.wav")});
  ASSERT_EQ(decode.ExitStatus, 0) << decode.Output;
  TTestAudio back = ReadWav(dir.File("back.wav"));
  // Nothing of the input is lost at the end: the encoder's delay is pushed out with silence.
  EXPECT_GE(back.Samples.size(), source.Samples.size());

  auto channel = [](const TTestAudio &a, int c, size_t from, size_t count) {
    std::vector<int16_t> samples;
    for (size_t i = from; i < from + count && 2 * i + c < a.Samples.size(); ++i)
      samples.push_back(a.Samples[2 * i + c]);
    return samples;
  };
  // Half a second from the middle, against the decoded audio at the codec's delay.
  const size_t from = 44100, count = 22050;
  std::vector<int16_t> left = channel(source, 0, from, count),
                       right = channel(source, 1, from, count);
  double best = -2;
  size_t delay = 0;
  for (size_t lag = 0; lag <= 4096; ++lag) {
    double c = Correlation(left, channel(back, 0, from + lag, count), count) +
               Correlation(right, channel(back, 1, from + lag, count), count);
    if (c > best) {
      best = c;
      delay = lag;
    }
  }
  EXPECT_GT(Correlation(left, channel(back, 0, from + delay, count), count), 0.95);
  EXPECT_GT(Correlation(right, channel(back, 1, from + delay, count), count), 0.9);
  EXPECT_LT(std::abs(Correlation(left, channel(back, 1, from + delay, count), count)), 0.1);
}

TEST_F(Wm8eutil, ConvertsSampleRateAndChannels) {
  WriteWav(dir.File("mono.wav"), MakeTestAudio(2, 11025, 1));
  TRunResult r = Encode(dir.File("mono.wav"), dir.File("out.wma"), "48_44_2",
                        {"-author", "Motörhead", "-description", "Ace of Spades"});
  ASSERT_EQ(r.ExitStatus, 0) << r.Output;
  auto probe = Probe(dir.File("out.wma"));
  EXPECT_EQ(probe["sample_rate"], "44100");
  EXPECT_EQ(probe["channels"], "2");
  EXPECT_NEAR(std::stod(probe["duration"]), 2.0, 0.15);
  EXPECT_EQ(probe["TAG:artist"], "Motörhead");
  EXPECT_EQ(probe["TAG:comment"], "Ace of Spades");
}

TEST_F(Wm8eutil, AnEmptyWavGivesAnEmptyWma) {
  WriteWav(dir.File("empty.wav"), TTestAudio{});
  TRunResult r = Encode(dir.File("empty.wav"), dir.File("out.wma"), "64_44_2");
  EXPECT_EQ(r.ExitStatus, 0) << r.Output;
  EXPECT_EQ(Probe(dir.File("out.wma"))["codec_name"], "wmav2");
}

TEST_F(Wm8eutil, FailuresPrintAnErrorLineAndLeaveNoFile) {
  WriteWav(dir.File("in.wav"), MakeTestAudio(1));
  std::ofstream(dir.File("notes.wav")) << "not a WAV file at all";
  const std::string out = dir.File("out.wma");

  ExpectError(Encode(dir.File("missing.wav"), out, "64_44_2"), "missing.wav");
  ExpectError(Encode(dir.File("notes.wav"), out, "64_44_2"), "notes.wav");
  ExpectError(Encode(dir.File("in.wav"), dir.File("no/such/folder/out.wma"), "64_44_2"),
              "no/such/folder/out.wma");
  ExpectError(Encode(dir.File("in.wav"), out, "64_45_2"), "64_45_2");
  ExpectError(Encode(dir.File("in.wav"), out, "fast"), "fast");
  ExpectError(Encode(dir.File("in.wav"), out, "64_44_3"), "64_44_3");
  ExpectError(Encode(dir.File("in.wav"), out, "64_44_2", {"-bitrate", "64"}), "-bitrate");
  ExpectError(Encode(dir.File("in.wav"), out, "64_44_2", {"-author"}), "-author");
  ExpectError(RunProgram({Encoder, "-input", dir.File("in.wav")}), "usage");
  EXPECT_FALSE(std::filesystem::exists(out));

  // Writing over its own input would destroy it.
  std::string before = FileText(dir.File("in.wav"));
  ExpectError(Encode(dir.File("in.wav"), dir.File("in.wav"), "64_44_2"), "input");
  EXPECT_EQ(FileText(dir.File("in.wav")), before);

  // A refused profile leaves an existing output as it was.
  std::ofstream(out) << "old";
  ExpectError(Encode(dir.File("in.wav"), out, "16_16_1"), "24 kbit/s");
  EXPECT_EQ(FileText(out), "old");
}

} // namespace
