// The CD drive library on disc images: drive list, handles, table of contents, raw reads.
#include "TempDir.h"
#include "TestDisc.h"
#include "akrip32.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

TCDDriveList DriveList(uint8_t capacity = MaxCDDrives) {
  TCDDriveList list;
  std::memset(&list, 0xCC, sizeof list); // the library must not rely on zeroed input
  list.Capacity = capacity;
  EXPECT_EQ(GetCDList(&list), 1);
  return list;
}

int32_t Open(int index) {
  const TCDDriveList list = DriveList();
  const TCDDriveEntry &d = list.Drives[index];
  TCDOpenRequest request{12, 1, d.HostAdapter, d.Target, d.Lun, {}};
  return GetCDHandle(&request);
}

TToc Toc(int32_t handle, bool msf) {
  EXPECT_EQ(ModifyCDParms(handle, CDParmMsfAddresses, msf ? 1 : 0), 1);
  TToc toc;
  EXPECT_EQ(ReadTOC(handle, &toc), 1);
  return toc;
}

// Minutes, seconds and frames of a TOC entry read in MSF mode.
std::string MsfText(const TTocEntry &e) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", e.Address[1], e.Address[2], e.Address[3]);
  return text;
}

uint32_t BigEndian(const uint8_t (&a)[4]) {
  return uint32_t{a[0]} << 24 | uint32_t{a[1]} << 16 | uint32_t{a[2]} << 8 | a[3];
}

// Reads through ReadCDAudioLBA; empty when the read fails.
std::vector<uint8_t> Read(int32_t handle, uint32_t start, uint32_t count) {
  TReadBuffer buffer(start, count);
  if (ReadCDAudioLBA(handle, buffer.Request()) != 1)
    return {};
  const TReadRequest &r = *buffer.Request();
  EXPECT_EQ(r.Status, ReadStatusDone);
  EXPECT_EQ(r.BytesReturned, count * CDSectorSize);
  const uint8_t *audio = buffer.Data() + r.Offset;
  return {audio, audio + r.BytesReturned};
}

std::vector<uint8_t> Slice(const std::vector<uint8_t> &bin, uint32_t start, uint32_t count) {
  return {bin.begin() + size_t{start} * CDSectorSize,
          bin.begin() + size_t{start + count} * CDSectorSize};
}

class DriveLibrary : public ::testing::Test {
protected:
  TTempDir Dir;
  // Two audio tracks and a data track: 100, 50 and 30 sectors.
  std::string Mixed = WriteTestDisc(Dir.Path(), "Mixed Disc", {{100}, {50}, {30, true}});
};

TEST_F(DriveLibrary, ListsEachImageWithVendorImageAndItsBaseName) {
  const std::string second = WriteAudioDisc(Dir.Path(), "AVeryLongImageNameIndeed", {10});
  TImageDrives drives({Mixed, second});

  const TCDDriveList list = DriveList();
  ASSERT_EQ(list.Count, 2);
  EXPECT_STREQ(list.Drives[0].Vendor, "IMAGE   ");
  EXPECT_STREQ(list.Drives[0].Product, "Mixed Disc");
  EXPECT_STREQ(list.Drives[1].Product, "AVeryLongImageNa"); // 16 bytes and the NUL
  EXPECT_NE(list.Drives[0].Target, list.Drives[1].Target);
  EXPECT_EQ(list.Drives[1].Reserved2[0], 0); // entries cleared, not left as the caller had them

  EXPECT_EQ(DriveList(1).Count, 1); // never more entries than the caller has room for
  EXPECT_EQ(DriveList(0).Count, 0);
}

TEST_F(DriveLibrary, HandlesAreSmallNumbersValidUntilClosed) {
  TImageDrives drives({Mixed});
  const int32_t first = Open(0);
  const int32_t second = Open(0);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 2);

  EXPECT_NE(CloseCDHandle(first), 0);
  EXPECT_EQ(CloseCDHandle(first), 0);
  EXPECT_EQ(GetAspiLibError(), CDErrBadHandle);
  TToc toc;
  EXPECT_EQ(ReadTOC(first, &toc), 0);
  EXPECT_EQ(Open(0), 1); // the freed number is used again
  EXPECT_NE(CloseCDHandle(1), 0);
  EXPECT_NE(CloseCDHandle(2), 0);

  TCDOpenRequest nowhere{12, 1, 1, 7, 0, {}};
  EXPECT_EQ(GetCDHandle(&nowhere), 0);
  EXPECT_EQ(GetAspiLibError(), CDErrNoSuchDrive);
  EXPECT_EQ(ModifyCDParms(first, 99, 1), 0);
}

