#pragma once
// Verifying a rip against the AccurateRip database: the disc's ids and the path of its answer
// file, the answer file (dBAR) read from bytes, the checksums of a track computed while its audio
// passes, and the verdict per track and for the disc.
//
// Plain functions and one accumulator; nothing here reads a drive or the network. The answer
// comes from a server and is trusted in nothing: a short or malformed answer is refused whole,
// and a track is accurate only when one of its checksums equals one in the answer.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace accuraterip {

constexpr int SectorBytes = 2352;
constexpr int SectorSamples = 588; // 16-bit stereo: one 32-bit sample = left and right
// The first track leaves out its first 5 sectors less one sample, the last its last 5 sectors:
// the parts a drive's read offset pushes past the disc's edges.
constexpr int EdgeSamples = 5 * SectorSamples;
// The sector of a track whose own checksum the answer holds, for finding a drive's offset.
constexpr int OffsetFrame = 450;
// A data track after the audio (an enhanced disc) starts this many sectors after the audio's
// end: the lead-out and lead-in between the two sessions.
constexpr int32_t DataSessionGap = 11400;

// A table of contents: every track (audio and data) in order, and the lead-out. Sectors count
// from the address 00:02:00, as libcdio does.
struct TTocTrack {
  int32_t Lsn = 0;
  bool Audio = true;
};
struct TDiscToc {
  std::vector<TTocTrack> Tracks;
  int32_t LeadOut = 0;
  int FirstTrack = 1; // the disc's number of Tracks[0]: a disc may start at another than 1
};

struct TDiscIds {
  int AudioTracks = 0;
  uint32_t Id1 = 0, Id2 = 0, FreedbId = 0;
  bool operator==(const TDiscIds &) const = default;
};

// The first sector after the last audio track: the lead-out, or for a disc whose last track is
// data, that track's start less the gap before it (a disc image without the gap: its start).
int32_t AudioLeadOut(const TDiscToc &toc);
// The ids of a disc: id1 sums the audio tracks' starts and the lead-out, id2 weights each
// start by its track number (a start of 0 counting as 1) and the lead-out by the number of
// audio tracks plus one. A data track after the audio is left out of both sums, but its end is
// the lead-out they take. The freedb id is taken over every track. All zero for a disc without
// audio tracks.
TDiscIds DiscIds(const TDiscToc &toc);
// "a/b/c/dBAR-nnn-id1-id2-freedb.bin": the last three hexadecimal digits of id1 backwards,
// the number of audio tracks and the three ids in lower-case hexadecimal.
std::string RequestPath(const TDiscIds &ids);
// The base URL with the request path after a "/".
std::string RequestUrl(const std::string &base, const TDiscIds &ids);

constexpr const char *DefaultBaseUrl = "http://www.accuraterip.com/accuraterip";
constexpr std::size_t MaxAnswerBytes = 1 << 20;

struct TTrackEntry {
  int Confidence = 0;
  uint32_t Checksum = 0;
  uint32_t Frame450 = 0;
};
// One submission set of the answer: the ids it was filed under and an entry per audio track.
struct TResponse {
  TDiscIds Ids;
  std::vector<TTrackEntry> Tracks;
};

// Reads a dBAR answer: responses of a 13-byte header (track count, id1, id2, freedb id, all
// little-endian) and 9 bytes per track (confidence, checksum, frame-450 checksum). False, with
// no responses, when the bytes are empty, end inside a response or hold a response without
// tracks.
bool ParseAnswer(std::string_view bytes, std::vector<TResponse> &responses);

// What was computed for one track.
struct TTrackSums {
  uint32_t Crc32 = 0; // of the track's PCM bytes, as ripping logs print it
  uint32_t V1 = 0, V2 = 0;
  uint32_t Frame450 = 0; // the v1 checksum of the track's sector 450 alone, weights 1..588
  uint64_t Samples = 0;  // how many were added
  uint32_t Peak = 0;     // the largest magnitude of a 16-bit value, 0 ... 32768
  bool operator==(const TTrackSums &) const = default;
};

// The v1 checksum of one sector (SectorBytes bytes) with weights 1..588: what the answer
// holds for sector 450 of each track.
uint32_t FrameChecksum(const uint8_t *sector);

// The checksums and the peak level of one track, fed its PCM bytes in order as they pass, in blocks
// of any size (a block may end inside a sample). Not shared between threads.
class TTrackChecksum {
public:
  // samples: the track's length (sectors * 588); first, last: whether it is the disc's first
  // or last audio track.
  TTrackChecksum(uint64_t samples, bool first, bool last);
  void Add(const uint8_t *data, std::size_t bytes);
  // The sums of what was added; a sample cut in half by the end of the data counts as absent.
  TTrackSums Sums() const;

private:
  void AddSamples(const uint8_t *data, std::size_t count);

  uint64_t FFrom, FTo; // the weights (1-based positions) that count
  uint64_t FPos = 0;   // samples added
  uint32_t FCrc = 0, FV1 = 0, FV2 = 0, FFrame450 = 0, FPeak = 0;
  uint8_t FPartial[4] = {};
  int FPartialBytes = 0;
};

// The checksum for the track at position n (from 1) of the table of contents: its length up to
// the next track or the audio's end, its edges left out when it is the first or last audio track.
TTrackChecksum TrackChecksum(const TDiscToc &toc, int n);

enum class TVerdict {
  Accurate,      // a checksum matched: Confidence of the best match, V2 when v2 matched
  NotAccurate,   // the disc is in the database, the track's checksums are not: best confidence
  NotInDatabase, // no answer for the disc, or none for this track
  NotVerified,   // the lookup failed or its answer was unreadable
};

struct TTrackVerdict {
  TVerdict Verdict = TVerdict::NotVerified;
  int Confidence = 0;
  bool V2 = false;
};

// The verdict of the track at position index (from 0) among the disc's audio tracks, against
// the responses filed for the disc's ids (others are ignored).
TTrackVerdict VerifyTrack(const std::vector<TResponse> &responses, const TDiscIds &ids, int index,
                          const TTrackSums &sums);

// How a lookup ended.
enum class TLookup { Found, NotInDatabase, Failed };

// What a lookup of the disc in the database brought (AccurateRipLookup.h asks the server).
struct TLookupResult {
  TLookup Status = TLookup::Failed;
  std::vector<TResponse> Responses; // Found: at least one
  std::string Why;                  // Failed: what went wrong, in words
};

// "Accurately ripped (confidence 5, v2)", "Not accurate (best confidence 3)", "Not in the
// AccurateRip database", "Not verified".
std::string VerdictText(const TTrackVerdict &verdict);
// The words of a text: given a language key and the English words, those to show.
using TWording = std::function<std::string(const std::string &key, const std::string &english)>;
// The disc's closing line: "All tracks accurately ripped", "N of M tracks accurately ripped",
// "Not in the AccurateRip database", or "Not verified" and why, for a failed lookup. In English
// unless a wording is given.
std::string DiscSummary(TLookup lookup, const std::vector<TTrackVerdict> &tracks,
                        const std::string &why = {}, const TWording &wording = {});

} // namespace accuraterip
