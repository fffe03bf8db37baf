// The rip thread on disc images: the WAV it writes, its blocks and reports, the volume step
// and every way a rip can end early.
#include "ripthread.h"
#include "Deemphasis.h"
#include "FirstDrive.h"
#include "Global.h"
#include "PartFile.h"
#include "TempDir.h"
#include "TestDisc.h"
#include "akrip32.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>

#include <csignal>
#include <sys/resource.h>

namespace fs = std::filesystem;

namespace {

// Collects what a rip thread posts.
class TReports : public TMessageWindow {
public:
  std::vector<TProcessInfo> Infos;
  std::vector<std::intptr_t> RipErrors;

  void WndProc(TMessage &message) override {
    if (message.Msg == WM_JOBINFO)
      Infos.push_back(*message.PayloadAs<TProcessInfo>());
    else if (message.Msg == WM_RIPERROR)
      RipErrors.push_back(message.LParam);
  }
  std::vector<int32_t> Codes() const {
    std::vector<int32_t> codes;
    for (const TProcessInfo &i : Infos)
      codes.push_back(i.Code);
    return codes;
  }
};

// A rip thread that notes every block it reads and can stop itself at a given block, as a
// user pressing Stop while that block is read.
class TWatchedRip : public TCDRipThread {
public:
  using TCDRipThread::TCDRipThread;
  ~TWatchedRip() override { WaitFor(); }

  std::vector<std::pair<uint32_t, uint32_t>> Blocks; // start, count
  size_t StopAtBlock = 0;                            // 1-based; 0 never

protected:
  TRipResult ReadSectors(uint32_t start, uint32_t count) override {
    Blocks.emplace_back(start, count);
    if (Blocks.size() == StopAtBlock)
      StopRequested = true;
    return TCDRipThread::ReadSectors(start, count);
  }
};

std::vector<uint8_t> Bytes(const std::vector<uint8_t> &v, size_t from, size_t count = SIZE_MAX) {
  return {v.begin() + std::min(from, v.size()),
          v.begin() + std::min(v.size(), count == SIZE_MAX ? v.size() : from + count)};
}

uint32_t LE32(const std::vector<uint8_t> &v, size_t at) {
  return v[at] | v[at + 1] << 8 | v[at + 2] << 16 | uint32_t(v[at + 3]) << 24;
}

int16_t Sample(const std::vector<uint8_t> &v, size_t at) {
  return static_cast<int16_t>(v[at] | v[at + 1] << 8);
}

class RipThread : public ::testing::Test {
protected:
  void SetUp() override {
    GlobalOptions = TGlobalOptions{};
    GlobalOptions.OutputFolder = Dir.File("out");
    fs::create_directory(GlobalOptions.OutputFolder);
  }
  void TearDown() override {
    if (Handle)
      CloseCDHandle(Handle);
    GlobalOptions = TGlobalOptions{};
  }

  // Makes the images the drives and opens the first one.
  void Insert(const std::vector<std::string> &cues) {
    Drives = std::make_unique<TImageDrives>(cues);
    OpenFirst();
  }
  // A disc of two tracks whose first starts one second into the BIN, after a pregap of 75
  // sectors of music; its image is name.bin with name.cue.
  void InsertPregapDisc(const std::string &name) {
    WriteAudioDisc(Dir.Path(), name, {75 + 20, 15});
    std::ofstream(Dir.File(name + ".cue")) << "FILE \"" << name << ".bin\" BINARY\n"
                                           << "  TRACK 01 AUDIO\n    INDEX 00 00:00:00\n"
                                              "    INDEX 01 00:01:00\n"
                                              "  TRACK 02 AUDIO\n    INDEX 01 00:01:20\n";
    Insert({Dir.File(name + ".cue")});
  }
  void OpenFirst() {
    Handle = OpenFirstDrive();
    ASSERT_NE(Handle, 0);
  }