TEST_F(DriveLibrary, TocInMsfGivesAbsoluteAddressesFlagsAndLeadOut) {
  TImageDrives drives({Mixed});
  const int32_t handle = Open(0);
  const TToc toc = Toc(handle, true);

  EXPECT_EQ(toc.FirstTrack, 1);
  EXPECT_EQ(toc.LastTrack, 3);
  EXPECT_EQ(toc.Length[0] * 256 + toc.Length[1], 2 + 4 * 8);
  EXPECT_EQ(MsfText(toc.Entries[0]), "00:02:00");
  EXPECT_EQ(MsfText(toc.Entries[1]), "00:03:25"); // 150 + 100 frames
  EXPECT_EQ(MsfText(toc.Entries[2]), "00:04:00"); // 150 + 150
  EXPECT_EQ(MsfText(toc.Entries[3]), "00:04:30"); // lead-out at 150 + 180
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(toc.Entries[i].TrackNumber, i + 1);
  EXPECT_EQ(toc.Entries[3].TrackNumber, TocLeadOut);
  EXPECT_EQ(toc.Entries[0].AdrControl & TocControlData, 0);
  EXPECT_EQ(toc.Entries[1].AdrControl & TocControlData, 0);
  EXPECT_EQ(toc.Entries[2].AdrControl & TocControlData, TocControlData);
  EXPECT_EQ(toc.Entries[2].AdrControl >> 4, 1); // ADR: position data

  // Back to block addresses, as a drive gives them before the switch.
  const TToc lba = Toc(handle, false);
  EXPECT_EQ(BigEndian(lba.Entries[0].Address), 0u);
  EXPECT_EQ(BigEndian(lba.Entries[1].Address), 100u);
  EXPECT_EQ(BigEndian(lba.Entries[3].Address), 180u);
  CloseCDHandle(handle);
}

TEST_F(DriveLibrary, ReadsAreTheBinsBytesWithinAndAcrossTracks) {
  TImageDrives drives({Mixed});
  const int32_t handle = Open(0);
  const std::vector<uint8_t> bin = ReadFileBytes(BinOf(Mixed));

  EXPECT_EQ(Read(handle, 0, 100), Slice(bin, 0, 100));
  EXPECT_EQ(Read(handle, 100, 50), Slice(bin, 100, 50));
  EXPECT_EQ(Read(handle, 95, 10), Slice(bin, 95, 10));   // across tracks 1 and 2
  EXPECT_EQ(Read(handle, 170, 10), Slice(bin, 170, 10)); // ends on the last sector
  // The samples are the ones written, little-endian as in the BIN, not swapped.
  EXPECT_EQ(Read(handle, 100, 1), TestAudio(2, 1));
  CloseCDHandle(handle);
}

TEST_F(DriveLibrary, ReadPastTheLastSectorFailsWithoutClaimingBytes) {
  TImageDrives drives({Mixed});
  const int32_t handle = Open(0);
  for (uint32_t start : {175u, 180u, 1000u, 0xFFFFFFF0u}) {
    TReadBuffer buffer(start, 10);
    EXPECT_EQ(ReadCDAudioLBA(handle, buffer.Request()), 0) << start;
    EXPECT_EQ(buffer.Request()->BytesReturned, 0u);
    EXPECT_EQ(buffer.Request()->Status, ReadStatusError);
    EXPECT_EQ(GetAspiLibError(), CDErrReadFailed);
  }
  TReadBuffer small(0, 10);
  small.Request()->BufferSize = 9 * CDSectorSize; // a data area too small for the count
  EXPECT_EQ(ReadCDAudioLBA(handle, small.Request()), 0);
  EXPECT_EQ(GetAspiLibError(), CDErrBadArgument);
  CloseCDHandle(handle);
}

TEST_F(DriveLibrary, ANinetyNineTrackDiscListsEveryTrack) {
  TImageDrives drives({Write99TrackDisc(Dir.Path(), "Full")});
  const int32_t handle = Open(0);
  const TToc toc = Toc(handle, true);
  EXPECT_EQ(toc.LastTrack, 99);
  EXPECT_EQ(toc.Entries[98].TrackNumber, 99);
  EXPECT_EQ(MsfText(toc.Entries[98]), "01:40:00"); // 150 + 98 * 75 frames
  EXPECT_EQ(toc.Entries[99].TrackNumber, TocLeadOut);
  EXPECT_EQ(Read(handle, 98 * 75, 75), TestAudio(99, 75));
  CloseCDHandle(handle);
}

