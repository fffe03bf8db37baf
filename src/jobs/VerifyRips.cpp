#include "VerifyRips.h"

#include "AccurateRipLookup.h"
#include "AuClasses.h"
#include "Global.h"
#include "Language.h"
#include "OffsetDetect.h"
#include "RipFiles.h"

#include <algorithm>
#include <cstring>
#include <memory>

using namespace accuraterip;

namespace {

constexpr std::size_t SampleBytes = 4;
constexpr uint64_t SectorLength = uint64_t{SectorSamples} * SampleBytes;
// The sectors around sector 450 that FindReadOffset searches: 446 ... 454 of each track.
constexpr int32_t WindowFirst = OffsetFrame - 4, WindowSectors = 9;

// The disc's audio as its files hold it, one after the other, read in order: byte p of the
// stream is byte p of the disc's audio from sector 0.
class TDiscAudio {
public:
  TDiscAudio(const TRipDisc &disc, const std::atomic<bool> *stop) : FDisc(disc), FStop(stop) {}
  // Fills bytes bytes, silence once the files are done; false with why when a file cannot be
  // decoded in full or the verification was stopped.
  bool Read(uint8_t *to, std::size_t bytes, std::string &refusal);

private:
  bool NextFile(std::string &refusal);

  const TRipDisc &FDisc;
  const std::atomic<bool> *FStop;
  std::size_t FNext = 0; // the next file to open
  std::unique_ptr<TAuFileIn> FInput;
  uint64_t FLeft = 0; // bytes the open file still owes
};

bool TDiscAudio::NextFile(std::string &refusal) {
  if (FInput)
    FInput->Flush();
  FInput.reset();
  if (FNext == FDisc.Files.size())
    return true;
  const TRipFile &file = FDisc.Files[FNext++];
  FInput = OpenRipFile(file.Path, refusal);
  if (!FInput)
    return false;
  FLeft = file.Samples * SampleBytes;
  try {
    FInput->Init();
  } catch (const EAuException &e) {
    refusal = file.Name + ": " + e.what();
    return false;
  }
  return true;
}

bool TDiscAudio::Read(uint8_t *to, std::size_t bytes, std::string &refusal) {
  while (bytes > 0) {
    if (FStop && *FStop) {
      refusal = GetLanText("RES_Verify_Stopped", "the verification was stopped", {});
      return false;
    }
    if (!FInput && FNext == FDisc.Files.size()) {
      std::memset(to, 0, bytes);
      return true;
    }
    if (!FInput || FLeft == 0) {
      if (!NextFile(refusal))
        return false;
      continue;
    }
    uint8_t *data = nullptr;
    uint32_t got = static_cast<uint32_t>(std::min<uint64_t>({bytes, FLeft, 1u << 20}));
    try {
      FInput->GetData(data, got);
    } catch (const EAuException &e) {
      refusal = FDisc.Files[FNext - 1].Name + ": " + e.what();
      return false;
    }
    if (got == 0) {
      const TRipFile &file = FDisc.Files[FNext - 1];
      refusal = GetLanText("RES_Verify_Damaged",
                           "%s: damaged: it decodes to %s of the %s samples it announces",
                           {file.Name, std::to_string(file.Samples - FLeft / SampleBytes),
                            std::to_string(file.Samples)});
      return false;
    }
    got = static_cast<uint32_t>(std::min<uint64_t>(got, FLeft));
    std::memcpy(to, data, got);
    to += got;
    bytes -= got;
    FLeft -= got;
  }
  return true;
}

// What one pass over the disc's audio at a read offset gives.
struct TPass {
  std::vector<TTrackSums> Sums;     // per audio track
  std::vector<TFrameWindow> Frames; // per audio track, at offset 0 only
};

// The audio tracks of a table of contents: their positions in it (from 1) and their bytes in
// the stream.
struct TAudioTrack {
  int TocPosition;
  uint64_t From, To;
};

std::vector<TAudioTrack> AudioTracks(const TDiscToc &toc) {
  std::vector<TAudioTrack> tracks;
  const int32_t audioEnd = AudioLeadOut(toc);
  for (std::size_t i = 0; i < toc.Tracks.size(); ++i)
    if (toc.Tracks[i].Audio) {
      const int32_t end =
          i + 1 < toc.Tracks.size() ? std::min(toc.Tracks[i + 1].Lsn, audioEnd) : audioEnd;
      tracks.push_back({static_cast<int>(i) + 1, uint64_t(toc.Tracks[i].Lsn) * SectorLength,
                        uint64_t(end) * SectorLength});
    }
  return tracks;
}

std::string Signed(int32_t value) { return (value > 0 ? "+" : "") + std::to_string(value); }

// The checksums of every audio track with the audio moved by offset samples: track bytes
// [From, To) are taken from the stream's [From + 4 * offset, To + 4 * offset), silence where
// that lies outside it. At offset 0 also the sectors around each track's sector 450.
bool ChecksumPass(const TRipDisc &disc, int32_t offset, const TVerifyOptions &options, TPass &pass,
                  std::string &refusal) {
  const std::vector<TAudioTrack> tracks = AudioTracks(disc.Toc);
  std::vector<TTrackChecksum> sums;
  for (const TAudioTrack &track : tracks)
    sums.push_back(TrackChecksum(disc.Toc, track.TocPosition));
  pass.Frames.assign(tracks.size(), {});
  for (std::size_t t = 0; t < tracks.size() && offset == 0; ++t)
    if (tracks[t].To - tracks[t].From >= (WindowFirst + WindowSectors) * SectorLength)
      pass.Frames[t].resize(WindowSectors * SectorLength);
  TDiscAudio audio(disc, options.Stop);
  std::vector<uint8_t> block(256 * SectorLength);
  // The shift: a negative offset starts with silence, a positive one leaves the start out.
  const uint64_t shift = uint64_t(std::abs(offset)) * SampleBytes;
  for (uint64_t skipped = 0; offset > 0 && skipped < shift;) {
    const std::size_t bytes = std::min<uint64_t>(block.size(), shift - skipped);
    if (!audio.Read(block.data(), bytes, refusal))
      return false;
    skipped += bytes;
  }
  const uint64_t end = tracks.empty() ? 0 : tracks.back().To;
  for (uint64_t at = 0; at < end;) {
    std::size_t bytes = std::min<uint64_t>(block.size(), end - at);
    uint8_t *data = block.data();
    if (offset < 0 && at < shift) { // the silence before the disc's first sample
      bytes = std::min<uint64_t>(bytes, shift - at);
      std::memset(data, 0, bytes);
    } else if (!audio.Read(data, bytes, refusal)) {
      return false;
    }
    for (std::size_t t = 0; t < tracks.size(); ++t) {
      const uint64_t from = std::max(at, tracks[t].From), to = std::min(at + bytes, tracks[t].To);
      if (from < to)
        sums[t].Add(data + (from - at), to - from);
      if (pass.Frames[t].empty())
        continue;
      const uint64_t first = tracks[t].From + WindowFirst * SectorLength;
      const uint64_t wFrom = std::max(at, first);
      const uint64_t wTo = std::min(at + bytes, first + pass.Frames[t].size());
      if (wFrom < wTo)
        std::memcpy(pass.Frames[t].data() + (wFrom - first), data + (wFrom - at), wTo - wFrom);
    }
    at += bytes;
    if (options.Progress)
      options.Progress(offset == 0 ? "Verifying" : "Verifying at offset " + Signed(offset),
                       static_cast<int>(at * 100 / end), double(end) / (SampleBytes * 44100));
  }
  pass.Sums.clear();
  for (const TTrackChecksum &sum : sums)
    pass.Sums.push_back(sum.Sums());
  return true;
}

std::string VerdictLine(const TTrackVerdict &verdict, int32_t offset) {
  const std::string confidence = std::to_string(verdict.Confidence);
  const std::string version = verdict.V2 ? "v2" : "v1";
  switch (verdict.Verdict) {
  case TVerdict::Accurate:
    return offset == 0 ? GetLanText("RES_Verify_Accurate", "accurate (confidence %s, %s)",
                                    {confidence, version})
                       : GetLanText("RES_Verify_Accurate_Offset",
                                    "accurate with an offset of %s samples (confidence %s, %s)",
                                    {Signed(offset), confidence, version});
  case TVerdict::NotAccurate:
    return GetLanText("RES_Verify_Not_Accurate", "not accurate (best confidence %s)", {confidence});
  case TVerdict::NotInDatabase:
    return GetLanText("RES_Verify_Not_In_Database", "not in the database", {});
  case TVerdict::NotVerified: break;
  }
  return GetLanText("RES_Verify_Not_Verified", "not verified", {});
}

} // namespace

