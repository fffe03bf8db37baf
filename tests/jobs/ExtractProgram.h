#pragma once
// The fixture of the suites that run "plindar --extract" as a separate process: a settings and
// home folder of the test's own, a disc image, and the paths of what the run makes.
#include "CddbServer.h"
#include "EncoderTestSupport.h"
#include "FirstDrive.h"
#include "TempDir.h"
#include "TestDisc.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

inline std::vector<uint8_t> WavAudio(const std::string &path) {
  auto bytes = ReadFileBytes(path);
  return {bytes.begin() + std::min<size_t>(44, bytes.size()), bytes.end()};
}

class ExtractProgram : public ::testing::Test {
protected:
  void SetUp() override {
    // A settings and home folder of this test's own: the user's settings and folders stay
    // untouched.
    setenv("XDG_CONFIG_HOME", Config.Path().c_str(), 1);
    setenv("HOME", Config.Path().c_str(), 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("QT_QPA_PLATFORM");
    Cue = WriteAudioDisc(Dir.Path(), "Disc", {150, 110});
  }

  std::vector<std::string> ExtractArgs(const std::vector<std::string> &options) const {
    std::vector<std::string> argv{PLINDAR_PROGRAM, "--cd-image",        Cue,
                                  "--extract",     "--accuraterip-url", NoServerUrl};
    argv.insert(argv.end(), options.begin(), options.end());
    return argv;
  }
  TRunResult Extract(const std::vector<std::string> &options) {
    return Verified(RunProgram(ExtractArgs(options)));
  }
  // The run with the verification it printed after its files, down to the line of the log,
  // moved to Verification.
  TRunResult Verified(TRunResult run) {
    const std::size_t from = std::min(run.Output.find("AccurateRip: "), run.Output.size());
    const std::size_t to =
        std::min(run.Output.find('\n', run.Output.find("ip log", from)), run.Output.size() - 1) + 1;
    Verification = run.Output.substr(from, to - from);
    run.Output.erase(from, to - from);
    return run;
  }
  std::string Out(const std::string &name) const { return Dir.File("out/" + name); }
  std::string Lines(std::initializer_list<const char *> names) const {
    std::string lines;
    for (const char *name : names)
      lines += Out(name) + "\n";
    return lines;
  }
  std::string OptionsFile() const { return Config.File("Varnex/Plindar/options.ini"); }

  TTempDir Config;
  TTempDir Dir;
  std::string Cue;
  std::string Verification; // what the last run printed after its files
};
