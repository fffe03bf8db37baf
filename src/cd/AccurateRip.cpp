#include "AccurateRip.h"

#include "ChecksumLoops.h"
#include "FreedbDisc.h"

#include <algorithm>
#include <cstdio>

namespace accuraterip {

namespace {

uint32_t Le32(const uint8_t *p) {
  return p[0] | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

constexpr std::size_t HeaderBytes = 13, EntryBytes = 9;
constexpr uint64_t Frame450First = uint64_t{OffsetFrame} * SectorSamples + 1; // 1-based

} // namespace

int32_t AudioLeadOut(const TDiscToc &toc) {
  const std::size_t n = toc.Tracks.size();
  if (n < 2 || toc.Tracks[n - 1].Audio || !toc.Tracks[n - 2].Audio)
    return toc.LeadOut;
  const int32_t data = toc.Tracks[n - 1].Lsn;
  return data - DataSessionGap > toc.Tracks[n - 2].Lsn ? data - DataSessionGap : data;
}

TDiscIds DiscIds(const TDiscToc &toc) {
  TDiscIds ids;
  cddb::TDiscToc freedb{{}, toc.LeadOut};
  for (std::size_t i = 0; i < toc.Tracks.size(); ++i) {
    const TTocTrack &track = toc.Tracks[i];
    freedb.Starts.push_back(track.Lsn);
    if (!track.Audio)
      continue;
    ++ids.AudioTracks;
    const auto start = static_cast<uint32_t>(track.Lsn);
    ids.Id1 += start;
    ids.Id2 += std::max(start, 1u) * static_cast<uint32_t>(i + 1);
  }
  if (ids.AudioTracks == 0)
    return {};
  const auto leadOut = static_cast<uint32_t>(toc.LeadOut);
  ids.Id1 += leadOut;
  ids.Id2 += std::max(leadOut, 1u) * static_cast<uint32_t>(ids.AudioTracks + 1);
  ids.FreedbId = static_cast<uint32_t>(std::stoul(cddb::DiscId(freedb), nullptr, 16));
  return ids;
}

std::string RequestPath(const TDiscIds &ids) {
  char path[64];
  std::snprintf(path, sizeof path, "%x/%x/%x/dBAR-%03d-%08x-%08x-%08x.bin", ids.Id1 & 0xF,
                ids.Id1 >> 4 & 0xF, ids.Id1 >> 8 & 0xF, ids.AudioTracks, ids.Id1, ids.Id2,
                ids.FreedbId);
  return path;
}

std::string RequestUrl(const std::string &base, const TDiscIds &ids) {
  std::string url = base;
  while (!url.empty() && url.back() == '/')
    url.pop_back();
  return url + "/" + RequestPath(ids);
}

bool ParseAnswer(std::string_view bytes, std::vector<TResponse> &responses) {
  responses.clear();
  const auto *p = reinterpret_cast<const uint8_t *>(bytes.data());
  std::size_t left = bytes.size();
  while (left > 0) {
    const int count = p[0];
    if (left < HeaderBytes || count == 0 || left - HeaderBytes < count * EntryBytes) {
      responses.clear();
      return false;
    }
    TResponse response;
    response.Ids = {count, Le32(p + 1), Le32(p + 5), Le32(p + 9)};
    p += HeaderBytes;
    for (int i = 0; i < count; ++i, p += EntryBytes)
      response.Tracks.push_back({p[0], Le32(p + 1), Le32(p + 5)});
    left -= HeaderBytes + count * EntryBytes;
    responses.push_back(std::move(response));
  }
  return !responses.empty();
}

uint32_t FrameChecksum(const uint8_t *sector) {
  uint32_t sum = 0;
  for (uint32_t i = 0; i < SectorSamples; ++i)
    sum += Le32(sector + 4 * i) * (i + 1);
  return sum;
}

TTrackChecksum::TTrackChecksum(uint64_t samples, bool first, bool last)
    : FFrom(first ? EdgeSamples : 1), FTo(!last                   ? samples
                                          : samples > EdgeSamples ? samples - EdgeSamples
                                                                  : 0) {}

void TTrackChecksum::Add(const uint8_t *data, std::size_t bytes) {
  FCrc = Crc32(FCrc, data, bytes);
  while (FPartialBytes > 0 && FPartialBytes < 4 && bytes > 0) {
    FPartial[FPartialBytes++] = *data++;
    --bytes;
  }
  if (FPartialBytes == 4) {
    FPartialBytes = 0;
    AddSamples(FPartial, 1);
  }
  AddSamples(data, bytes / 4);
  for (std::size_t i = bytes / 4 * 4; i < bytes; ++i)
    FPartial[FPartialBytes++] = data[i];
}

void TTrackChecksum::AddSamples(const uint8_t *data, std::size_t count) {
  const uint64_t first = FPos + 1; // the weight of data's first sample
  FPos += count;
  // The samples from..to count in v1 and v2; those before and after (the edges of the disc)
  // only in the peak level. A track holds fewer than 2^32 samples, so the weights fit 32 bits.
  const uint64_t from = std::max(first, FFrom), to = std::min(FPos, FTo);
  const std::size_t begin = from <= to ? from - first : count;
  const std::size_t end = from <= to ? to - first + 1 : count;
  TSampleSums edges, counted;
  SumSamples(data, begin, 0, edges);
  SumSamples(data + 4 * begin, end - begin, static_cast<uint32_t>(from), counted);
  SumSamples(data + 4 * end, count - end, 0, edges);
  FV1 += counted.Low;
  FV2 += counted.Low + counted.High;
  FPeak = std::max({FPeak, edges.Peak(), counted.Peak()});
  const uint64_t frameFrom = std::max(first, Frame450First);
  const uint64_t frameTo = std::min(FPos, Frame450First + SectorSamples - 1);
  for (uint64_t pos = frameFrom; pos <= frameTo; ++pos)
    FFrame450 += Le32(data + 4 * (pos - first)) * static_cast<uint32_t>(pos - Frame450First + 1);
}

TTrackSums TTrackChecksum::Sums() const { return {FCrc, FV1, FV2, FFrame450, FPos, FPeak}; }

TTrackChecksum TrackChecksum(const TDiscToc &toc, int n) {
  const auto &tracks = toc.Tracks;
  if (n < 1 || n > static_cast<int>(tracks.size()))
    return TTrackChecksum(0, false, false);
  int first = 0, last = static_cast<int>(tracks.size());
  while (first < last && !tracks[first].Audio)
    ++first;
  while (last > first && !tracks[last - 1].Audio)
    --last;
  const int32_t end = n == last                             ? AudioLeadOut(toc)
                      : n < static_cast<int>(tracks.size()) ? tracks[n].Lsn
                                                            : toc.LeadOut;
  const int32_t sectors = std::max(end - tracks[n - 1].Lsn, 0);
  return TTrackChecksum(uint64_t{static_cast<uint32_t>(sectors)} * SectorSamples, n - 1 == first,
                        n == last);
}

TTrackVerdict VerifyTrack(const std::vector<TResponse> &responses, const TDiscIds &ids, int index,
                          const TTrackSums &sums) {
  TTrackVerdict verdict{TVerdict::NotInDatabase, 0, false};
  for (const TResponse &response : responses) {
    if (response.Ids != ids || index < 0 || index >= static_cast<int>(response.Tracks.size()))
      continue;
    const TTrackEntry &entry = response.Tracks[index];
    const bool v2 = entry.Checksum == sums.V2, v1 = entry.Checksum == sums.V1;
    if (v1 || v2) {
      if (verdict.Verdict != TVerdict::Accurate || entry.Confidence > verdict.Confidence)
        verdict = {TVerdict::Accurate, entry.Confidence, v2};
    } else if (verdict.Verdict != TVerdict::Accurate) {
      verdict.Verdict = TVerdict::NotAccurate;
      verdict.Confidence = std::max(verdict.Confidence, entry.Confidence);
    }
  }
  return verdict;
}

std::string VerdictText(const TTrackVerdict &verdict) {
  const std::string confidence = std::to_string(verdict.Confidence);
  switch (verdict.Verdict) {
  case TVerdict::Accurate:
    return "Accurately ripped (confidence " + confidence + (verdict.V2 ? ", v2)" : ", v1)");
  case TVerdict::NotAccurate: return "Not accurate (best confidence " + confidence + ")";
  case TVerdict::NotInDatabase: return "Not in the AccurateRip database";
  case TVerdict::NotVerified: break;
  }
  return "Not verified";
}

std::string DiscSummary(TLookup lookup, const std::vector<TTrackVerdict> &tracks,
                        const std::string &why, const TWording &wording) {
  auto words = [&wording](const char *key, const char *english) {
    return wording ? wording(key, english) : std::string(english);
  };
  if (lookup == TLookup::Failed) {
    const std::string notVerified = words("RES_AR_NotVerified", "Not verified");
    return why.empty() ? notVerified : notVerified + ": " + why;
  }
  const auto accurate = std::count_if(tracks.begin(), tracks.end(), [](const TTrackVerdict &t) {
    return t.Verdict == TVerdict::Accurate;
  });
  const bool known = std::any_of(tracks.begin(), tracks.end(), [](const TTrackVerdict &t) {
    return t.Verdict == TVerdict::Accurate || t.Verdict == TVerdict::NotAccurate;
  });
  if (lookup == TLookup::NotInDatabase || !known)
    return words("RES_AR_NotInDatabase", "Not in the AccurateRip database");
  if (accurate == static_cast<long>(tracks.size()))
    return words("RES_AR_AllAccurate", "All tracks accurately ripped");
  std::string text = words("RES_AR_SomeAccurate", "%d of %d tracks accurately ripped");
  for (const std::size_t count : {static_cast<std::size_t>(accurate), tracks.size()})
    if (const std::size_t at = text.find("%d"); at != std::string::npos)
      text.replace(at, 2, std::to_string(count));
  return text;
}

} // namespace accuraterip