TVerification VerifyRips(const std::vector<std::string> &paths, const TVerifyOptions &options) {
  TVerification result;
  TRipDisc disc;
  if (!ReadRipDisc(paths, disc, result.Report))
    return result;
  const TDiscIds ids = DiscIds(disc.Toc);
  std::string report =
      (disc.CueSheet.empty()
           ? GetLanText("RES_Verify_Toc_Lengths",
                        "TOC: from the track lengths (track 1 at 00:02:00, pregaps with the "
                        "track before)",
                        {})
           : GetLanText("RES_Verify_Toc_Cue", "TOC: from the cue sheet %s", {disc.CueSheet})) +
      "\nAccurateRip: " + RequestPath(ids) + "\n";
  const TLookupResult lookup =
      LookUp(options.AccurateRipUrl, ids, options.ConnectTimeout, options.TotalTimeout);
  const std::vector<TAudioTrack> tracks = AudioTracks(disc.Toc);
  std::vector<TTrackVerdict> verdicts(tracks.size());
  std::vector<int32_t> offsets(tracks.size(), 0);
  if (lookup.Status == TLookup::Found) {
    TPass pass;
    if (!ChecksumPass(disc, 0, options, pass, result.Report))
      return result;
    for (std::size_t t = 0; t < verdicts.size(); ++t)
      verdicts[t] = VerifyTrack(lookup.Responses, ids, static_cast<int>(t), pass.Sums[t]);
    const auto accurate = [](const TTrackVerdict &v) { return v.Verdict == TVerdict::Accurate; };
    if (!std::all_of(verdicts.begin(), verdicts.end(), accurate)) {
      // The sector-450 checksums tell the offset in microseconds; the full checksums at it
      // then take one more pass.
      const TOffsetDetection found = FindReadOffset(pass.Frames, lookup.Responses, ids);
      TPass shifted;
      if (found.Found && found.Offset != 0) {
        if (!ChecksumPass(disc, found.Offset, options, shifted, result.Report))
          return result;
        report += GetLanText("RES_Verify_Offset_Found",
                             "Offset search: %s samples (sector 450 of %s of %s tracks matched)",
                             {Signed(found.Offset), std::to_string(found.Tracks),
                              std::to_string(found.TracksChecked)}) +
                  "\n";
        for (std::size_t t = 0; t < verdicts.size(); ++t)
          if (const TTrackVerdict at =
                  VerifyTrack(lookup.Responses, ids, static_cast<int>(t), shifted.Sums[t]);
              !accurate(verdicts[t]) && accurate(at)) {
            verdicts[t] = at;
            offsets[t] = found.Offset;
          }
      } else {
        report += GetLanText("RES_Verify_Offset_None",
                             "Offset search: no other offset matches better", {}) +
                  "\n";
      }
    }
  } else {
    const TVerdict verdict =
        lookup.Status == TLookup::NotInDatabase ? TVerdict::NotInDatabase : TVerdict::NotVerified;
    for (TTrackVerdict &v : verdicts)
      v.Verdict = verdict;
    if (lookup.Status == TLookup::Failed)
      report += GetLanText("RES_Verify_Lookup_Failed", "Not verified: %s", {lookup.Why}) + "\n";
  }
  int accurate = 0;
  for (std::size_t t = 0; t < verdicts.size(); ++t) {
    // A file per track names its track; a file of several tracks leaves that to the numbers.
    report += (tracks.size() == disc.Files.size()
                   ? disc.Files[t].Name
                   : "Track " + TwoDigits(disc.Toc.FirstTrack + tracks[t].TocPosition - 1)) +
              ": " + VerdictLine(verdicts[t], offsets[t]) + "\n";
    accurate += verdicts[t].Verdict == TVerdict::Accurate;
  }
  const int total = static_cast<int>(verdicts.size());
  report += GetLanText("RES_Verify_Summary", "%s of %s tracks accurate",
                       {std::to_string(accurate), std::to_string(total)}) +
            "\n";
  result.Report = report;
  result.Status = accurate == total ? vsAccurate : vsNotAccurate;
  return result;
}
