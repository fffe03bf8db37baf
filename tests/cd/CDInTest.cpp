// The CD input on disc images through the CD ripping library: the bytes of a rip, its size,
// its refusals, the drive questions, cdr.ini, paranoia's corrections and the load failure.
#include "AuCDROM.h"
#include "AuWaveOut.h"
#include "Dialogs.h"
#include "FileContents.h"
#include "IniFile.h"
#include "MessagePump.h"
#include "TempDir.h"
#include "TestDisc.h"
#include "akrip32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace {

constexpr std::uint32_t Sector = 2352;

// Three audio tracks of 120, 80 and 100 sectors, and a disc with a data track second.
class CDInTest : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", Config.Path().c_str(), 1);
    Audio = WriteAudioDisc(Discs.Path(), "Audio", {120, 80, 100});
    Mixed = WriteTestDisc(Discs.Path(), "Mixed", {{50}, {30, true}});
    Drives = std::make_unique<TImageDrives>(std::vector<std::string>{Audio, Mixed});
    In = std::make_unique<TCDIn>();
  }
  void TearDown() override {
    In.reset();
    CDRip().CR_SetReadFault(0, 0, 0);
    unsetenv("XDG_CONFIG_HOME");
  }

  // The BIN's bytes of the sectors first ... first + count - 1.
  std::vector<std::uint8_t> Bin(std::uint32_t first, std::uint32_t count) {
    const std::vector<std::uint8_t> bin = ReadFileBytes(BinOf(Audio));
    return {bin.begin() + first * Sector, bin.begin() + (first + count) * Sector};
  }

  // Everything the input delivers for the tracks first ... last; size gets the Size during
  // the read.
  std::vector<std::uint8_t> Rip(int first, int last, std::int64_t *size = nullptr) {
    In->SetStartTrack(first);
    In->SetEndTrack(last);
    In->Init();
    if (size)
      *size = In->Size();
    std::vector<std::uint8_t> data;
    for (;;) {
      std::uint8_t *buffer = nullptr;
      std::uint32_t bytes = 50000; // not a multiple of a chunk or a sector
      In->GetData(buffer, bytes);
      if (bytes == 0)
        break;
      data.insert(data.end(), buffer, buffer + bytes);
    }
    In->Flush();
    return data;
  }

  std::string InitError(int first, int last) {
    In->SetStartTrack(first);
    In->SetEndTrack(last);
    try {
      In->Init();
    } catch (const EAuException &e) {
      return e.what();
    }
    In->Flush();
    return "";
  }

  TTempDir Config, Discs;
  std::string Audio, Mixed;
  std::unique_ptr<TImageDrives> Drives;
  std::unique_ptr<TCDIn> In;
};

TEST_F(CDInTest, RipDeliversTheBinBytesOfTheTrackRangeInEveryMode) {
  struct TCase {
    int First, Last;
    std::uint32_t Start, Sectors;
    bool Jitter, Paranoid;
  } cases[] = {
      {1, 1, 0, 120, true, false},    // one track, up to the next track's start
      {1, 2, 0, 200, true, true},     // a range of tracks
      {2, 3, 120, 180, false, false}, // the last track up to the lead-out, no correction
      {3, 3, 200, 100, true, false},
  };
  for (const TCase &c : cases) {
    SCOPED_TRACE(std::to_string(c.First) + "-" + std::to_string(c.Last));
    In->EnableJitterCorrection = c.Jitter;
    In->Paranoid = c.Paranoid;
    In->SetStartTrack(c.First);
    In->SetEndTrack(c.Last);
    // Idle, the size counts one sector more than the read delivers; the read stops at the end.
    EXPECT_EQ(In->SizeBytes(), std::int32_t((c.Sectors + 1) * Sector));
    std::int64_t size = 0;
    const std::vector<std::uint8_t> data = Rip(c.First, c.Last, &size);
    EXPECT_EQ(size, std::int64_t((c.Sectors + 1) * Sector));
    EXPECT_TRUE(data == Bin(c.Start, c.Sectors)) << data.size() << " bytes";
    EXPECT_EQ(In->JitterErrors(), 0);
    EXPECT_FALSE(In->Busy());
  }
}

