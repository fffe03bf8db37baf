#pragma once
// Disc images for tests: BIN/CUE pairs with known audio, written by the program's own image
// writer, and the broken images a user may hand the program.
#include "FileContents.h"

#include <cstdint>
#include <string>
#include <vector>

// The known audio of test discs: byte `byte` of sector `sector` (counted from the track's start)
// of track `track`. Every sector of every track differs, so a read from the wrong place shows.
uint8_t TestAudioByte(int track, uint32_t sector, uint32_t byte);
// `sectors` whole sectors of that audio, from the track's start.
std::vector<uint8_t> TestAudio(int track, uint32_t sectors);

struct TTestTrack {
  uint32_t Sectors;
  bool Data = false;          // a mode-1 data track
  bool CopyPermitted = false; // FLAGS DCP: control bit 0x02 beside the data bit
};

// Writes dir/name.bin and dir/name.cue and returns the .cue's path. The tracks are numbered
// from firstTrack, as on a disc whose first track is not 1.
std::string WriteTestDisc(const std::string &dir, const std::string &name,
                          const std::vector<TTestTrack> &tracks, int firstTrack = 1);
// Audio tracks only, of the given lengths in sectors.
std::string WriteAudioDisc(const std::string &dir, const std::string &name,
                           const std::vector<uint32_t> &sectors);
// 99 audio tracks of `sectors` sectors each: the most a disc holds.
std::string Write99TrackDisc(const std::string &dir, const std::string &name,
                             uint32_t sectors = 75);

// Audio tracks of the given lengths whose CUE sheet carries CD-Text: the disc's TITLE and
// PERFORMER lines, and a TITLE (and a PERFORMER where one is given) for each track.
struct TCdTextSheet {
  std::string Title, Performer;
  std::vector<std::string> TrackTitles, TrackPerformers;
};
std::string WriteCdTextDisc(const std::string &dir, const std::string &name,
                            const std::vector<uint32_t> &sectors, const TCdTextSheet &text);

// Broken images.
// The BIN cut to `bytes` bytes after writing.
std::string WriteTruncatedDisc(const std::string &dir, const std::string &name,
                               const std::vector<TTestTrack> &tracks, uint64_t bytes);
// A good BIN whose .cue has lines no CUE sheet has.
std::string WriteGarbageCueDisc(const std::string &dir, const std::string &name);
// A .cue whose BIN does not exist.
std::string WriteCueWithoutBin(const std::string &dir, const std::string &name);

// The BIN beside a .cue (same base name).
std::string BinOf(const std::string &cuePath);

// What a rip of the sectors start ... start + sectors - 1 of the image holds when corrected by a
// read offset of offset samples: the BIN's bytes from 4 * offset bytes further on, silence
// where that lies outside the BIN.
std::vector<uint8_t> ShiftedBin(const std::string &cuePath, uint32_t start, uint32_t sectors,
                                int32_t offset);

// While alive, the drive list of the CD drive library is exactly these images, in order
// (the system's drives are left out, so tests behave the same on a machine with a CD drive).
// Fails the constructing test (throws) when an image cannot be registered.
class TImageDrives {
public:
  explicit TImageDrives(const std::vector<std::string> &cuePaths = {});
  ~TImageDrives();
  TImageDrives(const TImageDrives &) = delete;
  TImageDrives &operator=(const TImageDrives &) = delete;
};
