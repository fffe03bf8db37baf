#include "Cddb.h"

#include "HttpGet.h"

#include <algorithm>
#include <map>
#include <string_view>

namespace cddb {

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    lines.push_back(line);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
  return lines;
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  return std::string(text);
}

// The status code of a line that starts with three digits and a blank (or ends there); -1.
int StatusOf(std::string_view line) {
  if (line.size() < 3 || (line.size() > 3 && line[3] != ' '))
    return -1;
  int code = 0;
  for (int i = 0; i < 3; ++i) {
    if (line[i] < '0' || line[i] > '9')
      return -1;
    code = code * 10 + (line[i] - '0');
  }
  return code;
}

// "category discid title": a category of letters and a disc id of eight hexadecimal digits,
// since both go into the read command's URL.
bool SplitMatch(std::string_view line, TMatch &match) {
  const std::size_t first = line.find(' ');
  const std::size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
  if (second == std::string_view::npos || first == 0 || first > 32)
    return false;
  const std::string_view category = line.substr(0, first);
  const std::string_view id = line.substr(first + 1, second - first - 1);
  for (char c : category)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
      return false;
  if (id.size() != 8 || id.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos)
    return false;
  match.Category = category;
  match.DiscId = id;
  match.Title = Trimmed(line.substr(second + 1, 255));
  return true;
}

// Decodes the entry format's escapes; oneLine turns line breaks, tabs and every other control
// character into blanks, for fields shown in a single line and used in file names.
std::string Decoded(std::string_view raw, bool oneLine) {
  std::string value;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    char c = raw[i];
    if (c == '\\' && i + 1 < raw.size()) {
      const char next = raw[i + 1];
      if (next == 'n' || next == 't' || next == '\\') {
        c = next == 'n' ? '\n' : next == 't' ? '\t' : '\\';
        ++i;
      }
    }
    const bool control = static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    value += control && (oneLine || (c != '\n' && c != '\t')) ? ' ' : c;
  }
  std::string trimmed = Trimmed(value);
  CutUtf8(trimmed, oneLine ? MaxFieldBytes : MaxValueBytes);
  return trimmed;
}

// The number of a track keyword ("TTITLE12" with prefix "TTITLE"), -1 when it is none or out
// of range.
int TrackNumber(std::string_view key, std::string_view prefix) {
  if (key.substr(0, prefix.size()) != prefix || key.size() == prefix.size() ||
      key.size() > prefix.size() + 2)
    return -1;
  int n = 0;
  for (char c : key.substr(prefix.size())) {
    if (c < '0' || c > '9')
      return -1;
    n = n * 10 + (c - '0');
  }
  return n < MaxTracks ? n : -1;
}

std::string Encoded(std::string_view text) {
  static const char hex[] = "0123456789ABCDEF";
  std::string encoded;
  for (unsigned char c : text) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '.' || c == '_' || c == '~') {
      encoded += static_cast<char>(c);
    } else {
      encoded += '%';
      encoded += hex[c >> 4];
      encoded += hex[c & 15];
    }
  }
  return encoded;
}

// Words separated by blanks, each encoded, joined by '+' as the protocol's URLs have them.
std::string Words(std::string_view text) {
  std::string joined;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(' ', start);
    if (end == std::string_view::npos)
      end = text.size();
    if (end > start)
      joined += (joined.empty() ? "" : "+") + Encoded(text.substr(start, end - start));
    start = end + 1;
  }
  return joined;
}

// The first line of an answer, short and printable, for a message.
std::string FirstLine(const std::string &answer) {
  const std::vector<std::string_view> lines = Lines(std::string_view(answer).substr(0, 200));
  return lines.empty() ? "(nothing)" : Decoded(ToUtf8(std::string(lines.front())), true);
}

} // namespace

