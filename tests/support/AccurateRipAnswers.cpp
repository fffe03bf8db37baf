#include "AccurateRipAnswers.h"

#include "AudioDisc.h"
#include "FirstDrive.h"
#include "RunProgram.h"
#include "TestDisc.h"

#include <stdexcept>

uint32_t PeerChecksum(const std::string &wav, int track, int total, bool v1) {
  std::vector<std::string> argv = {"accuraterip-checksum", wav, std::to_string(track),
                                   std::to_string(total)};
  if (v1)
    argv.insert(argv.begin() + 1, "--accuraterip-v1");
  const TRunResult run = RunProgram(argv);
  if (run.ExitStatus != 0)
    throw std::runtime_error("accuraterip-checksum failed: " + run.Output);
  return static_cast<uint32_t>(std::stoul(run.Output, nullptr, 16));
}

namespace {
std::string Le32(uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
          static_cast<char>(v >> 24)};
}
} // namespace

accuraterip::TDiscIds ImageDiscIds(const std::string &cue) {
  TImageDrives drives({cue});
  const int32_t handle = OpenFirstDrive();
  TToc toc{};
  const bool read = cd::ReadHandleToc(handle, toc);
  CloseCDHandle(handle);
  return read ? accuraterip::DiscIds(cd::VerificationToc(toc)) : accuraterip::TDiscIds{};
}

std::string DbarResponse(const accuraterip::TDiscIds &ids,
                         const std::vector<std::pair<int, uint32_t>> &tracks) {
  std::vector<accuraterip::TTrackEntry> entries;
  for (const auto &[confidence, checksum] : tracks)
    entries.push_back({confidence, checksum, 0x450});
  return DbarEntries(ids, entries);
}

std::string DbarEntries(const accuraterip::TDiscIds &ids,
                        const std::vector<accuraterip::TTrackEntry> &tracks) {
  std::string bytes(1, static_cast<char>(tracks.size()));
  bytes += Le32(ids.Id1) + Le32(ids.Id2) + Le32(ids.FreedbId);
  for (const accuraterip::TTrackEntry &entry : tracks)
    bytes += static_cast<char>(entry.Confidence) + Le32(entry.Checksum) + Le32(entry.Frame450);
  return bytes;
}
