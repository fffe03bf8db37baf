#include "CDDBInfo.h"

#include "AuCDROM.h"
#include "Cddb.h"
#include "HttpGet.h"

#include <chrono>
#include <future>

namespace {

constexpr std::size_t TextBytes = 255;

std::string Cut(std::string text, std::size_t max) {
  cddb::CutUtf8(text, max);
  return text;
}

bool BeginsWith(const std::string &line, const std::string &key) {
  return line.compare(0, key.size(), key) == 0;
}

// The first occurrence of what replaced by with.
void ReplaceOnce(std::string &text, const std::string &what, const std::string &with) {
  const std::size_t at = text.find(what);
  if (at != std::string::npos)
    text.replace(at, what.size(), with);
}

std::string WithEvery(std::string text, char what, char with) {
  for (char &c : text)
    if (c == what)
      c = with;
  return text;
}

// The value of a keyword line (key, then the number n when n >= 0): from the second character
// after the key on, without surrounding blanks and control characters, "\n" made a line break.
std::string KeywordValue(const std::string &line, std::string key, int n = -1) {
  if (n >= 0)
    key += std::to_string(n);
  if (!BeginsWith(line, key) || line.size() <= key.size() + 1)
    return "";
  std::string value = line.substr(key.size() + 1);
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!value.empty() && blank(value.back()))
    value.pop_back();
  std::size_t start = 0;
  while (start < value.size() && blank(value[start]))
    ++start;
  value.erase(0, start);
  for (std::size_t at = value.find("\\n"); at != std::string::npos; at = value.find("\\n", at + 2))
    value.replace(at, 2, "\r\n");
  return value;
}

// Part 1 the artist before " / ", part 2 the title after it; the characters right before and
// after the slash are dropped whatever they are.
std::string SplitTitle(const std::string &value, int part) {
  const std::size_t slash = value.find('/');
  if (slash == std::string::npos)
    return part == 1 ? "" : value;
  if (part == 1)
    return value.substr(0, slash == 0 ? 0 : slash - 1);
  return slash + 2 < value.size() ? value.substr(slash + 2) : "";
}

} // namespace

TCDDBQuery::TCDDBQuery(TCDDBInfo *info) : Info(info) {}

std::string TCDDBQuery::BuildURL(const std::string &command, const std::string &data) const {
  std::string url = "{S}/~cddb/cddb.cgi?cmd=cddb+{C}+{D}&hello={E}+\"{N}\"{V}&proto=5";
  ReplaceOnce(url, "{S}", Info->Server);
  ReplaceOnce(url, "{C}", command);
  ReplaceOnce(url, "{D}", WithEvery(data, ' ', '+'));
  ReplaceOnce(url, "{E}", WithEvery(Info->Email, '@', '+'));
  ReplaceOnce(url, "{N}", WithEvery(Info->ApplicationName, ' ', '+'));
  ReplaceOnce(url, "{V}", Info->ApplicationVersion);
  return url;
}

bool TCDDBQuery::HttpGet(const std::string &url, std::string &text) {
  text.clear();
  THttpRequest request;
  request.Url = url;
  request.Agent = Info->ApplicationName;
  request.ConnectTimeout = Info->ConnectTimeout;
  request.TotalTimeout = Info->TotalTimeout;
  std::string body, detail;
  // The request runs on a thread of its own so that the caller's hook can keep a window
  // painted; the call still returns only with the answer.
  auto answer = std::async(std::launch::async, [&] { return ::HttpGet(request, body, detail); });
  if (Info->WhileWaiting)
    while (answer.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
      Info->WhileWaiting();
  if (answer.get() != THttpError::None)
    return false;
  text = cddb::ToUtf8(body); // level 5 answers are Latin-1
  return true;
}

std::int32_t TCDDBQuery::ParseQueryResponse(const std::string &text) {
  std::int32_t status = -2;
  Matches.clear();
  const std::vector<std::string_view> lines = cddb::Lines(text);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    status = 0;
    for (std::size_t k = 0; k < 3 && status >= 0; ++k)
      status =
          k < line.size() && line[k] >= '0' && line[k] <= '9' ? status * 10 + (line[k] - '0') : -1;
    if (status < 0)
      status = 500;
    if (status == 200) {
      Matches.emplace_back(line.size() > 4 ? line.substr(4) : std::string_view());
    } else if (status == 210 || status == 211) {
      for (++i; i < lines.size() && !lines[i].starts_with('.'); ++i)
        Matches.emplace_back(lines[i]);
      break;
    }
  }
  return status;
}

std::vector<std::string> TCDDBQuery::SplitMatch(const std::string &line) {
  const std::size_t first = line.find(' ');
  const std::size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
  return {line.substr(0, first),
          first == std::string::npos ? "" : line.substr(first + 1, second - first - 1),
          second == std::string::npos ? "" : line.substr(second + 1)};
}