TEST_F(CDInTest, AReadOffsetShiftsTheRangeWithSilenceBeyondTheDiscsEdges) {
  const struct {
    int First, Last;
    std::int32_t Offset;
    std::uint32_t Start, Sectors;
    bool Jitter;
  } cases[] = {{1, 1, 6, 0, 120, true},      {1, 1, -6, 0, 120, false},
               {1, 2, 1000, 0, 200, true},   {1, 1, -1000, 0, 120, true},
               {3, 3, 6, 200, 100, false},   {3, 3, -6, 200, 100, true},
               {3, 3, 1000, 200, 100, true}, {2, 3, 1000, 120, 180, false}};
  for (const auto &c : cases) {
    SCOPED_TRACE(std::to_string(c.First) + "-" + std::to_string(c.Last) + ", offset " +
                 std::to_string(c.Offset));
    In->EnableJitterCorrection = c.Jitter;
    In->ReadOffset = c.Offset;
    const std::vector<std::uint8_t> data = Rip(c.First, c.Last);
    EXPECT_EQ(data.size(), c.Sectors * Sector);
    EXPECT_TRUE(data == ShiftedBin(Audio, c.Start, c.Sectors, c.Offset));
  }
  In->ReadOffset = 2001;
  EXPECT_EQ(InitError(1, 1), "The read offset is out of range");
}

// The way the rip window uses it: the pipeline's output thread pulls the track into a WAV
// file. The read ends at the lead-out; the WAV output then pads with silence up to the Size
// the input announced, one sector more.
TEST_F(CDInTest, APipelineRipOfTheLastTrackEndsAtTheLeadOut) {
  In->EnableJitterCorrection = true;
  In->SetStartTrack(3);
  In->SetEndTrack(3);
  TWaveOut out;
  out.SetFileName(Discs.File("track3.wav"));
  std::atomic<bool> done{false};
  out.OnDone = [&](TComponent *) { done = true; };
  out.SetInput(In.get());
  out.Run();
  ASSERT_TRUE(PumpUntil([&] { return done.load(); }));
  EXPECT_EQ(out.ExceptionMessage(), "");
  const std::vector<std::uint8_t> wav = ReadFileBytes(Discs.File("track3.wav"));
  ASSERT_EQ(wav.size(), 44 + 101 * Sector);
  const auto sound = wav.begin() + 44;
  EXPECT_TRUE(std::vector<std::uint8_t>(sound, sound + 100 * Sector) == Bin(200, 100));
  EXPECT_TRUE(std::all_of(sound + 100 * Sector, wav.end(), [](std::uint8_t b) { return b == 0; }));
}

TEST_F(CDInTest, ReadsThatCannotBeMadeAreRefusedWithTheirReasons) {
  EXPECT_EQ(InitError(0, 1), "The start track out of range");
  EXPECT_EQ(InitError(4, 4), "The start track out of range");
  EXPECT_EQ(InitError(1, 4), "The end track out of range");
  In->SetCurrentDrive(1);
  EXPECT_EQ(InitError(2, 2), "Trying to rip a data track");
  EXPECT_EQ(InitError(1, 1), "");
  // An image whose files are gone is a drive without a disc.
  std::filesystem::remove(BinOf(Mixed));
  std::filesystem::remove(Mixed);
  EXPECT_EQ(InitError(1, 1), "The drive is not ready");
  EXPECT_FALSE(In->MediaPresent());
  EXPECT_EQ(In->TracksCount(), -1);
  std::uint8_t *buffer = nullptr;
  std::uint32_t bytes = 100;
  EXPECT_THROW(In->GetData(buffer, bytes), EAuException); // "The Stream is not opened"
}

