#pragma once
// The CDDB component of CD-input mode: TCDDBInfo reads the table of contents of the disc in its
// CD input's current drive (through the CD ripping library), and its TCDDBQuery sends the
// "query" and "read" commands and keeps the entry it read as a TCDDBAlbum between lookups.
//
// The disc id, the query data, the request URLs, the answers and the entry are the freedb
// client's (Cddb.h), the same as in the drive library's lookup, so both give one disc the
// same query and one entry the same titles. Runs on the caller's thread and blocks it for the
// requests, up to the server's time-outs; each request runs on a worker thread while
// WhileWaiting (when set) is called over and over, so a window stays painted.
#include "Cddb.h"
#include "Component.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TCDIn;
class TCDDBInfo;

// A disc's entry. Text fields hold at most 255 bytes, Year 4, Genre 30.
struct TCDDBAlbum {
  std::vector<std::string> TrackArtists; // the disc artist, one per track
  std::vector<std::string> TrackTitles;  // each TTITLE whole, "/" and all
  std::string ExtendedData;              // EXTD
  std::string Title;                     // DTITLE after the slash
  std::string Artist;                    // DTITLE before the slash
  std::string Year;
  std::string Genre;
  std::string Extra;           // never filled by the parser
  std::int32_t TrackCount = 0; // the entry's highest TTITLE number + 1; length of the arrays
};

class TCDDBQuery {
public:
  explicit TCDDBQuery(TCDDBInfo *info);

  // The "query" command, then "read" of the first match. The query's status: 200, 210 or 211
  // with matches, 202 for none, the code of a refusal; -1 when no CDDB answer came. Failure
  // and Why say what went wrong, also when the read failed.
  std::int32_t Query(const std::string &discId, const std::string &queryData);
  // The "read" command for match index; fills Album when an entry comes.
  void Read(std::int32_t index);
  // Reads an xmcd entry into Album, replacing the one before.
  void ParseEntry(const std::string &text);

  std::string DiscID;
  std::string QueryData;
  std::vector<cddb::TMatch> Matches;
  TCDDBAlbum Album;
  cddb::TFailure Failure = cddb::TFailure::None;
  std::string Why; // the failure in words, for the user; "" after a lookup that went well

private:
  // Runs ask on a thread of its own while the owner's WhileWaiting is called; its result.
  bool Waiting(const std::function<bool()> &ask) const;
  // Failure and Why of a client that failed.
  void Failed(const cddb::TClient &client);

  TCDDBInfo *Info;
  int Proto = 6; // the protocol level the query found the server speaks
};

class TCDDBInfo : public TComponent {
public:
  explicit TCDDBInfo(TComponent *owner = nullptr);
  ~TCDDBInfo() override;

  // Eight lower-case hexadecimal digits; "ffffffff" when there is no disc or no table.
  // EAuException "CDIn is not assigned" without a CD input.
  std::string DiscID();
  // "n off1 ... offn seconds" as the protocol has it (see cddb::QueryData); "" as DiscID fails.
  std::string QueryString();
  // DiscID, QueryString and the query with them; the status (see TCDDBQuery::Query).
  std::int32_t Query();
  void GetAlbum(TCDDBAlbum &album) const;
  TCDDBQuery &CDDBQuery() { return *FQuery; }

  TCDIn *CDIn = nullptr;
  // The server, script path, proxy, hello and time-outs of the lookups.
  cddb::TServer Server;
  // Called repeatedly while a request runs (a window processes its events here).
  std::function<void()> WhileWaiting;

  std::string LastDiscID;
  std::string LastQueryString;
  std::int32_t LastStatus = 0;

private:
  void LockDrive();
  void UnlockDrive();
  // The table of contents through the library; false when there is no disc or no table.
  bool ReadToc(cddb::TDiscToc &toc);

  std::int32_t FDriveLock = 0;
  std::unique_ptr<TCDDBQuery> FQuery;
};