  // Runs the thread to its end and delivers what it posted.
  void Run(TCDRipThread &thread) {
    thread.CDHandle = Handle;
    thread.NotifyWindow = Reports.Handle();
    thread.Resume();
    thread.WaitFor();
    plat::ProcessMessages();
  }
  void Rip(int track, const std::string &title) {
    TCDRipThread thread(track, title, RipSettings());
    Run(thread);
  }

  std::string Wav(const std::string &title) const { return Dir.File("out/" + title + ".wav"); }
  const TProcessInfo &Last() const { return Reports.Infos.back(); }

  TTempDir Dir;
  std::unique_ptr<TImageDrives> Drives;
  int32_t Handle = 0;
  TReports Reports;
};

TEST(RipThreadHeader, DescribesCDAudio) {
  const auto h = CDWavHeader(23 * 2352);
  const std::vector<uint8_t> v(h.begin(), h.end());
  EXPECT_EQ(std::string(v.begin(), v.begin() + 4), "RIFF");
  EXPECT_EQ(LE32(v, 4), 23u * 2352 + 36);
  EXPECT_EQ(std::string(v.begin() + 8, v.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(LE32(v, 16), 16u);
  EXPECT_EQ(v[20] | v[21] << 8, 1); // PCM
  EXPECT_EQ(v[22] | v[23] << 8, 2); // channels
  EXPECT_EQ(LE32(v, 24), 44100u);
  EXPECT_EQ(LE32(v, 28), 176400u);
  EXPECT_EQ(v[32] | v[33] << 8, 4);  // block align
  EXPECT_EQ(v[34] | v[35] << 8, 16); // bits
  EXPECT_EQ(std::string(v.begin() + 36, v.begin() + 40), "data");
  EXPECT_EQ(LE32(v, 40), 23u * 2352);
}

TEST_F(RipThread, WritesTheTrackExactlyInBlocksOfTenReportingEachBlock) {
  Insert({WriteAudioDisc(Dir.Path(), "Three", {30, 23, 17})});
  TWatchedRip thread(2, "Second", RipSettings());
  Run(thread);

  const auto wav = ReadFileBytes(Wav("Second"));
  ASSERT_EQ(wav.size(), 44u + 23 * 2352);
  const auto header = CDWavHeader(23 * 2352);
  EXPECT_EQ(Bytes(wav, 0, 44), std::vector<uint8_t>(header.begin(), header.end()));
  EXPECT_EQ(Bytes(wav, 44),
            Bytes(ReadFileBytes(BinOf(Dir.File("Three.cue"))), 30 * 2352, 23 * 2352));
  EXPECT_EQ(Bytes(wav, 44), TestAudio(2, 23));

  using Block = std::pair<uint32_t, uint32_t>;
  EXPECT_EQ(thread.Blocks, (std::vector<Block>{{30, 10}, {40, 10}, {50, 3}}));
  EXPECT_EQ(Reports.Codes(), (std::vector<int32_t>{43, 86, 100, JobRipEnded}));
  EXPECT_EQ(Last().SubCode, ripDone);
  const std::regex minutesSeconds("[0-9]{2}:[0-9]{2}");
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_TRUE(std::regex_match(Reports.Infos[i].Elapsed, minutesSeconds));
    EXPECT_TRUE(std::regex_match(Reports.Infos[i].Estimated, minutesSeconds));
  }
}

TEST_F(RipThread, LastTrackEndsAtTheLeadOutAndAnExistingFileIsReplaced) {
  Insert({WriteAudioDisc(Dir.Path(), "Two", {12, 31})});
  std::ofstream(Wav("Last")) << std::string(500000, 'x');
  Rip(2, "Last");
  EXPECT_EQ(Bytes(ReadFileBytes(Wav("Last")), 44), TestAudio(2, 31));
  EXPECT_EQ(Reports.Codes().size(), 4u + 1);
}

TEST_F(RipThread, AReadOffsetShiftsTheTrackWithSilenceBeyondTheDiscsEdges) {
  const std::string cue = WriteAudioDisc(Dir.Path(), "Shift", {30, 23, 17});
  Insert({cue});
  const struct {
    int Track;
    int32_t Offset;
    uint32_t Start, Sectors;
  } cases[] = {{1, 6, 0, 30},   {1, -6, 0, 30}, {1, 1000, 0, 30}, {1, -1000, 0, 30},
               {2, -6, 30, 23}, {3, 6, 53, 17}, {3, -6, 53, 17},  {3, 1000, 53, 17}};
  for (const auto &c : cases) {
    SCOPED_TRACE("track " + std::to_string(c.Track) + ", offset " + std::to_string(c.Offset));
    ASSERT_EQ(ModifyCDParms(Handle, CDParmReadOffset, c.Offset), 1);
    Rip(c.Track, "Shifted");
    EXPECT_EQ(Last().SubCode, ripDone);
    const auto audio = Bytes(ReadFileBytes(Wav("Shifted")), 44);
    EXPECT_EQ(audio.size(), c.Sectors * 2352u);
    EXPECT_TRUE(audio == ShiftedBin(cue, c.Start, c.Sectors, c.Offset));
  }
  for (int32_t outside : {-2001, 2001})
    EXPECT_EQ(ModifyCDParms(Handle, CDParmReadOffset, outside), 0) << outside;
}

TEST_F(RipThread, AFirstTrackAfterAPregapStartsWhereTheTableSays) {
  // Track 1 begins one second into the BIN; its first sector is sector 75, not 0.
  InsertPregapDisc("Gap");
  Rip(1, "One");
  EXPECT_EQ(Bytes(ReadFileBytes(Wav("One")), 44), Bytes(TestAudio(1, 95), 75 * 2352));
}

// The music before track 1 is track 0: the pregap's sectors, byte-exact, the read offset
// shifting it like any track.
TEST_F(RipThread, TheHiddenTrackIsThePregapBeforeTrack1ShiftedByTheReadOffset) {
  InsertPregapDisc("Hidden");
  for (const int32_t offset : {0, 6, -6}) {
    SCOPED_TRACE(offset);
    ASSERT_EQ(ModifyCDParms(Handle, CDParmReadOffset, offset), 1);
    Rip(0, "Hidden");
    EXPECT_EQ(Last().SubCode, ripDone);
    EXPECT_TRUE(Bytes(ReadFileBytes(Wav("Hidden")), 44) ==
                ShiftedBin(Dir.File("Hidden.cue"), 0, 75, offset));
  }
}

// De-emphasis touches a track only when the disc flags it and the settings ask for it.
TEST_F(RipThread, DeemphasisFiltersOnlyFlaggedTracksWhenAsked) {
  WriteAudioDisc(Dir.Path(), "Pre", {20, 20});
  std::ofstream(Dir.File("Pre.cue")) << "FILE \"Pre.bin\" BINARY\n"
                                        "  TRACK 01 AUDIO\n    FLAGS PRE\n    INDEX 01 00:00:00\n"
                                        "  TRACK 02 AUDIO\n    INDEX 01 00:00:20\n";
  Insert({Dir.File("Pre.cue")});
  const std::vector<uint8_t> bin = ReadFileBytes(BinOf(Dir.File("Pre.cue")));
  const struct {
    int Track;
    bool Option, Filtered;
  } cases[] = {{1, true, true}, {1, false, false}, {2, true, false}};
  for (const auto &c : cases) {
    SCOPED_TRACE("track " + std::to_string(c.Track) + (c.Option ? ", on" : ", off"));
    GlobalOptions.Deemphasis = c.Option;
    Rip(c.Track, "Pre");
    EXPECT_EQ(Last().SubCode, ripDone);
    std::vector<uint8_t> expected = Bytes(bin, (c.Track - 1) * 20 * 2352, 20 * 2352);
    if (c.Filtered) {
      std::vector<int16_t> samples(expected.size() / 2);
      std::memcpy(samples.data(), expected.data(), expected.size());
      TDeemphasisFilter(2).Process(samples.data(), samples.size());
      std::memcpy(expected.data(), samples.data(), expected.size());
    }
    EXPECT_TRUE(Bytes(ReadFileBytes(Wav("Pre")), 44) == expected);
  }
}

TEST_F(RipThread, RipTimeLimitsEveryTrackAndZeroGivesAnEmptyWav) {
  Insert({WriteAudioDisc(Dir.Path(), "Long", {2300})});
  GlobalOptions.EnableRipTime = true;
  GlobalOptions.RipTime = 30;
  Rip(1, "Thirty");
  const auto wav = ReadFileBytes(Wav("Thirty"));
  EXPECT_EQ(LE32(wav, 40), 2250u * 2352);
  EXPECT_EQ(Bytes(wav, 44), TestAudio(1, 2250));
  EXPECT_EQ(Reports.Infos.size(), 225u + 1);

  Reports.Infos.clear();
  GlobalOptions.RipTime = 0;
  Rip(1, "None");
  const auto empty = ReadFileBytes(Wav("None"));
  ASSERT_EQ(empty.size(), 44u);
  EXPECT_EQ(LE32(empty, 40), 0u);
  EXPECT_EQ(Reports.Codes(), (std::vector<int32_t>{100, JobRipEnded}));
  EXPECT_EQ(Last().SubCode, ripDone);
}

TEST_F(RipThread, VolumeStepScalesEverySampleRoundingHalvesToEven) {
  Insert({WriteAudioDisc(Dir.Path(), "Loud", {40})});
  const std::vector<uint8_t> audio = TestAudio(1, 40);
  GlobalOptions.IsNormalize = true;

  // Half of s, a tie going to the even neighbour.
  auto half = [](int s) {
    const int down = static_cast<int>(std::floor(s / 2.0));
    return s % 2 == 0 ? s / 2 : (down % 2 == 0 ? down : down + 1);
  };
  for (int percent : {100, 50, 0}) {
    SCOPED_TRACE(percent);
    Reports.Infos.clear();
    GlobalOptions.NormalizePercent = percent;
    Rip(1, "Scaled");
    const auto wav = ReadFileBytes(Wav("Scaled"));
    ASSERT_EQ(wav.size(), audio.size() + 44);
    EXPECT_EQ(LE32(wav, 40), audio.size());
    for (size_t at = 0; at < audio.size(); at += 2) {
      const int s = Sample(audio, at);
      const int expected = percent == 100 ? s : percent == 50 ? half(s) : 0;
      ASSERT_EQ(Sample(wav, 44 + at), expected) << "sample at byte " << at;
    }
    EXPECT_FALSE(fs::exists(Dir.File("out/Scaled.nor")));
    const auto codes = Reports.Codes();
    ASSERT_GE(codes.size(), 4u + 1 + 2 + 1) << "4 blocks, 999, the step's reports, 1000";
    EXPECT_EQ(codes[3], 100) << "the rip's last block";
    EXPECT_EQ(codes[4], JobNormalizing);
    // The step reports each new percent once, from 0 to 100.
    const std::vector<int32_t> step(codes.begin() + 5, codes.end() - 1);
    EXPECT_EQ(step.front(), 0);
    EXPECT_EQ(step.back(), 100);
    EXPECT_TRUE(std::is_sorted(step.begin(), step.end(), std::less_equal<>()));
    EXPECT_EQ(codes.back(), JobRipEnded);
    EXPECT_EQ(Last().SubCode, ripDone);
  }
}

TEST_F(RipThread, AFailedVolumeStepEndsTheTrackAndKeepsTheUnscaledWav) {
  Insert({WriteAudioDisc(Dir.Path(), "Quiet", {25})});
  GlobalOptions.IsNormalize = true;
  GlobalOptions.NormalizePercent = 50;
  fs::create_directory(Dir.File("out/.Kept.wav.nor")); // the scaled copy cannot be created
  Rip(1, "Kept");
  EXPECT_EQ(Last().Code, JobRipEnded);
  EXPECT_EQ(Last().SubCode, ripReadFailed);
  EXPECT_EQ(Bytes(ReadFileBytes(Wav("Kept")), 44), TestAudio(1, 25));
  EXPECT_TRUE(fs::is_directory(Dir.File("out/.Kept.wav.nor")));

  // A file too short for a header is left alone.
  std::ofstream(Dir.File("out/Short.wav")) << "RIFF";
  EXPECT_FALSE(TCDRipThread::ScaleVolume(Dir.File("out/Short.wav"), 50, 0));
  EXPECT_EQ(ReadFileBytes(Dir.File("out/Short.wav")).size(), 4u);
  EXPECT_FALSE(fs::exists(Dir.File("out/Short.nor")));
  EXPECT_FALSE(TCDRipThread::ScaleVolume(Dir.File("out/Missing.wav"), 50, 0));
}

// A track that ends short (stopped, unreadable, a full disk) leaves no file: under the WAV's
// name there is only ever a whole track.
TEST_F(RipThread, StopDuringTheThirdBlockLeavesNoFile) {
  Insert({WriteAudioDisc(Dir.Path(), "Stopped", {70})});
  TWatchedRip thread(1, "Part", RipSettings());
  thread.StopAtBlock = 3;
  Run(thread);
  EXPECT_TRUE(FolderListing(Dir.File("out")).empty());
  EXPECT_EQ(thread.Blocks.size(), 3u);
  for (const TProcessInfo &info : Reports.Infos)
    EXPECT_NE(info.Code, JobRipEnded) << "a stopped rip sends no end message";
}

TEST_F(RipThread, AnUnreadableSectorEndsTheTrackWithoutAFile) {
  const std::string cue = WriteAudioDisc(Dir.Path(), "Scratched", {60});
  Insert({cue});
  TToc toc{};
  ASSERT_EQ(ReadTOC(Handle, &toc), 1); // the disc is known before the sectors go bad
  fs::resize_file(BinOf(cue), 20 * 2352);
  Rip(1, "Scratched");
  EXPECT_EQ(Last().Code, JobRipEnded);
  EXPECT_EQ(Last().SubCode, ripReadFailed);
  EXPECT_TRUE(FolderListing(Dir.File("out")).empty());
  EXPECT_EQ(Reports.Codes(), (std::vector<int32_t>{16, 33, JobRipEnded}));
}

TEST_F(RipThread, AnOutputThatCannotBeCreatedOrIsInUseEndsTheTrack) {
  Insert({WriteAudioDisc(Dir.Path(), "Fine", {15})});
  const std::string longTitle(300, 'a'); // longer than a file name may be
  Rip(1, longTitle);
  EXPECT_EQ(Reports.Codes(), (std::vector<int32_t>{JobRipEnded}));
  EXPECT_EQ(Last().SubCode, ripCannotCreate);

  Reports.Infos.clear();
  GlobalOptions.OutputFolder = Dir.File("no such folder");
  Rip(1, "Fine");
  EXPECT_EQ(Last().SubCode, ripCannotCreate);
  EXPECT_FALSE(fs::exists(Dir.File("no such folder")));

  // Another job (another Plindar) is ripping the same WAV: its part file is left to it.
  GlobalOptions.OutputFolder = Dir.File("out");
  plat::TPartFile other(Wav("Fine"));
  ASSERT_TRUE(other.Claimed());
  Rip(1, "Fine");
  EXPECT_EQ(Last().SubCode, ripFileInUse);
  EXPECT_EQ(FolderListing(Dir.File("out")), std::vector<std::string>{".Fine.wav.part"});
}

TEST_F(RipThread, AFullDiskEndsTheTrackWithSubCode6AndNoFile) {
  Insert({WriteAudioDisc(Dir.Path(), "Long", {600})});
  // A file size limit stands in for a full disk: writes past it fall short.
  constexpr rlim_t limit = 1000003;
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = limit;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  Rip(1, "Long");
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(Last().Code, JobRipEnded);
  EXPECT_EQ(Last().SubCode, ripWriteFailed);
  EXPECT_TRUE(FolderListing(Dir.File("out")).empty());
}

TEST_F(RipThread, DriveFailuresBeforeTheRipGoOutAsRipErrors) {
  const std::string cue = WriteAudioDisc(Dir.Path(), "Gone", {15});
  Drives = std::make_unique<TImageDrives>(std::vector<std::string>{cue});
  fs::remove(BinOf(cue));
  OpenFirst();
  TCDRipThread noDrive(1, "X", RipSettings());
  noDrive.NotifyWindow = Reports.Handle();
  noDrive.Resume(); // CDHandle 0: no drive
  noDrive.WaitFor();
  plat::ProcessMessages();
  EXPECT_EQ(Reports.RipErrors, (std::vector<std::intptr_t>{RipErrorMsf}));

  Reports.RipErrors.clear();
  Rip(1, "X");
  EXPECT_EQ(Reports.RipErrors, (std::vector<std::intptr_t>{RipErrorToc}));
  EXPECT_TRUE(Reports.Infos.empty());
  EXPECT_FALSE(fs::exists(Wav("X")));
}

TEST_F(RipThread, ATrackNumberNotOnTheDiscFailsTheTrackWithoutAFile) {
  Insert({WriteAudioDisc(Dir.Path(), "Pair", {15, 15})});
  for (int track : {0, 3, 99}) {
    Reports.Infos.clear();
    Rip(track, "Nowhere");
    EXPECT_EQ(Reports.Codes(), (std::vector<int32_t>{JobRipEnded})) << track;
    EXPECT_EQ(Last().SubCode, ripReadFailed);
  }
  EXPECT_FALSE(fs::exists(Wav("Nowhere")));
}

// Any track with the data bit is data, also with "copy permitted" beside it (control 6), and is
// never read as audio; an audio track with that flag stays audio. A disc whose first track is
// 4 rips its tracks by their own numbers.
TEST_F(RipThread, ADataTrackIsRefusedWhateverFlagsItHasAndTracksGoByTheirOwnNumbers) {
  const struct {
    TTestTrack Second;
    int FirstTrack;
    int32_t SubCode;
  } cases[] = {
      {{30, true}, 1, ripDataTrack},
      {{30, true, true}, 1, ripDataTrack},
      {{30, false, true}, 1, ripDone},
      {{30}, 4, ripDone},
  };
  for (const auto &c : cases) {
    const int track = c.FirstTrack + 1;
    SCOPED_TRACE(std::to_string(track) + (c.Second.Data ? " data" : " audio") +
                 (c.Second.CopyPermitted ? " DCP" : ""));
    if (Handle)
      CloseCDHandle(Handle);
    Drives.reset(); // its end forgets every image
    Insert({WriteTestDisc(Dir.Path(), "Disc", {{20}, c.Second}, c.FirstTrack)});
    Reports.Infos.clear();
    Rip(track, "Second");
    ASSERT_FALSE(Reports.Infos.empty());
    EXPECT_EQ(Last().Code, JobRipEnded);
    EXPECT_EQ(Last().SubCode, c.SubCode);
    EXPECT_EQ(fs::exists(Wav("Second")), c.SubCode == ripDone);
    if (c.SubCode == ripDone) {
      EXPECT_EQ(Bytes(ReadFileBytes(Wav("Second")), WavHeaderSize), TestAudio(2, 30));
    }
    fs::remove(Wav("Second"));
  }
}

TEST_F(RipThread, FreeingARunningThreadStopsItAndLeavesNoPartOfTheTrack) {
  Insert({WriteAudioDisc(Dir.Path(), "Big", {3000})});
  {
    TCDRipThread thread(1, "Big", RipSettings());
    thread.CDHandle = Handle;
    thread.NotifyWindow = Reports.Handle();
    thread.Resume();
    thread.StopRequested = true;
  } // waits for the body
  plat::ProcessMessages();
  // Nothing, or the whole track when it was read before the stop was seen.
  if (!FolderListing(Dir.File("out")).empty()) {
    EXPECT_EQ(FolderListing(Dir.File("out")), std::vector<std::string>{"Big.wav"});
    EXPECT_EQ(Bytes(ReadFileBytes(Wav("Big")), 44), TestAudio(1, 3000));
  }
}

} // namespace