// A whole image whose sheet numbers its first track 81 (found by fuzzing: libcdio crashed).
std::string HighFirstTrackDisc(const std::string &dir) {
  const std::string cue = WriteAudioDisc(dir, "High", {100});
  std::ofstream(cue) << "FILE \"High.bin\" BINARY\n  TRACK 81 AUDIO\n    INDEX 01 00:00:00\n";
  return cue;
}

TEST_F(DriveLibrary, BrokenImagesAreRefusedWithTheFileNamed) {
  struct Case {
    const char *what;
    std::string cue;
  };
  const Case cases[] = {
      {"missing BIN", WriteCueWithoutBin(Dir.Path(), "NoBin")},
      {"garbage lines", WriteGarbageCueDisc(Dir.Path(), "Garbage")},
      {"BIN ends before the last track starts",
       WriteTruncatedDisc(Dir.Path(), "Short", {{100}, {50}}, 90 * CDSectorSize)},
      {"no .cue at all", Dir.File("Nothing.cue")},
      {"a first track number libcdio cannot take", HighFirstTrackDisc(Dir.Path())},
  };
  for (const Case &c : cases) {
    std::string error;
    EXPECT_FALSE(AddDiscImage(c.cue, &error)) << c.what;
    EXPECT_NE(error.find(c.cue), std::string::npos) << c.what << ": " << error;
  }
  std::string error;
  AddDiscImage(cases[0].cue, &error);
  EXPECT_NE(error.find(BinOf(cases[0].cue)), std::string::npos) << error; // the missing file
  TImageDrives none;
  EXPECT_EQ(DriveList().Count, 0);
}

TEST_F(DriveLibrary, ABinCutInsideTheLastTrackGivesAShorterLastTrack) {
  // 2.5 sectors of the second track are left: the partial sector is not part of the disc.
  const std::string cue =
      WriteTruncatedDisc(Dir.Path(), "Cut", {{100}, {50}}, 102 * CDSectorSize + 1000);
  TImageDrives drives({cue});
  const int32_t handle = Open(0);
  const TToc toc = Toc(handle, false);
  EXPECT_EQ(BigEndian(toc.Entries[2].Address), 102u);
  EXPECT_EQ(Read(handle, 100, 2), TestAudio(2, 2));
  EXPECT_TRUE(Read(handle, 101, 2).empty());
  CloseCDHandle(handle);
}

TEST_F(DriveLibrary, ABinCutShortAfterOpeningFailsReadsPastItsNewEnd) {
  TImageDrives drives({Mixed});
  const int32_t handle = Open(0);
  ASSERT_NE(handle, 0);
  const std::vector<uint8_t> bin = ReadFileBytes(BinOf(Mixed));
  ASSERT_EQ(Toc(handle, true).LastTrack, 3);
  std::filesystem::resize_file(BinOf(Mixed), 25 * CDSectorSize + 100);
  EXPECT_EQ(Read(handle, 15, 10), Slice(bin, 15, 10));
  EXPECT_TRUE(Read(handle, 20, 10).empty()); // libcdio alone claims these bytes
  EXPECT_EQ(GetAspiLibError(), CDErrReadFailed);
  CloseCDHandle(handle);
}

TEST_F(DriveLibrary, AnImageWhoseFilesVanishIsADriveWithoutAReadableDisc) {
  TImageDrives drives({Mixed});
  std::filesystem::remove(BinOf(Mixed));
  const int32_t handle = Open(0);
  ASSERT_NE(handle, 0);
  TToc toc;
  EXPECT_EQ(ModifyCDParms(handle, CDParmMsfAddresses, 1), 1);
  EXPECT_EQ(ReadTOC(handle, &toc), 0);
  EXPECT_EQ(GetAspiLibError(), CDErrNoDisc);
  EXPECT_TRUE(Read(handle, 0, 1).empty());
  CloseCDHandle(handle);
}

TEST_F(DriveLibrary, AnImageNeverReportsAMediaChange) {
  TImageDrives drives({Mixed});
  const int32_t handle = Open(0);
  EXPECT_EQ(GetCDMediaChanged(handle), 0);
  CloseCDHandle(handle);
  EXPECT_EQ(GetCDMediaChanged(handle), -1);
}

} // namespace
