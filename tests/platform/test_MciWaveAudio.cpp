// The media device "waveaudio" on SDL's disk driver, which captures from a raw file and writes
// what is played to another: what is recorded reaches the saved WAV file sample by sample, a
// recording from a point replaces the audio from there, and a play from a point plays the rest.
#include "FileContents.h"
#include "Mci.h"
#include "TempDir.h"
#include "TestSound.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

using Bytes = std::vector<uint8_t>;

int Send(const std::string &command, std::string *result = nullptr) {
  return plat::mciSendString(command, result);
}

std::string Status(const std::string &item) {
  std::string result;
  EXPECT_EQ(Send("status rec " + item, &result), 0) << item;
  return result;
}

class MciWaveAudio : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", Dir.File("played.raw").c_str(), 1);
    setenv("SDL_DISKAUDIOFILEIN", Dir.File("captured.raw").c_str(), 1);
  }
  void TearDown() override { Send("close rec"); }

  void Open(const std::string &file) {
    ASSERT_EQ(Send("open \"" + file + "\" type waveaudio alias rec"), 0);
    ASSERT_EQ(Send("set rec time format milliseconds"), 0);
  }

  // Records from the capture file until at least ms are held, then stops and saves.
  void RecordFor(const std::string &from, int ms, const Bytes &captured) {
    WriteFileBytes(Dir.File("captured.raw"), captured);
    ASSERT_EQ(Send("record rec" + from), 0);
    EXPECT_EQ(Status("mode"), "recording");
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::stoi(Status("length")) < ms && std::chrono::steady_clock::now() < limit)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(Send("stop rec"), 0);
    EXPECT_EQ(Status("mode"), "stopped");
    ASSERT_EQ(Send("save rec"), 0);
  }

  TTempDir Dir;
};

TEST_F(MciWaveAudio, RecordsInTheFilesFormatAndReplacesFromTheStartPoint) {
  const std::string file = Dir.File("My Recording.wav");
  WriteFileBytes(file, Wav(1, 8000, 8, {}));
  Open(file);
  EXPECT_EQ(Status("length"), "0");
  const Bytes first = Pattern(8000 * 4, 1); // longer than the recording: no silence in it
  RecordFor("", 3000, first);
  Send("close rec");

  Bytes saved = ReadFileBytes(file);
  ASSERT_GE(saved.size(), 44u + 24000);
  const Bytes audio(saved.begin() + 44, saved.end());
  EXPECT_EQ(saved, Wav(1, 8000, 8, audio)); // the header fits the audio
  EXPECT_EQ(audio, Bytes(first.begin(), first.begin() + audio.size()));

  // Over again from 1.5 s: the first 12000 samples stay, the new sound follows them.
  Open(file);
  const Bytes second = Pattern(8000 * 4, 7);
  RecordFor(" from 1500", 2500, second);
  Send("close rec");
  saved = ReadFileBytes(file);
  ASSERT_GE(saved.size(), 44u + 20000);
  const Bytes over(saved.begin() + 44, saved.end());
  EXPECT_EQ(Bytes(over.begin(), over.begin() + 12000), Bytes(first.begin(), first.begin() + 12000));
  EXPECT_EQ(Bytes(over.begin() + 12000, over.end()),
            Bytes(second.begin(), second.begin() + (over.size() - 12000)));
}

TEST_F(MciWaveAudio, PlaysFromAPointToTheEnd) {
  const std::string file = Dir.File("tone.wav");
  const Bytes audio = Pattern(8000 * 2 * 2, 3); // one second of 16-bit stereo
  WriteFileBytes(file, Wav(2, 8000, 16, audio));
  Open(file);
  EXPECT_EQ(Status("length"), "1000");
  ASSERT_EQ(Send("play rec from 250"), 0);
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (Status("mode") == "playing" && std::chrono::steady_clock::now() < limit)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(Status("position"), "1000");
  Send("close rec");
  EXPECT_EQ(WithoutSilence(ReadFileBytes(Dir.File("played.raw"))),
            Bytes(audio.begin() + 8000, audio.end()));
}

TEST_F(MciWaveAudio, BadFilesAndCommandsAreRefused) {
  WriteFileBytes(Dir.File("text.wav"), {'h', 'e', 'l', 'l', 'o'});
  WriteFileBytes(Dir.File("float.wav"), Wav(1, 8000, 32, Pattern(64, 1)));
  WriteFileBytes(Dir.File("good.wav"), Wav(1, 8000, 16, Pattern(1600, 1)));
  const struct {
    std::string command;
    int error;
  } cases[] = {
      {"open \"" + Dir.File("missing.wav") + "\" alias rec", plat::MciErrFileNotFound},
      {"open \"" + Dir.File("text.wav") + "\" alias rec", plat::MciErrInvalidFile},
      {"open \"" + Dir.File("float.wav") + "\" alias rec", plat::MciErrInvalidFile},
      {"status rec length", plat::MciErrUnrecognizedCommand},
      {"open \"" + Dir.File("good.wav") + "\" alias rec", 0},
      {"open \"" + Dir.File("good.wav") + "\" alias other", plat::MciErrDeviceOpen},
      {"play rec from soon", plat::MciErrOutOfRange},
      {"record rec from -5", plat::MciErrOutOfRange},
      {"seek rec to middle", plat::MciErrUnrecognizedCommand},
      {"seek rec to end", 0},
      {"close rec", 0},
  };
  for (const auto &c : cases)
    EXPECT_EQ(Send(c.command), c.error) << c.command;

  // A file cut short of the length its header claims opens with the sound it holds.
  Bytes cut = Wav(1, 8000, 16, Pattern(1600, 1));
  std::fill(cut.begin() + 40, cut.begin() + 44, 0xFF);
  WriteFileBytes(Dir.File("cut.wav"), cut);
  ASSERT_EQ(Send("open \"" + Dir.File("cut.wav") + "\" alias rec"), 0);
  EXPECT_EQ(Status("length"), "100");
}

} // namespace
