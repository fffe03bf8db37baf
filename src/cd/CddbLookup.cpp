#include "CddbLookup.h"

#include "akrip32.h"

#include <charconv>
#include <vector>

namespace {

// The proxy port of the settings; 80 when it is no number.
int32_t ProxyPort(const std::string &text) {
  int32_t port = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
  return error == std::errc() && end == text.data() + text.size() && port > 0 ? port : 80;
}

void SetOptions(const TGlobalOptions &o) {
  CDDBSetOption(CDDBOptServer, o.Server.c_str(), 0);
  CDDBSetOption(CDDBOptScript, o.Script.c_str(), 0);
  CDDBSetOption(CDDBOptUserEmail, CddbUserEmail, 0);
  CDDBSetOption(CDDBOptClient, (std::string(product::Name) + " " + product::Version).c_str(), 0);
  CDDBSetOption(CDDBOptTransport, "", 0);
  // Set either way: the library keeps its options from one lookup to the next.
  CDDBSetOption(CDDBOptUseProxy, "", o.UseProxy ? 1 : 0);
  if (o.UseProxy) {
    CDDBSetOption(CDDBOptProxyPort, "", ProxyPort(o.Port));
    CDDBSetOption(CDDBOptProxy, o.ProxyAddress.c_str(), 0);
  }
}

} // namespace

TCddbLookup LookUpDisc(int32_t cdHandle, const TGlobalOptions &options) {
  TCddbLookup lookup;
  SetOptions(options);
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