// Any control value with the data bit is data, also with "copy permitted" beside it (6), and
// an audio track with that flag stays audio: for the track list, the rip, the verification and
// the library, which refuses a range reaching into data. Tracks count from the disc's first.
TEST_F(CDInTest, TheDataBitMakesADataTrackWhateverElseIsSet) {
  const struct {
    TTestTrack Second;
    bool Data;
  } cases[] = {{{30, true}, true}, {{30, true, true}, true}, {{30, false, true}, false}};
  std::vector<std::string> cues;
  for (const auto &c : cases)
    cues.push_back(
        WriteTestDisc(Discs.Path(), "Disc" + std::to_string(cues.size()), {{50}, c.Second}, 4));
  Drives.reset(); // its end forgets every image
  Drives = std::make_unique<TImageDrives>(cues);
  ASSERT_EQ(In->DrivesCount(), 3);
  for (int drive = 0; drive < 3; ++drive) {
    const bool data = cases[drive].Data;
    SCOPED_TRACE(drive);
    In->SetCurrentDrive(drive);
    EXPECT_EQ(In->FirstTrack(), 4);
    EXPECT_EQ(In->GetTrackInfo(2).TrackType, data ? 1 : 0);
    EXPECT_EQ(InitError(2, 2), data ? "Trying to rip a data track" : "");
    const accuraterip::TDiscToc toc = In->VerificationToc();
    ASSERT_EQ(toc.Tracks.size(), 2u);
    EXPECT_EQ(toc.Tracks[1].Audio, !data);
    EXPECT_EQ(toc.FirstTrack, 4);
    std::int32_t size = CDChunkBytes;
    CDRip().CR_SetActiveCDROM(drive);
    EXPECT_EQ(CDRip().CR_OpenRipper(&size, 0, 80), data ? CDRipError : CDRipOK);
    CDRip().CR_CloseRipper();
  }
}

TEST_F(CDInTest, TheTrackRangeCannotChangeDuringARead) {
  In->SetStartTrack(2);
  In->SetEndTrack(2);
  In->Init();
  for (auto set : {&TCDIn::SetStartTrack, &TCDIn::SetEndTrack}) {
    try {
      (In.get()->*set)(1);
      ADD_FAILURE() << "no exception";
    } catch (const EAuException &e) {
      EXPECT_STREQ(e.what(), "The component is busy");
    }
  }
  EXPECT_EQ(In->StartTrack(), 2);
  EXPECT_EQ(In->EndTrack(), 2);
  EXPECT_EQ(In->SizeBytes(), std::int32_t(80 * Sector)); // the bytes of the read
  In->Flush();
}

TEST_F(CDInTest, DrivesAndTracksAreThoseOfTheDriveLibrary) {
  ASSERT_EQ(In->DrivesCount(), 2);
  EXPECT_FALSE(In->EnableJitterCorrection);
  EXPECT_EQ(In->DriveName(), "IMAGE Audio");
  EXPECT_TRUE(In->EnableJitterCorrection); // the drive's parameters have it on
  In->SetCurrentDrive(2);                  // no such drive: ignored
  EXPECT_EQ(In->CurrentDrive(), 0);
  EXPECT_EQ(In->TracksCount(), 3);
  const TCDTrackInfo first = In->GetTrackInfo(1);
  EXPECT_EQ(first.Minute * 4500 + first.Second * 75 + first.Frame, 120);
  EXPECT_EQ(first.TrackType, 0);
  EXPECT_THROW(In->GetTrackInfo(4), EAuException);
  EXPECT_THROW(In->GetTrackInfo(0), EAuException);
  In->SetCurrentDrive(1);
  EXPECT_EQ(In->DriveName(), "IMAGE Mixed");
  EXPECT_EQ(In->TracksCount(), 2);
  EXPECT_EQ(In->GetTrackInfo(2).TrackType, 1);
  const TCDTrackInfo data = In->GetTrackInfo(2); // up to the lead-out
  EXPECT_EQ(data.Minute * 4500 + data.Second * 75 + data.Frame, 30);
  ASSERT_TRUE(AddDiscImage(Audio)); // registered after the library was loaded
  EXPECT_EQ(In->DrivesCount(), 3);
}

