#pragma once
// Verification from outside: the AccurateRip checksums of a WAV file as an independent program
// computes them, and answer files (dBAR) the tests write for the local server.
#include "AccurateRip.h"

#include <string>
#include <utility>
#include <vector>

// accuraterip-checksum's v1 or v2 checksum of the WAV file as track `track` of `total`.
uint32_t PeerChecksum(const std::string &wav, int track, int total, bool v1);

// The ids of the disc of the image at cue, as the drive library reads its table of contents.
accuraterip::TDiscIds ImageDiscIds(const std::string &cue);

// One response of an answer: per track its confidence and checksum (frame 450: 0x450).
std::string DbarResponse(const accuraterip::TDiscIds &ids,
                         const std::vector<std::pair<int, uint32_t>> &tracks);
// One response with every field of each track's entry.
std::string DbarEntries(const accuraterip::TDiscIds &ids,
                        const std::vector<accuraterip::TTrackEntry> &tracks);
