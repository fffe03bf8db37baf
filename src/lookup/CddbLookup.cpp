#include "CddbLookup.h"

#include "akrip32Cddb.h"

#include <charconv>
#include <vector>

namespace {

// The proxy port of the settings; 80 when it is no number.
int32_t ProxyPort(const std::string &text) {
  int32_t port = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
  return error == std::errc() && end == text.data() + text.size() && port > 0 ? port : 80;
}

void SetOptions(const cddb::TServer &s) {
  CDDBSetOption(CDDBOptServer, s.Host.c_str(), 0);
  CDDBSetOption(CDDBOptScript, s.Script.c_str(), 0);
  CDDBSetOption(CDDBOptUserEmail, s.Email.c_str(), 0);
  CDDBSetOption(CDDBOptClient, (s.ClientName + " " + s.ClientVersion).c_str(), 0);
  CDDBSetOption(CDDBOptTransport, "", 0);
  // Set either way: the library keeps its options from one lookup to the next.
  CDDBSetOption(CDDBOptUseProxy, "", s.UseProxy ? 1 : 0);
  if (s.UseProxy) {
    CDDBSetOption(CDDBOptProxyPort, "", s.ProxyPort);
    CDDBSetOption(CDDBOptProxy, s.ProxyHost.c_str(), 0);
  }
}

} // namespace

cddb::TServer CddbServerOf(const TGlobalOptions &options) {
  cddb::TServer server;
  server.Host = options.Server;
  server.Script = options.Script;
  server.Email = CddbUserEmail;
  server.ClientName = product::Name;
  server.ClientVersion = product::Version;
  server.UseProxy = options.UseProxy;
  server.ProxyHost = options.ProxyAddress;
  server.ProxyPort = ProxyPort(options.Port);
  return server;
}

TCddbLookup LookUpDisc(int32_t cdHandle, const TGlobalOptions &options) {
  TCddbLookup lookup;
  SetOptions(CddbServerOf(options));
  std::vector<TCDDBMatchItem> items(MaxCDDBMatches);
  TCDDBMatchList query{MaxCDDBMatches, items.data()};
  if (CDDBQuery(cdHandle, &query) != 1) {
    lookup.Why = GetCDDBErrorText();
    return lookup;
  }
  if (query.Count < 1) {
    lookup.NoMatch = true;
    lookup.Why = GetCDDBErrorText();
    return lookup;
  }
  std::vector<char> text(32000);
  for (int k = 0; k < query.Count && !lookup.Found; ++k) {
    if (CDDBGetDiskInfo(&items[k], text.data(), static_cast<int32_t>(text.size())) != 1) {
      lookup.Why = GetCDDBErrorText();
      continue;
    }
    lookup.Entry = cddb::ParseEntry(text.data());
    lookup.Found = lookup.Entry.HasTitles();
  }
  if (!lookup.Found) {
    lookup.Entry = {};
    if (lookup.Why.empty())
      lookup.Why = "no entry the CDDB server sent holds track titles";
  }
  return lookup;
}
