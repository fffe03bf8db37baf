#pragma once
// Writing BIN/CUE disc images: one BIN file of raw 2352-byte sectors and the CUE sheet that
// lists its tracks, both under one base name (libcdio opens the BIN of the CUE's base name).
#include <cstdint>
#include <string>
#include <vector>

struct TImageTrack {
  bool Data = false;        // a MODE1/2352 data track instead of an audio track
  std::vector<uint8_t> Raw; // the track's sectors; a partial last sector is padded with zeros
};

// Sectors of a mode-1 data track starting at the given sector: sync pattern, address and mode
// header, user data zero.
std::vector<uint8_t> Mode1Sectors(uint32_t firstSector, uint32_t count);

// Sector number of each track's start, counted from the start of the BIN.
std::vector<uint32_t> TrackStarts(const std::vector<TImageTrack> &tracks);

// The CUE sheet text for the tracks, its FILE line naming binName.
std::string CueSheet(const std::string &binName, const std::vector<TImageTrack> &tracks);

// Writes dir/baseName.bin and dir/baseName.cue and returns the path of the .cue. Throws
// std::runtime_error naming the file that cannot be written.
std::string WriteBinCue(const std::string &dir, const std::string &baseName,
                        const std::vector<TImageTrack> &tracks);
