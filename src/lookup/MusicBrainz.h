#pragma once
// Disc titles from the MusicBrainz web service: the disc id of a table of contents, the
// "discid" request, and the releases of its JSON answer.
//
// Plain functions; nothing here knows a drive or a window. Requests from one process keep at
// least one second apart, whichever thread sends them, as the service asks of every client; a
// "503 busy" answer is asked again after the time the server names, at most twice. Every text
// of an answer goes through TitleText, so a hostile server can only make a lookup fail or give
// odd titles, never a file outside the output folder.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

struct TToc;

namespace mb {

// The audio session of a disc as the MusicBrainz rule sees it: sector addresses counted with
// the 150 sectors of the lead-in, the lead-out last.
struct TDiscToc {
  int FirstTrack = 1, LastTrack = 0;
  std::vector<int32_t> Starts; // of FirstTrack..LastTrack
  int32_t LeadOut = 0;
};

// The audio tracks of a table of contents (MSF addresses). A data track after the audio ends
// the audio session 11400 sectors before its start, the gap of a second session.
TDiscToc TocOf(const TToc &toc);
// The 28-character disc id; "" for a table the rule cannot take.
std::string DiscId(const TDiscToc &toc);

struct TRelease {
  std::string Artist, Album, Year, Country, Label, Format;
  std::vector<std::string> Titles;       // of the disc's medium, in track order
  std::vector<std::string> TrackArtists; // one per title; "" where it is the album artist
};

// Parses a discid answer: each release with the medium whose disc ids hold discId. False
// with why when the answer is no JSON or no answer to a discid request; a release without
// that medium is left out.
bool ParseReleases(const std::string &json, const std::string &discId,
                   std::vector<TRelease> &releases, std::string &why);

struct TService {
  std::string BaseUrl = "https://musicbrainz.org";
  std::chrono::milliseconds ConnectTimeout{10000}, TotalTimeout{30000};
};

// The longest wait a busy server may ask for; a longer one fails the lookup.
constexpr std::chrono::seconds MaxRetryAfter{10};

struct TLookup {
  bool Found = false;   // Releases holds at least one release
  bool NoMatch = false; // the service knows no such disc (else Why tells what failed)
  std::string Why;
  std::vector<TRelease> Releases;
};

// The URL of the discid request.
std::string RequestUrl(const std::string &baseUrl, const std::string &discId);
// "Plindar/<version> ( <contact> )", the User-Agent the service asks clients to send.
std::string UserAgent();
// Asks the service for the disc; blocks up to the time-outs, the one-second spacing and the
// waits a busy server asks for.
TLookup LookUp(const TService &service, const std::string &discId);

} // namespace mb
