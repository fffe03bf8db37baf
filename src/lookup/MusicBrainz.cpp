#include "MusicBrainz.h"

#include "Global.h"
#include "HttpGet.h"
#include "TitleText.h"
#include "akrip32.h"

#include <discid/discid.h>
#include <nlohmann/json.hpp>

#include <memory>
#include <mutex>
#include <thread>

namespace mb {

namespace {

using nlohmann::json;

// A data track after the audio starts this many sectors after the audio session's lead-out.
constexpr int32_t SessionGap = 11400;

int32_t Sectors(const TTocEntry &entry) {
  return entry.Address[1] * 4500 + entry.Address[2] * 75 + entry.Address[3];
}

// The member of an object, or null when it is missing or the value is no object.
const json *Member(const json &value, const char *key) {
  if (!value.is_object())
    return nullptr;
  const auto it = value.find(key);
  return it == value.end() ? nullptr : &*it;
}

std::string Text(const json &value, const char *key) {
  const json *member = Member(value, key);
  return member && member->is_string() ? TitleText(member->get_ref<const std::string &>()) : "";
}

// An artist credit as the service spells it: each name followed by its join phrase.
std::string Credit(const json &value) {
  const json *credit = Member(value, "artist-credit");
  std::string text;
  if (credit && credit->is_array())
    for (const json &part : *credit) {
      const std::string name = Text(part, "name");
      const json *artist = Member(part, "artist");
      text += name.empty() && artist ? Text(*artist, "name") : name;
      if (const json *join = Member(part, "joinphrase"); join && join->is_string())
        text += join->get_ref<const std::string &>(); // " & " keeps its blanks
    }
  return TitleText(text);
}

bool HoldsDisc(const json &medium, const std::string &discId) {
  const json *discs = Member(medium, "discs");
  if (!discs || !discs->is_array())
    return false;
  for (const json &disc : *discs)
    if (Text(disc, "id") == discId)
      return true;
  return false;
}

// The label of the first label entry that names one.
std::string LabelOf(const json &release) {
  const json *infos = Member(release, "label-info");
  if (infos && infos->is_array())
    for (const json &info : *infos)
      if (const json *label = Member(info, "label"))
        if (std::string name = Text(*label, "name"); !name.empty())
          return name;
  return "";
}

// The year of a date "YYYY", "YYYY-MM" or "YYYY-MM-DD"; "" for anything else.
std::string YearOf(const std::string &date) {
  const std::string year = date.substr(0, 4);
  return year.size() == 4 && year.find_first_not_of("0123456789") == std::string::npos ? year : "";
}

// The release with its medium that holds the disc; false when none does.
bool ReadRelease(const json &value, const std::string &discId, TRelease &release) {
  const json *media = Member(value, "media");
  if (!media || !media->is_array())
    return false;
  for (const json &medium : *media) {
    if (!HoldsDisc(medium, discId))
      continue;
    release.Artist = Credit(value);
    release.Album = Text(value, "title");
    release.Year = YearOf(Text(value, "date"));
    release.Country = Text(value, "country");
    release.Label = LabelOf(value);
    release.Format = Text(medium, "format");
    const json *tracks = Member(medium, "tracks");
    if (tracks && tracks->is_array())
      for (const json &track : *tracks) {
        if (release.Titles.size() >= 99)
          break; // no disc holds more
        std::string title = Text(track, "title");
        const json *recording = Member(track, "recording");
        if (title.empty() && recording)
          title = Text(*recording, "title");
        std::string artist = Credit(track);
        if (artist.empty() && recording)
          artist = Credit(*recording);
        release.Titles.push_back(title);
        release.TrackArtists.push_back(artist == release.Artist ? "" : artist);
      }
    return true;
  }
  return false;
}

// Sends a request once a second has passed since the previous request of this process was
// answered. Counting from the answer, not from the sending, keeps the requests a second apart
// where the service counts them, whatever the network or the machine delays.
template <class Request> auto InTurn(Request request) {
  static std::mutex lock;
  static std::chrono::steady_clock::time_point next;
  std::lock_guard hold(lock); // other threads queue here, each a second after the one before
  std::this_thread::sleep_until(next);
  auto result = request();
  next = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  return result;
}

} // namespace

TDiscToc TocOf(const TToc &toc) {
  TDiscToc disc;
  const int count = toc.LastTrack - toc.FirstTrack + 1;
  if (toc.FirstTrack < 1 || count < 1 || count >= MaxTocEntries)
    return disc;
  disc.FirstTrack = toc.FirstTrack;
  int audio = 0;
  while (audio < count && !(toc.Entries[audio].AdrControl & TocControlData))
    ++audio;
  for (int i = 0; i < audio; ++i)
    disc.Starts.push_back(Sectors(toc.Entries[i]));
  disc.LastTrack = toc.FirstTrack + audio - 1;
  disc.LeadOut =
      audio < count ? Sectors(toc.Entries[audio]) - SessionGap : Sectors(toc.Entries[count]);
  return disc;
}

std::string DiscId(const TDiscToc &toc) {
  const int count = toc.LastTrack - toc.FirstTrack + 1;
  if (count < 1 || toc.FirstTrack < 1 || toc.LastTrack > 99 ||
      static_cast<std::size_t>(count) != toc.Starts.size())
    return "";
  int offsets[100] = {toc.LeadOut};
  for (int i = 0; i < count; ++i)
    offsets[toc.FirstTrack + i] = toc.Starts[i];
  std::unique_ptr<::DiscId, decltype(&discid_free)> disc(discid_new(), discid_free);
  if (!disc || !discid_put(disc.get(), toc.FirstTrack, toc.LastTrack, offsets))
    return "";
  return discid_get_id(disc.get());
}

bool ParseReleases(const std::string &text, const std::string &discId,
                   std::vector<TRelease> &releases, std::string &why) {
  releases.clear();
  // The parser keeps its own stack: however deep an answer nests, it costs memory, not the
  // thread's stack, and the answer's size is bounded by the request.
  const json answer = json::parse(text, nullptr, false);
  if (answer.is_discarded()) {
    why = "the answer is no complete JSON text";
    return false;
  }
  const json *list = Member(answer, "releases");
  if (!list || !list->is_array()) {
    why = "the answer lists no releases";
    return false;
  }
  for (const json &value : *list) {
    TRelease release;
    if (ReadRelease(value, discId, release))
      releases.push_back(std::move(release));
  }
  return true;
}

std::string RequestUrl(const std::string &baseUrl, const std::string &discId) {
  std::string base = baseUrl;
  while (!base.empty() && base.back() == '/')
    base.pop_back();
  return base + "/ws/2/discid/" + discId + "?inc=artist-credits+recordings&fmt=json";
}

std::string UserAgent() {
  return std::string(product::Name) + "/" + product::Version + " ( " + product::SupportEmail + " )";
}

TLookup LookUp(const TService &service, const std::string &discId) {
  TLookup lookup;
  THttpRequest request;
  request.Url = RequestUrl(service.BaseUrl, discId);
  request.Agent = UserAgent();
  request.MaxBytes = 8 << 20; // a disc on many releases, each with every track
  request.ConnectTimeout = service.ConnectTimeout;
  request.TotalTimeout = service.TotalTimeout;
  std::string body, detail;
  THttpStatus status;
  THttpError error = THttpError::None;
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (attempt > 0) {
      if (status.RetryAfter > MaxRetryAfter.count()) {
        lookup.Why = "the MusicBrainz server is busy and asks to wait " +
                     std::to_string(status.RetryAfter) + " seconds";
        return lookup;
      }
      std::this_thread::sleep_for(std::chrono::seconds(std::max(status.RetryAfter, 0)));
    }
    error = InTurn([&] { return HttpGet(request, body, detail, &status); });
    if (status.Code != 503)
      break;
  }
  if (status.Code == 404 || status.Code == 400) { // 400: an id the service cannot read
    lookup.NoMatch = true;
    lookup.Why = "MusicBrainz knows no disc with the id " + discId;
    return lookup;
  }
  if (error != THttpError::None) {
    lookup.Why = "the MusicBrainz server " + service.BaseUrl + " failed: " + detail;
    return lookup;
  }
  if (!ParseReleases(body, discId, lookup.Releases, detail)) {
    lookup.Why = "the MusicBrainz server " + service.BaseUrl + " sent a bad answer: " + detail;
    return lookup;
  }
  lookup.Found = !lookup.Releases.empty();
  lookup.NoMatch = !lookup.Found;
  if (!lookup.Found)
    lookup.Why = "MusicBrainz knows no release holding the disc with the id " + discId;
  return lookup;
}

} // namespace mb
