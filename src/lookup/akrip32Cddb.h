#pragma once
// The CD drive library's CDDB lookup of the disc in a drive (akrip32.h): the freedb client
// asked with the disc's table of contents; failures are the library's CDErrCddb... codes of
// GetAspiLibError.
#include "akrip32.h"

#include <chrono>
#include <cstdint>
#include <string>

#pragma pack(push, 1)

// One match of a CDDB query; the caller only hands it back to CDDBGetDiskInfo.
struct TCDDBMatchItem {
  char Category[24]; // NUL-ended
  char DiscId[12];   // NUL-ended
  uint8_t ProtoLevel;
  uint8_t Reserved[3];
  char Title[152]; // NUL-ended, UTF-8
};

#pragma pack(pop)

constexpr int MaxCDDBMatches = 10;

struct TCDDBMatchList {
  int32_t Count;         // in: room in Items (at most 10 are used); out: matches found
  TCDDBMatchItem *Items; // zero-filled by the caller
};

// CDDBSetOption's option numbers.
enum : int32_t {
  CDDBOptServer = 0,    // text: host[:port], "http://" allowed
  CDDBOptProxy = 1,     // text: proxy host
  CDDBOptUseProxy = 2,  // number: 1 through the proxy, 0 direct
  CDDBOptClient = 3,    // text: "name version" of the hello
  CDDBOptUserEmail = 4, // text: user@host of the hello
  CDDBOptProxyPort = 5, // number
  CDDBOptScript = 6,    // text: path of the query script on the server
  CDDBOptTransport = 8, // number: 0 HTTP, the only transport
};

static_assert(sizeof(TCDDBMatchItem) == 192);

// The CDDB lookups. The options hold for the whole process and are read when a query or read
// starts. A query or read blocks its thread up to the time-outs (10 s to connect, 30 s in all).
// Sets one CDDB option (CDDBOpt...); 1 on success, 0 for an unknown option.
int32_t CDDBSetOption(int32_t option, const char *text, int32_t number);
// Looks up the disc in the drive: 1 with query->Count matches (0 and GetAspiLibError
// CDErrCddbNoMatch when the server knows none), 0 on failure.
int32_t CDDBQuery(int32_t handle, TCDDBMatchList *query);
// Reads the entry of a match into text (NUL-ended UTF-8 lines; an entry longer than size is cut
// after its last whole line that fits); 1 on success.
int32_t CDDBGetDiskInfo(const TCDDBMatchItem *item, char *text, int32_t size);
// The last CDDB failure in words, for the user.
std::string GetCDDBErrorText();
// Shortens the time-outs (tests).
void SetCDDBTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds total);
