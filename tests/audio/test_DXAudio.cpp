// The sound-card output on SDL's disk driver, which writes what is played to a file in real
// time: the bytes that reach the file, Jump, Pause, the failure of a device that stops taking
// data, underruns of a starved feeder, and the settings a run derives from the latency.
#include "AuDXAudio.h"
#include "PipelineSources.h"

#include <algorithm>
#include <cstdlib>

using namespace pipetest;

namespace {

std::vector<std::uint8_t> ReadAll(const std::string &name) {
  std::ifstream in(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A raw file whose frame i holds i: the low 16 bits on the left, the high ones on the right.
void WriteNumberedFrames(const std::string &name, int frames) {
  std::ofstream out(name, std::ios::binary);
  out.write("RAW1", 4);
  for (int i = 0; i < frames; ++i) {
    const std::uint16_t v[2] = {static_cast<std::uint16_t>(i), static_cast<std::uint16_t>(i >> 16)};
    out.write(reinterpret_cast<const char *>(v), 4);
  }
}

std::vector<std::int64_t> NumberedFrames(const std::vector<std::uint8_t> &played) {
  std::vector<std::int64_t> frames;
  for (std::size_t i = 0; i + 4 <= played.size(); i += 4)
    frames.push_back(played[i] | (played[i + 1] << 8) | (played[i + 2] << 16) |
                     (std::int64_t(played[i + 3]) << 24));
  return frames;
}

// An input that gives its first bytes at once and then starves its reader.
class TStarvedInput : public TToneInput {
public:
  using TToneInput::TToneInput;
  std::int64_t FastBytes = 0;

protected:
  void GetDataInternal(std::uint8_t *&buffer, std::uint32_t &bytes) override {
    if (Produced >= FastBytes)
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
    TToneInput::GetDataInternal(buffer, bytes);
  }
};

class DXAudio : public TTempFolder {
protected:
  void SetUp() override {
    TTempFolder::SetUp();
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", Path("played.raw").c_str(), 1);
    unsetenv("SDL_DISKAUDIODELAY");
  }
  std::string Play(TDXAudioOut &out, TAuInput &input) { return RunToEnd(out, input); }
  std::vector<std::uint8_t> Played() { return ReadAll(Path("played.raw")); }
};

TEST_F(DXAudio, TheCardGetsTheInputsBytesAfterTheLeadingSilence) {
  // A short buffer and a long one: both play out to the last byte at the end. (Buffers are
  // kept well above the player's 80 ms so that a loaded machine does not starve the card.)
  for (std::uint32_t latency : {200u, 1000u}) {
    TToneInput in(44100 * 4);
    TDXAudioOut out;
    out.SetLatency(latency);
    ASSERT_EQ(Play(out, in), "") << latency;
    const std::vector<std::uint8_t> played = Played();
    const auto start =
        std::find_if(played.begin(), played.end(), [](std::uint8_t b) { return b != 0; });
    ASSERT_GE(played.end() - start, 44100 * 4) << latency;
    for (std::int64_t i = 0; i < 44100 * 4; ++i)
      ASSERT_EQ(start[i], in.Pattern(i)) << "byte " << i << " at latency " << latency;
    EXPECT_TRUE(std::all_of(start + 44100 * 4, played.end(), [](std::uint8_t b) { return b == 0; }))
        << "only silence follows the input";
  }
}

TEST_F(DXAudio, ARunDerivesItsBufferFromTheLatencyAndItsFormatFromTheInput) {
  const struct {
    std::uint32_t Latency, Bits, Channels;
    float Speed;
    std::uint32_t Frames, Poll, Rate, Tag, Mask;
  } cases[] = {
      {80, 16, 2, 1.0f, 3528, 26, 44100, 1, 0},
      {5, 16, 2, 1.0f, 441, 3, 44100, 1, 0},
      {100, 16, 2, 1.5f, 6615, 33, 66150, 1, 0},
      {100, 24, 2, 1.0f, 4410, 33, 44100, 0xFFFE, 3},
      {100, 16, 6, 1.0f, 4410, 33, 44100, 0xFFFE, 63},
  };
  for (const auto &c : cases) {
    TToneInput in(44100 / 20 * c.Channels * c.Bits / 8);
    in.Bits = c.Bits;
    in.Chans = c.Channels;
    TDXAudioOut out;
    out.SetLatency(c.Latency);
    out.SetSpeedFactor(c.Speed);
    ASSERT_EQ(Play(out, in), "") << c.Latency;
    EXPECT_EQ(out.FramesInBuffer(), c.Frames) << c.Latency;
    EXPECT_EQ(out.PollingInterval(), c.Poll) << c.Latency;
    EXPECT_EQ(out.PlayRate(), c.Rate) << c.Latency;
    EXPECT_EQ(out.Format().Tag, c.Tag) << c.Latency;
    EXPECT_EQ(out.Format().ChannelMask, c.Mask) << c.Latency;
  }
}

TEST_F(DXAudio, JumpGoesOnTenSecondsLaterInAHundredSecondFile) {
  WriteNumberedFrames(Path("numbered.raw"), 100 * 44100);
  TRawFileIn in;
  in.SetFileName(Path("numbered.raw"));
  TDXAudioOut out;
  out.SetLatency(300);
  std::atomic<bool> done{false};
  StartRun(out, in, done);
  PumpFor(500);
  out.Jump(100);
  PumpFor(500);
  out.Stop(false);
  const std::vector<std::int64_t> frames = NumberedFrames(Played());
  // The frames heard, silence left out: one step of about ten seconds, none backwards.
  std::vector<std::int64_t> heard;
  std::copy_if(frames.begin(), frames.end(), std::back_inserter(heard),
               [](std::int64_t f) { return f != 0; });
  ASSERT_GT(heard.size(), 44100u / 2);
  int jumps = 0;
  for (std::size_t i = 1; i < heard.size(); ++i) {
    const std::int64_t step = heard[i] - heard[i - 1];
    ASSERT_GT(step, 0) << "frame " << heard[i] << " after " << heard[i - 1];
    if (step != 1) {
      ++jumps;
      EXPECT_GE(step, 441000) << "at frame " << heard[i - 1];
      EXPECT_LE(step, 441000 + 44100 / 2) << "at frame " << heard[i - 1];
    }
  }
  EXPECT_EQ(jumps, 1);
}

TEST_F(DXAudio, PauseHoldsTheInputAndResumeGoesOnWhereItWas) {
  TToneInput in(44100 * 4 * 2);
  TDXAudioOut out;
  out.SetLatency(300);
  std::atomic<bool> done{false};
  StartRun(out, in, done);
  PumpFor(400);
  out.Pause();
  const std::int64_t held = in.Position();
  PumpFor(300);
  EXPECT_EQ(in.Position(), held);
  EXPECT_EQ(out.Status(), 1);
  out.Resume();
  ASSERT_TRUE(PumpUntil([&] { return done.load(); }));
  // Every byte reached the card once, in order, whatever silence the pause put between.
  const std::vector<std::uint8_t> sound = WithoutSilence(Played());
  ASSERT_EQ(sound.size(), static_cast<std::size_t>(in.Total));
  for (std::int64_t i = 0; i < in.Total; ++i)
    ASSERT_EQ(sound[i], in.Pattern(i)) << "byte " << i;
}

TEST_F(DXAudio, ADeviceThatStopsTakingDataEndsTheRunWithAnError) {
  setenv("SDL_DISKAUDIODELAY", "2000", 1); // one period taken, then nothing for two seconds
  TToneInput in(-1);
  TDXAudioOut out;
  out.SetLatency(30); // a 10 ms poll: the sixteen empty polls take a moment
  EXPECT_EQ(Play(out, in), "Audio output error");
}

TEST_F(DXAudio, AStarvedFeederCausesUnderrunsThatAreReported) {
  TStarvedInput in(44100 * 4 * 2);
  in.FastBytes = 44100; // a quarter of a second, then 150 ms waits for every block
  in.BlockBytes = 2048;
  TDXAudioOut out;
  out.SetLatency(80);
  std::atomic<int> reports{0};
  out.OnUnderrun = [&](TComponent *) { ++reports; };
  std::atomic<bool> stop{false};
  StartRun(out, in, stop);
  ASSERT_TRUE(PumpUntil([&] { return reports > 0 || stop.load(); }));
  out.Stop(false);
  EXPECT_GT(reports.load(), 0);
  EXPECT_GT(out.Underruns(), 0u);
}

// A pause of the whole process (a loaded machine) holds the card too: when the writer comes
// back, it may write only where the card has played, whatever the clock says; nothing written
// and not yet played is overwritten. A card that really played past the writer is an underrun,
// and it then plays silence, not the buffer's audio a second time.
TEST_F(DXAudio, OnlyACardThatPlayedPastTheWriterIsAnUnderrun) {
  for (bool stalled : {true, false}) {
    SCOPED_TRACE(stalled ? "card stalled with the process" : "card played on");
    ds::TOutput out;
    ASSERT_TRUE(ds::Create(out, ds::TDevice{}));
    const std::uint32_t size = 44100 / 4 * 4; // a quarter of a second of 16-bit stereo
    ASSERT_EQ(ds::InitOutputBuffer(out, ds::TFormat{}, size), 0u);
    const std::vector<std::uint8_t> block(size, 1);
    ds::WriteBlock(out, block.data(), size);
    if (stalled) {
      // The callback waits for the device lock: three buffers' time pass without playing.
      SDL_LockAudioDevice(out.Device);
      ds::StartOutput(out);
      std::this_thread::sleep_for(std::chrono::milliseconds(750));
      const std::uint32_t space = ds::QueryOutputSpace(out);
      SDL_UnlockAudioDevice(out.Device);
      EXPECT_EQ(out.UnderflowCount, 0u);
      EXPECT_EQ(space, 0u) << "nothing was played, so nothing may be written over";
    } else {
      ds::StartOutput(out);
      ASSERT_TRUE(PumpUntil([&] { return out.Played.load() > size + out.Lead.load(); }));
      ds::QueryOutputSpace(out);
      EXPECT_EQ(out.UnderflowCount, 1u);
    }
    ds::Done(out);
    if (!stalled) {
      EXPECT_EQ(WithoutSilence(Played()).size(), block.size()) << "the block is heard once";
    }
  }
}

TEST_F(DXAudio, ADeviceNumberOutsideTheTableIsRefused) {
  TToneInput in(4410);
  TDXAudioOut out;
  ASSERT_GE(out.DeviceCount(), 1);
  out.SetDeviceNumber(out.DeviceCount());
  EXPECT_EQ(Play(out, in), "Invalid device number");
  out.SetDeviceNumber(0);
  EXPECT_EQ(Play(out, in), "");
}

} // namespace