int ParseQueryAnswer(const std::string &answer, std::vector<TMatch> &matches) {
  matches.clear();
  const std::vector<std::string_view> lines = Lines(answer);
  const int status = lines.empty() ? -1 : StatusOf(lines.front());
  TMatch match;
  if (status == 200 && lines.front().size() > 4 && SplitMatch(lines.front().substr(4), match))
    matches.push_back(match);
  if (status == 210 || status == 211)
    for (std::size_t i = 1; i < lines.size() && lines[i] != "." && matches.size() < MaxMatches; ++i)
      if (SplitMatch(lines[i], match))
        matches.push_back(match);
  return status;
}

bool EntryOfReadAnswer(const std::string &answer, std::string &entry) {
  entry.clear();
  const std::vector<std::string_view> lines = Lines(answer);
  if (lines.empty() || StatusOf(lines.front()) != 210)
    return false;
  for (std::size_t i = 1; i < lines.size() && lines[i] != "."; ++i)
    (entry += lines[i]) += '\n';
  return true;
}

bool TEntry::HasTitles() const {
  for (const std::string &title : TrackTitles)
    if (!title.empty())
      return true;
  return false;
}

std::vector<std::string> JoinedEntryLines(const std::string &text) {
  std::vector<std::string> lines;
  std::string_view lastKey;
  for (std::string_view line : Lines(text)) {
    const std::size_t equals = line.find('=');
    const bool value = !line.empty() && line.front() != '#' && equals != std::string_view::npos;
    const std::string_view key = value ? line.substr(0, equals + 1) : std::string_view();
    if (value && key == lastKey) {
      if (lines.back().size() < MaxValueBytes)
        lines.back().append(line.substr(equals + 1, MaxValueBytes));
      continue;
    }
    lines.emplace_back(line);
    lastKey = key;
  }
  return lines;
}

TEntry ParseEntry(const std::string &text) {
  // Raw values by keyword, each line of a keyword appended to what came before.
  std::map<std::string, std::string, std::less<>> raw;
  for (const std::string &line : JoinedEntryLines(text)) {
    const std::size_t equals = line.find('=');
    if (line.empty() || line.front() == '#' || equals == std::string::npos || equals > 16)
      continue;
    std::string &value = raw[line.substr(0, equals)];
    if (value.size() < MaxValueBytes)
      value.append(line, equals + 1, MaxValueBytes);
  }
  TEntry entry;
  const auto field = [&](const char *key, bool oneLine) {
    auto it = raw.find(key);
    return it == raw.end() ? std::string() : Decoded(it->second, oneLine);
  };
  const std::string title = field("DTITLE", true);
  std::size_t slash = title.find(" / ");
  if (slash == std::string::npos)
    slash = title.find('/');
  if (slash == std::string::npos) {
    entry.Album = title;
  } else {
    entry.Artist = Trimmed(std::string_view(title).substr(0, slash));
    entry.Album =
        Trimmed(std::string_view(title).substr(slash + 1 + (title[slash] == ' ' ? 2 : 0)));
  }
  entry.Year = field("DYEAR", true);
  entry.Genre = field("DGENRE", true);
  entry.ExtendedData = field("EXTD", false);
  for (const auto &[key, value] : raw) {
    const int n = TrackNumber(key, "TTITLE");
    if (n < 0)
      continue;
    if (entry.TrackTitles.size() <= std::size_t(n))
      entry.TrackTitles.resize(n + 1);
    entry.TrackTitles[n] = Decoded(value, true);
  }
  return entry;
}

std::string TClient::CommandUrl(const std::string &command) const {
  std::string host = Server.Host;
  std::string scheme = "http://";
  for (const char *prefix : {"http://", "https://"})
    if (host.rfind(prefix, 0) == 0) {
      scheme = prefix;
      host.erase(0, scheme.size());
    }
  while (!host.empty() && host.back() == '/')
    host.pop_back();
  const std::string script = Server.Script.rfind('/', 0) == 0 ? Server.Script : "/" + Server.Script;
  const std::size_t at = Server.Email.find('@');
  const std::string user = Server.Email.substr(0, at);
  const std::string userHost = at == std::string::npos ? "localhost" : Server.Email.substr(at + 1);
  return scheme + host + script + "?cmd=" + Words(command) + "&hello=" + Encoded(user) + "+" +
         Encoded(userHost) + "+" + Encoded(Server.ClientName) + "+" +
         Encoded(Server.ClientVersion) + "&proto=" + std::to_string(Proto);
}

