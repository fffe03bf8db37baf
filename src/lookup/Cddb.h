#pragma once
// The freedb (CDDB) protocol over HTTP: the "cddb query" and "cddb read" commands for the disc
// id and query data of a table of contents (FreedbDisc.h), and the xmcd entry they return.
//
// Plain functions and one client object; nothing here knows a drive. Texts are UTF-8: the
// client asks for protocol level 6 (UTF-8) and converts the Latin-1 of a level-5 server. A
// server's answer never costs more than MaxAnswerBytes of memory, and every value parsed from
// it is cut to a bounded length, so a hostile server can only make a lookup fail.
#include "FreedbDisc.h"
#include "TitleText.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cddb {

constexpr int MaxMatches = 10;
constexpr int MaxTracks = 99;
constexpr std::size_t MaxAnswerBytes = 1 << 20;
constexpr std::size_t MaxValueBytes = 4096; // extended data

struct TMatch {
  std::string Category, DiscId, Title;
};

// Status of a query answer: the code of its first line (200 exact, 210/211 list, 202 none,
// 4xx/5xx server errors), -1 when the answer has no status line. Matches gets the one match
// of a 200 or the list of a 210/211 (up to MaxMatches; a list may lack its "." terminator).
int ParseQueryAnswer(const std::string &answer, std::vector<TMatch> &matches);

// The body of a 210 read answer: the entry lines without the status line and the "."
// terminator, "\n"-ended; false when the answer is no entry.
bool EntryOfReadAnswer(const std::string &answer, std::string &entry);

struct TEntry {
  std::string Artist, Album; // DTITLE before and after " / "; no slash: Album only
  std::string Year, Genre, ExtendedData;
  std::vector<std::string> TrackTitles; // by TTITLE number; "" where the entry has none
  // Beside TrackTitles: a track's artist where it is not the disc's (MusicBrainz gives them;
  // a freedb entry has none).
  std::vector<std::string> TrackArtists;
  bool HasTitles() const;
};

// The lines of a text, without their CR LF or LF.
std::vector<std::string_view> Lines(std::string_view text);

// The lines of an xmcd entry, each keyword's continuation lines (the same keyword on the lines
// that follow) joined into its first line with nothing between; comments as they are.
std::vector<std::string> JoinedEntryLines(const std::string &text);

// Reads an xmcd entry. Lines of one keyword (DTITLE, TTITLE3, EXTD...) that follow each other
// are one value continued; a title is taken by its number, numbers above MaxTracks - 1 are
// ignored. Escapes \n \t \\ are decoded; single-line fields get blanks for control characters.
TEntry ParseEntry(const std::string &text);

struct TServer {
  std::string Host = "gnudb.gnudb.org"; // host[:port], "http://" allowed
  std::string Script = "/~cddb/cddb.cgi";
  std::string Email = "plindar@localhost"; // the user part of the hello
  std::string ClientName = "Plindar", ClientVersion = "1.0";
  bool UseProxy = false;
  std::string ProxyHost;
  long ProxyPort = 80;
  std::chrono::milliseconds ConnectTimeout{10000}, TotalTimeout{30000};
};

// Why a lookup failed.
enum class TFailure { None, NoMatch, Unreachable, TimedOut, BadAnswer, ServerError };

// One lookup conversation; not shared between threads. A NUL byte in an answer is no text and
// no end of it: it arrives as a blank, as the parsers read other control characters.
class TClient {
public:
  explicit TClient(TServer server) : Server(std::move(server)) {}

  // The query command; true with the matches (none: Failure NoMatch), false on failure.
  bool Query(const std::string &discId, const std::string &queryData, std::vector<TMatch> &matches);
  // The read command for a match; true with the entry's lines.
  bool Read(const TMatch &match, std::string &entry);
  // The URL of a command ("cddb query 1234abcd 1 150 60"), at the protocol level in use.
  std::string CommandUrl(const std::string &command) const;
  // The protocol level: 6 (UTF-8) until a server refuses it, then 5 (Latin-1).
  int ProtoLevel() const { return Proto; }
  void SetProtoLevel(int level) { Proto = level; }

  TFailure Failure = TFailure::None;
  std::string Why; // the failure in words, for the user
  int Status = -1; // the status code of the last query answer, -1 when none came or it had none

private:
  bool Get(const std::string &command, std::string &answer);

  TServer Server;
  int Proto = 6;
};

} // namespace cddb
