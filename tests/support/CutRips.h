#pragma once
// Rips of a disc image made outside the program, as another ripper leaves them: the image's
// audio cut into files by the test and encoded with the flac program, and the AccurateRip
// answer for the image's true audio, its checksums from the accuraterip-checksum program.
#include "AccurateRip.h"

#include <cstdint>
#include <string>
#include <vector>

// One file: sectors From ... From + Sectors - 1 of the image's audio.
struct TRipCut {
  std::string Name; // without extension
  uint32_t From = 0, Sectors = 0;
};

// A file per track of the given lengths: "01 Track", "02 Track", ...
std::vector<TRipCut> TrackCuts(const std::vector<uint32_t> &lengths);

// Writes folder/<name>.wav for each cut, as a drive with the read offset driveOffset reads the
// image when the ripper does not correct it.
void CutWavs(const std::string &cue, const std::string &folder, const std::vector<TRipCut> &cuts,
             int32_t driveOffset = 0);
// Encodes each WAV file of the folder with flac and removes it.
void EncodeWavsToFlac(const std::string &folder);

// A response holding, for each audio track of the image (lengths in sectors, from sector 0),
// the confidence, the v2 checksum of its true audio and its sector-450 checksum.
std::string TrueAnswer(const std::string &cue, const std::vector<uint32_t> &lengths,
                       const accuraterip::TDiscIds &ids, int confidence);
