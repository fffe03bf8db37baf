#include "CDDBInfo.h"

#include "AuCDROM.h"

#include <chrono>
#include <future>

namespace {

std::string Cut(std::string text, std::size_t max) {
  cddb::CutUtf8(text, max);
  return text;
}

} // namespace

TCDDBQuery::TCDDBQuery(TCDDBInfo *info) : Info(info) {}

bool TCDDBQuery::Waiting(const std::function<bool()> &ask) const {
  auto answer = std::async(std::launch::async, ask);
  if (Info->WhileWaiting)
    while (answer.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
      Info->WhileWaiting();
  return answer.get();
}

void TCDDBQuery::Failed(const cddb::TClient &client) {
  Failure = client.Failure;
  Why = client.Why;
}

void TCDDBQuery::ParseEntry(const std::string &text) {
  const cddb::TEntry entry = cddb::ParseEntry(text);
  Album.Artist = entry.Artist;
  Album.Title = entry.Album;
  Album.Year = Cut(entry.Year, 4);
  Album.Genre = Cut(entry.Genre, 30);
  Album.ExtendedData = Cut(entry.ExtendedData, cddb::MaxFieldBytes);
  Album.TrackTitles = entry.TrackTitles;
  Album.TrackArtists.assign(entry.TrackTitles.size(), entry.Artist);
  Album.TrackCount = static_cast<std::int32_t>(entry.TrackTitles.size());
}

void TCDDBQuery::Read(std::int32_t index) {
  if (index < 0 || index >= static_cast<std::int32_t>(Matches.size()))
    return;
  cddb::TClient client(Info->Server);
  client.SetProtoLevel(Proto);
  std::string entry;
  // Only an entry is read into the album: an error answer would empty its track titles.
  if (Waiting([&] { return client.Read(Matches[index], entry); }))
    ParseEntry(entry);
  else
    Failed(client);
}

std::int32_t TCDDBQuery::Query(const std::string &discId, const std::string &queryData) {
  DiscID = discId;
  QueryData = queryData;
  Failure = cddb::TFailure::None;
  Why.clear();
  cddb::TClient client(Info->Server);
  const bool answered = Waiting([&] { return client.Query(discId, queryData, Matches); });
  Proto = client.ProtoLevel();
  if (!answered || Matches.empty())
    Failed(client);
  else
    Read(0);
  return client.Status;
}

TCDDBInfo::TCDDBInfo(TComponent *owner)
    : TComponent(owner), FQuery(std::make_unique<TCDDBQuery>(this)) {}

TCDDBInfo::~TCDDBInfo() = default;

void TCDDBInfo::LockDrive() {
  if (FDriveLock == 0)
    CDRip().CR_SetActiveCDROM(CDIn->CurrentDrive());
  ++FDriveLock;
}

void TCDDBInfo::UnlockDrive() {
  if (FDriveLock > 0)
    --FDriveLock;
}

bool TCDDBInfo::ReadToc(cddb::TDiscToc &toc) {
  if (!CDIn)
    throw EAuException("CDIn is not assigned");
  LockDrive();
  std::int32_t status = 0;
  const bool absent = CDRip().CR_IsMediaLoaded(&status) == 0 && status != 0;
  const bool read = !absent && CDRip().CR_ReadToc() == 0;
  const std::int32_t n = read ? CDRip().CR_GetNumTocEntries() : 0;
  for (std::int32_t i = 0; i < n; ++i)
    toc.Starts.push_back(static_cast<std::int32_t>(CDRip().CR_GetTocEntry(i).StartSector));
  if (n > 0)
    toc.LeadOut = static_cast<std::int32_t>(CDRip().CR_GetTocEntry(n).StartSector);
  UnlockDrive();
  return n > 0;
}

std::string TCDDBInfo::DiscID() {
  cddb::TDiscToc toc;
  return ReadToc(toc) ? cddb::DiscId(toc) : "ffffffff";
}

std::string TCDDBInfo::QueryString() {
  cddb::TDiscToc toc;
  return ReadToc(toc) ? cddb::QueryData(toc) : "";
}

std::int32_t TCDDBInfo::Query() {
  LastDiscID = DiscID();
  LastQueryString = QueryString();
  LastStatus = FQuery->Query(LastDiscID, LastQueryString);
  return LastStatus;
}

void TCDDBInfo::GetAlbum(TCDDBAlbum &album) const { album = FQuery->Album; }