bool TClient::Get(const std::string &command, std::string &answer) {
  THttpRequest request;
  request.Url = CommandUrl(command);
  if (Server.UseProxy)
    request.Proxy = Server.ProxyHost + ":" + std::to_string(Server.ProxyPort);
  request.Agent = Server.ClientName + "/" + Server.ClientVersion;
  request.ConnectTimeout = Server.ConnectTimeout;
  request.TotalTimeout = Server.TotalTimeout;
  request.MaxBytes = MaxAnswerBytes;
  std::string detail;
  const THttpError error = HttpGet(request, answer, detail);
  const std::string where = Server.UseProxy ? " through the proxy " + request.Proxy : "";
  switch (error) {
  case THttpError::None:
    // A NUL byte would end the entry for the drive library's callers: it is a bad byte.
    std::replace(answer.begin(), answer.end(), '\0', ' ');
    answer = Proto >= 6 ? ToUtf8(answer) : Latin1ToUtf8(answer);
    return true;
  case THttpError::TimedOut:
    Failure = TFailure::TimedOut;
    Why = "the CDDB server " + Server.Host + where + " did not answer in time (" + detail + ")";
    return false;
  case THttpError::Unreachable:
    Failure = TFailure::Unreachable;
    Why = "cannot reach the CDDB server " + Server.Host + where + " (" + detail + ")";
    return false;
  case THttpError::NotFound:
    Failure = TFailure::BadAnswer;
    Why = "the CDDB server " + Server.Host + " has no query script at " + Server.Script + " (" +
          detail + ")";
    return false;
  case THttpError::TooLarge:
  case THttpError::BadStatus: break;
  }
  Failure = TFailure::BadAnswer;
  Why = "the CDDB server " + Server.Host + " gave no CDDB answer (" + detail + ")";
  return false;
}

bool TClient::Query(const std::string &discId, const std::string &queryData,
                    std::vector<TMatch> &matches) {
  Failure = TFailure::None;
  Why.clear();
  Status = -1;
  matches.clear();
  std::string answer;
  const std::string command = "cddb query " + discId + " " + queryData;
  if (!Get(command, answer))
    return false;
  Status = ParseQueryAnswer(answer, matches);
  if (Status == 501 && Proto == 6) { // a server that knows no level 6 answers "illegal level"
    Proto = 5;
    if (!Get(command, answer))
      return false;
    Status = ParseQueryAnswer(answer, matches);
  }
  if ((Status == 200 || Status == 210 || Status == 211) && !matches.empty())
    return true;
  if (Status == 202) {
    Failure = TFailure::NoMatch;
    Why = "no match found for the disc " + discId + " on " + Server.Host;
    return true;
  }
  Failure = Status < 0 || Status == 200 || Status == 210 || Status == 211 ? TFailure::BadAnswer
                                                                          : TFailure::ServerError;
  Why = "the CDDB server " + Server.Host + " answered: " + FirstLine(answer);
  return false;
}

bool TClient::Read(const TMatch &match, std::string &entry) {
  Failure = TFailure::None;
  Why.clear();
  std::string answer;
  if (!Get("cddb read " + match.Category + " " + match.DiscId, answer))
    return false;
  if (EntryOfReadAnswer(answer, entry))
    return true;
  Failure = StatusOf(answer.substr(0, 4)) < 0 ? TFailure::BadAnswer : TFailure::ServerError;
  Why = "the CDDB server " + Server.Host + " answered: " + FirstLine(answer);
  return false;
}

} // namespace cddb
