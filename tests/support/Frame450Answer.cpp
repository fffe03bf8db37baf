#include "Frame450Answer.h"

#include "TestDisc.h"

namespace {
void PutLE32(std::string &bytes, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    bytes += static_cast<char>(v >> (8 * i));
}
} // namespace

std::string Frame450Response(const accuraterip::TDiscIds &ids,
                             const std::vector<std::pair<int, uint32_t>> &tracks) {
  std::string bytes(1, static_cast<char>(tracks.size()));
  PutLE32(bytes, ids.Id1);
  PutLE32(bytes, ids.Id2);
  PutLE32(bytes, ids.FreedbId);
  for (const auto &[confidence, frame450] : tracks) {
    bytes += static_cast<char>(confidence);
    PutLE32(bytes, 0x1234); // the track's checksum: no part of the search
    PutLE32(bytes, frame450);
  }
  return bytes;
}

uint32_t ShiftedFrame450(const std::string &cue, uint32_t trackStart, int32_t offset) {
  return accuraterip::FrameChecksum(
      ShiftedBin(cue, trackStart + accuraterip::OffsetFrame, 1, offset).data());
}
