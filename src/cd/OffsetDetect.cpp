#include "OffsetDetect.h"

#include "AudioDisc.h"
#include "akrip32.h"

#include <algorithm>
#include <cstdlib>
#include <map>

using namespace accuraterip;

namespace {

constexpr int32_t WindowFirst = OffsetFrame - 4; // sectors before 450 hold the -2000 side
constexpr int32_t WindowSectors = 9;
constexpr std::size_t WindowBytes = std::size_t{WindowSectors} * SectorBytes;

TOffsetDetection NotFound(const std::string &why) {
  TOffsetDetection detection;
  detection.Why = why;
  return detection;
}

bool Silent(const TFrameWindow &window) {
  return std::all_of(window.begin(), window.end(), [](uint8_t b) { return b == 0; });
}

// The windows of the disc's audio tracks, in order; false when a sector cannot be read.
bool ReadWindows(int32_t handle, const TDiscToc &disc, std::vector<TFrameWindow> &windows) {
  const int32_t audioEnd = AudioLeadOut(disc);
  for (std::size_t i = 0; i < disc.Tracks.size(); ++i) {
    if (!disc.Tracks[i].Audio)
      continue;
    const int32_t start = disc.Tracks[i].Lsn;
    const int32_t end =
        i + 1 < disc.Tracks.size() ? std::min(disc.Tracks[i + 1].Lsn, audioEnd) : audioEnd;
    TFrameWindow &window = windows.emplace_back();
    if (end - start < WindowFirst + WindowSectors)
      continue;
    window.resize(WindowBytes);
    if (ReadCDAudioSectors(handle, static_cast<uint32_t>(start + WindowFirst), WindowSectors,
                           window.data()) != 1)
      return false;
  }
  return true;
}

} // namespace

TOffsetDetection FindReadOffset(const std::vector<TFrameWindow> &windows,
                                const std::vector<TResponse> &responses, const TDiscIds &ids) {
  // Per track, the sector-450 checksums the database holds and the best confidence of each.
  std::vector<std::map<uint32_t, int>> known(windows.size());
  for (const TResponse &response : responses) {
    if (!(response.Ids == ids))
      continue;
    for (std::size_t t = 0; t < std::min(response.Tracks.size(), windows.size()); ++t)
      if (const TTrackEntry &entry = response.Tracks[t]; entry.Frame450 != 0) {
        int &confidence = known[t][entry.Frame450];
        confidence = std::max(confidence, entry.Confidence);
      }
  }
  TOffsetDetection best =
      NotFound("no offset from -2000 to 2000 samples gives a track's sector 450 as the "
               "AccurateRip database holds it");
  std::vector<std::size_t> usable;
  for (std::size_t t = 0; t < windows.size(); ++t)
    if (windows[t].size() == WindowBytes && !Silent(windows[t]))
      usable.push_back(t);
  best.TracksChecked = static_cast<int>(usable.size());
  // From -2000 up: of offsets that match alike, the one nearest 0 stays.
  for (int32_t offset = -OffsetSearchMargin; offset <= OffsetSearchMargin; ++offset) {
    int tracks = 0, confidence = 0;
    for (const std::size_t t : usable) {
      const std::size_t at = std::size_t((OffsetFrame - WindowFirst) * SectorSamples + offset) * 4;
      const auto match = known[t].find(FrameChecksum(windows[t].data() + at));
      if (match != known[t].end()) {
        ++tracks;
        confidence = std::max(confidence, match->second);
      }
    }
    const bool better =
        tracks > best.Tracks ||
        (tracks > 0 && tracks == best.Tracks &&
         (confidence > best.Confidence ||
          (confidence == best.Confidence && std::abs(offset) < std::abs(best.Offset))));
    if (better) {
      best.Found = true;
      best.Offset = offset;
      best.Tracks = tracks;
      best.Confidence = confidence;
      best.Why.clear();
    }
  }
  return best;
}

TOffsetDetection DetectReadOffset(int driveIndex, const TAnswerOfDisc &lookUp) {
  const int32_t handle = cd::OpenDriveAt(driveIndex);
  if (!handle)
    return NotFound("the drive cannot be opened");
  TToc toc{};
  const bool audio = cd::ReadHandleToc(handle, toc) && cd::HasAudioTrack(toc);
  const TDiscToc disc = audio ? cd::VerificationToc(toc) : TDiscToc{};
  std::vector<TFrameWindow> windows;
  const bool read = audio && ReadWindows(handle, disc, windows);
  CloseCDHandle(handle);
  if (!audio)
    return NotFound("there is no audio CD in the drive");
  if (!read)
    return NotFound("the disc cannot be read");
  const TDiscIds ids = DiscIds(disc);
  const TLookupResult lookup = lookUp(ids);
  if (lookup.Status == TLookup::NotInDatabase)
    return NotFound("the disc is not in the AccurateRip database");
  if (lookup.Status == TLookup::Failed)
    return NotFound(lookup.Why);
  return FindReadOffset(windows, lookup.Responses, ids);
}

std::string DetectionText(const TOffsetDetection &detection) {
  if (!detection.Found)
    return "No read offset found: " + detection.Why;
  return std::string("Read offset ") + (detection.Offset > 0 ? "+" : "") +
         std::to_string(detection.Offset) + " found: sector 450 of " +
         std::to_string(detection.Tracks) + " of " + std::to_string(detection.TracksChecked) +
         " tracks matched (confidence " + std::to_string(detection.Confidence) + ")";
}