TEST_F(CDInTest, CdrIniIsWrittenIntoTheSettingsFolderAndKeepsOtherKeys) {
  const std::string ini = Config.Path() + "/Varnex/Plindar/cdr.ini";
  {
    TIniFile file(ini);
    file.WriteInteger("CD-ROM", "nActive", 1);
    file.WriteString("CD-ROM", "nSpeed", "8");
  }
  TCDIn second;
  TIniFile file(ini);
  EXPECT_EQ(file.ReadString("CD-ROM", "nActive", ""), "0");
  EXPECT_EQ(file.ReadString("CD-ROM", "nTransportLayer", ""), "1");
  EXPECT_EQ(file.ReadString("CD-ROM", "nSpeed", ""), "8");
  // The library keeps its active drive there.
  CDRip().CR_SetActiveCDROM(1);
  EXPECT_EQ(CDRip().CR_SaveSettings(), 0);
  CDRip().CR_SetActiveCDROM(0);
  CDRip().CR_LoadSettings();
  EXPECT_EQ(CDRip().CR_GetActiveCDROM(), 1);
}

// A sector served wrong on its first reads, as a scratch or a drive's jitter gives.
TEST_F(CDInTest, ParanoiaCorrectsABadSectorAndReportsWhatItCannotCorrect) {
  struct TCase {
    bool Jitter, Paranoid;
    std::int32_t BadReads;
    bool Exact, Corrected, Uncorrected;
  } cases[] = {
      {false, false, 1, false, false, false}, // no correction: the wrong bytes pass unnoticed
      {true, false, 1, true, true, false},    // overlapped reads disagree: read again
      {true, true, 2, true, true, false},
      {true, true, 1000, false, true, true}, // never right: delivered, and reported
  };
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.BadReads);
    CDRip().CR_SetReadFault(130, 1, c.BadReads);
    In->EnableJitterCorrection = c.Jitter;
    In->Paranoid = c.Paranoid;
    const std::vector<std::uint8_t> data = Rip(2, 2);
    EXPECT_EQ(data == Bin(120, 80), c.Exact);
    EXPECT_EQ(data.size(), 80 * Sector);
    EXPECT_EQ(In->JitterErrors() > 0, c.Corrected) << In->JitterErrors();
    EXPECT_EQ(In->UncorrectedSectors() > 0, c.Uncorrected) << In->UncorrectedSectors();
  }
}

// The BIN cut short during a read of the last track: what cannot be read is never a silently
// short rip.
TEST_F(CDInTest, ABinCutShortDuringAReadIsReported) {
  for (bool jitter : {true, false}) {
    SCOPED_TRACE(jitter);
    WriteAudioDisc(Discs.Path(), "Audio", {120, 80, 100});
    In->EnableJitterCorrection = jitter;
    In->SetStartTrack(3);
    In->SetEndTrack(3);
    In->Init();
    std::filesystem::resize_file(BinOf(Audio), 250 * Sector);
    std::uint64_t delivered = 0;
    std::string error;
    try {
      for (std::uint32_t bytes = 1; bytes > 0; delivered += bytes) {
        std::uint8_t *buffer = nullptr;
        bytes = 100 * Sector;
        In->GetData(buffer, bytes);
      }
    } catch (const EAuException &e) {
      error = e.what();
    }
    In->Flush();
    if (jitter) { // paranoia retries, gives up, goes on and says so
      EXPECT_EQ(delivered, 100 * Sector);
      EXPECT_GT(In->UncorrectedSectors(), 0);
    } else { // no retries: the read fails there
      EXPECT_EQ(delivered, 50 * Sector);
      EXPECT_EQ(error, "Cannot read the CD at sector 250");
    }
  }
}

TEST(CDInLoadDeathTest, AMissingLibraryIsReportedAndEndsTheProgramAsAFailure) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        TTempDir config;
        setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
        plat::TDialogScript script;
        CDRipLibraryName = "libmissing_cdrip.so";
        TCDIn in;
      },
      ::testing::ExitedWithCode(1), "libmissing_cdrip.so could not be loaded.");
}

} // namespace
