#include "akrip32Cddb.h"

#include "Cddb.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

// The CDDB options, as CDDBSetOption leaves them.
std::mutex CddbLock;
cddb::TServer CddbServer;
std::string CddbWhy;

int32_t CddbFail(const cddb::TClient &client) {
  std::lock_guard lock(CddbLock);
  CddbWhy = client.Why;
  switch (client.Failure) {
  case cddb::TFailure::NoMatch: return FailWith(CDErrCddbNoMatch);
  case cddb::TFailure::Unreachable: return FailWith(CDErrCddbUnreachable);
  case cddb::TFailure::TimedOut: return FailWith(CDErrCddbTimedOut);
  case cddb::TFailure::ServerError: return FailWith(CDErrCddbServer);
  default: return FailWith(CDErrCddbBadAnswer);
  }
}

cddb::TServer CddbOptions() {
  std::lock_guard lock(CddbLock);
  return CddbServer;
}

// Copies text into a NUL-ended field, never splitting a UTF-8 character.
template <size_t N> void SetField(char (&field)[N], std::string text) {
  cddb::CutUtf8(text, N - 1);
  std::memset(field, 0, N);
  std::memcpy(field, text.data(), text.size());
}

} // namespace

int32_t CDDBSetOption(int32_t option, const char *text, int32_t number) {
  const std::string value = text ? text : "";
  std::lock_guard lock(CddbLock);
  switch (option) {
  case CDDBOptServer: CddbServer.Host = value; break;
  case CDDBOptProxy: CddbServer.ProxyHost = value; break;
  case CDDBOptUseProxy: CddbServer.UseProxy = number == 1; break;
  case CDDBOptUserEmail: CddbServer.Email = value; break;
  case CDDBOptProxyPort: CddbServer.ProxyPort = number; break;
  case CDDBOptScript: CddbServer.Script = value; break;
  case CDDBOptTransport: break;
  case CDDBOptClient: {
    // "name version": the version is the last word.
    const std::size_t blank = value.rfind(' ');
    CddbServer.ClientName = value.substr(0, blank);
    CddbServer.ClientVersion = blank == std::string::npos ? "" : value.substr(blank + 1);
    break;
  }
  default: return FailWith(CDErrBadArgument);
  }
  return 1;
}

int32_t CDDBQuery(int32_t handle, TCDDBMatchList *query) {
  if (!query || query->Count < 0 || (query->Count > 0 && !query->Items))
    return FailWith(CDErrBadArgument);
  const int room = std::min(query->Count, MaxCDDBMatches);
  query->Count = 0;
  cddb::TDiscToc toc;
  if (!ReadFreedbToc(handle, toc))
    return 0;
  cddb::TClient client(CddbOptions());
  std::vector<cddb::TMatch> matches;
  if (!client.Query(cddb::DiscId(toc), cddb::QueryData(toc), matches))
    return CddbFail(client);
  if (matches.empty()) {
    CddbFail(client);
    return 1;
  }
  for (int i = 0; i < room && i < static_cast<int>(matches.size()); ++i) {
    TCDDBMatchItem &item = query->Items[i];
    std::memset(&item, 0, sizeof item);
    SetField(item.Category, matches[i].Category);
    SetField(item.DiscId, matches[i].DiscId);
    SetField(item.Title, matches[i].Title);
    item.ProtoLevel = static_cast<uint8_t>(client.ProtoLevel());
    query->Count = i + 1;
  }
  return 1;
}

int32_t CDDBGetDiskInfo(const TCDDBMatchItem *item, char *text, int32_t size) {
  if (!item || !text || size < 1)
    return FailWith(CDErrBadArgument);
  *text = 0;
  cddb::TMatch match{std::string(item->Category, strnlen(item->Category, sizeof item->Category)),
                     std::string(item->DiscId, strnlen(item->DiscId, sizeof item->DiscId)), ""};
  cddb::TClient client(CddbOptions());
  client.SetProtoLevel(item->ProtoLevel ? item->ProtoLevel : 6);
  std::string entry;
  if (!client.Read(match, entry))
    return CddbFail(client);
  std::size_t n = entry.size();
  if (n >= static_cast<std::size_t>(size)) {
    n = entry.rfind('\n', size - 2);
    n = n == std::string::npos ? 0 : n + 1;
  }
  std::memcpy(text, entry.data(), n);
  text[n] = 0;
  return 1;
}

std::string GetCDDBErrorText() {
  std::lock_guard lock(CddbLock);
  return CddbWhy;
}

void SetCDDBTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds total) {
  std::lock_guard lock(CddbLock);
  CddbServer.ConnectTimeout = connect;
  CddbServer.TotalTimeout = total;
}