std::int32_t TCDDBQuery::CountTrackLines() const {
  std::int32_t count = 0;
  for (const std::string &line : Response)
    count += BeginsWith(line, "TTITLE");
  return count;
}

void TCDDBQuery::ParseEntry(const std::string &text) {
  Response = cddb::JoinedEntryLines(text);
  const std::int32_t a = CountTrackLines();
  Album.TrackArtists.resize(a);
  Album.TrackTitles.resize(a);
  Album.TrackExtended.resize(a);
  Album.TrackCount = a;
  std::int32_t t = 0, e = 0;
  for (const std::string &line : Response) {
    if (BeginsWith(line, "# Generated")) {
      Album.Generated = Cut(KeywordValue(line, "# Generated"), TextBytes);
    } else if (BeginsWith(line, "# Disc length")) {
      Album.DiscLength = Cut(KeywordValue(line, "# Disc length"), 30);
    } else if (BeginsWith(line, "DTITLE")) {
      const std::string v = KeywordValue(line, "DTITLE");
      Album.Artist = Cut(SplitTitle(v, 1), TextBytes);
      Album.Title = Cut(SplitTitle(v, 2), TextBytes);
    } else if (BeginsWith(line, "DYEAR")) {
      Album.Year = Cut(KeywordValue(line, "DYEAR"), 4);
    } else if (BeginsWith(line, "DGENRE")) {
      Album.Genre = Cut(KeywordValue(line, "DGENRE"), 30);
    } else if (BeginsWith(line, "TTITLE")) {
      const std::string v = KeywordValue(line, "TTITLE", t);
      const bool slash = line.find('/') != std::string::npos;
      Album.TrackArtists[t] = slash ? Cut(SplitTitle(v, 1), TextBytes) : Album.Artist;
      Album.TrackTitles[t] = Cut(slash ? SplitTitle(v, 2) : v, TextBytes);
      ++t;
    } else if (BeginsWith(line, "EXTD")) {
      Album.ExtendedData = Cut(Album.ExtendedData + KeywordValue(line, "EXTD"), TextBytes);
    } else if (BeginsWith(line, "EXTT")) {
      if (e < a)
        Album.TrackExtended[e] = Cut(KeywordValue(line, "EXTT", e), TextBytes);
      ++e;
    }
  }
}

void TCDDBQuery::Read(std::int32_t index) {
  if (index < 0 || index >= static_cast<std::int32_t>(Matches.size()))
    return;
  const std::vector<std::string> match = SplitMatch(Matches[index]);
  std::string text, entry;
  // Only an entry is read into the album: an error answer would empty its track titles.
  if (HttpGet(BuildURL("read", match[0] + " " + match[1]), text) &&
      cddb::EntryOfReadAnswer(text, entry))
    ParseEntry(entry);
}

std::int32_t TCDDBQuery::Query(const std::string &discId, const std::string &queryData) {
  DiscID = discId;
  QueryData = queryData;
  std::string text;
  if (!HttpGet(BuildURL("query", discId + " " + queryData), text))
    return -1;
  const std::int32_t status = ParseQueryResponse(text);
  if ((status == 200 || status == 210 || status == 211) && !Matches.empty())
    Read(0);
  return status;
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

bool TCDDBInfo::ReadStarts(std::vector<std::int32_t> &starts) {
  if (!CDIn)
    throw EAuException("CDIn is not assigned");
  LockDrive();
  std::int32_t status = 0;
  const bool absent = CDRip().CR_IsMediaLoaded(&status) == 0 && status != 0;
  const bool read = !absent && CDRip().CR_ReadToc() == 0;
  const std::int32_t n = read ? CDRip().CR_GetNumTocEntries() : 0;
  for (std::int32_t i = 0; n > 0 && i <= n; ++i)
    starts.push_back(static_cast<std::int32_t>(CDRip().CR_GetTocEntry(i).StartSector));
  UnlockDrive();
  return n > 0;
}

std::string TCDDBInfo::DiscID() {
  std::vector<std::int32_t> starts;
  if (!ReadStarts(starts))
    return "ffffffff";
  const std::int32_t leadOut = starts.back();
  starts.pop_back();
  return cddb::DiscId({starts, leadOut});
}

std::string TCDDBInfo::QueryString() {
  std::vector<std::int32_t> starts;
  if (!ReadStarts(starts))
    return "";
  std::string text = std::to_string(starts.size() - 1);
  for (std::size_t i = 0; i + 1 < starts.size(); ++i)
    text += " " + std::to_string(starts[i]);
  return text + " " + std::to_string((starts.back() - starts.front()) / 75);
}

std::int32_t TCDDBInfo::Query() {
  LastDiscID = DiscID();
  LastQueryString = QueryString();
  LastStatus = FQuery->Query(LastDiscID, LastQueryString);
  return LastStatus;
}

void TCDDBInfo::GetAlbum(TCDDBAlbum &album) const { album = FQuery->Album; }
