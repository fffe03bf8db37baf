#pragma once
// The CDDB lookup of the disc in a drive through the CD drive library, with the server, script
// and proxy of the settings it is given: the query, then the read of each match in order until
// one entry holds track titles. Blocks its thread up to the library's time-outs; touches no
// window and no shared settings, so it runs on a worker thread or in a batch run alike.
#include "Cddb.h"
#include "Global.h"

#include <cstdint>
#include <string>

struct TCddbLookup {
  bool Found = false;   // Entry holds the titles of the disc
  bool NoMatch = false; // the server knows no such disc (else Why tells what failed)
  std::string Why;
  cddb::TEntry Entry;
};

// The user address and client of the hello.
inline constexpr const char *CddbUserEmail = "plindar@localhost";

// The server, script path and proxy of the settings, and this program's hello: what every
// freedb lookup (this one and CD-input mode's) asks with. The time-outs stay the defaults.
cddb::TServer CddbServerOf(const TGlobalOptions &options);

TCddbLookup LookUpDisc(int32_t cdHandle, const TGlobalOptions &options);
