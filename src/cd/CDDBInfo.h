#pragma once
// The CDDB component of CD-input mode: TCDDBInfo computes the freedb disc id and query string
// of the disc in its CD input's current drive (read through the CD ripping library), and its
// TCDDBQuery sends the "query" and "read" commands over HTTP and parses the answer into a
// TCDDBAlbum that is kept between lookups.
//
// Runs on the caller's thread and blocks it for the requests, each given up after 10 s
// without a connection or 30 s in all; the request itself runs on a worker thread while
// WhileWaiting (when set) is called over and over, so a window stays painted. Parsing is
// plain functions of the freedb client (Cddb.h) under this component's own rules: its URL,
// its status handling, its field sizes.
#include "Component.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TCDIn;
class TCDDBInfo;

// A disc's entry. Text fields hold at most 255 bytes, Year 4, Genre and DiscLength 30.
struct TCDDBAlbum {
  std::vector<std::string> TrackArtists; // the TTITLE's artist part, else the disc artist
  std::vector<std::string> TrackTitles;
  std::vector<std::string> TrackExtended; // EXTT
  std::string ExtendedData;               // every EXTD value joined
  std::string Title;                      // DTITLE after the slash
  std::string Artist;                     // DTITLE before the slash
  std::string Year;
  std::string Genre;
  std::string Extra; // never filled by the parser
  std::string Generated;
  std::string DiscLength;
  std::int32_t TrackCount = 0; // TTITLE values of the last entry; length of the arrays
};

class TCDDBQuery {
public:
  explicit TCDDBQuery(TCDDBInfo *info);

  // The "query" command, then "read" of the first match when the status is 200, 210 or 211;
  // the query's status, -1 when the HTTP request failed.
  std::int32_t Query(const std::string &discId, const std::string &queryData);
  // The "read" command for match index; fills Album when the request succeeds.
  void Read(std::int32_t index);
  // The request URL exactly as the protocol template has it; nothing is percent-encoded.
  std::string BuildURL(const std::string &command, const std::string &data) const;
  // The body of a GET of url; false when the request failed (time-outs included).
  bool HttpGet(const std::string &url, std::string &text);
  // The code of the last line examined (500 for a line not starting with a number, -2 for an
  // empty text); fills Matches.
  std::int32_t ParseQueryResponse(const std::string &text);
  // Reads an xmcd entry into Album; continued TTITLE lines are joined first. Fields whose
  // keyword is missing keep their values.
  void ParseEntry(const std::string &text);
  // Category, disc id and title of a match line.
  static std::vector<std::string> SplitMatch(const std::string &line);
  // Lines of Response that begin with "TTITLE".
  std::int32_t CountTrackLines() const;

  std::vector<std::string> Response;
  std::string DiscID;
  std::string QueryData;
  std::vector<std::string> Matches;
  TCDDBAlbum Album;

private:
  TCDDBInfo *Info;
};

class TCDDBInfo : public TComponent {
public:
  explicit TCDDBInfo(TComponent *owner = nullptr);
  ~TCDDBInfo() override;

  // Eight lower-case hexadecimal digits; "ffffffff" when there is no disc or no table.
  // EAuException "CDIn is not assigned" without a CD input.
  std::string DiscID();
  // "n start1 ... startn seconds", starts without the lead-in; "" as DiscID fails.
  std::string QueryString();
  // DiscID, QueryString and the query with them; the status (see TCDDBQuery::Query).
  std::int32_t Query();
  void GetAlbum(TCDDBAlbum &album) const;
  TCDDBQuery &CDDBQuery() { return *FQuery; }

  TCDIn *CDIn = nullptr;
  std::string Server = "http://gnudb.gnudb.org";
  std::string Email = "plindar@localhost";
  std::string ApplicationName = "Plindar";
  std::string ApplicationVersion = "v1.0";
  std::chrono::milliseconds ConnectTimeout{10000};
  std::chrono::milliseconds TotalTimeout{30000};
  // Called repeatedly while a request runs (a window processes its events here).
  std::function<void()> WhileWaiting;

  std::string LastDiscID;
  std::string LastQueryString;
  std::int32_t LastStatus = 0;

private:
  void LockDrive();
  void UnlockDrive();
  // The table of contents through the library; false when there is no disc or no table.
  bool ReadStarts(std::vector<std::int32_t> &starts);

  std::int32_t FDriveLock = 0;
  std::unique_ptr<TCDDBQuery> FQuery;
};
