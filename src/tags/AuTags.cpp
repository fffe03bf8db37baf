#include "AuTags.h"

#include "Genres.h"
#include "Text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <optional>

namespace {

bool NameLess(const std::string &a, const std::string &b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) <
           std::tolower(static_cast<unsigned char>(y));
  });
}

std::optional<int64_t> IntegerOf(const TAuTagValue &value) {
  return std::visit(
      [](const auto &v) -> std::optional<int64_t> {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_integral_v<T>)
          return v;
        else
          return std::nullopt;
      },
      value);
}

std::optional<std::string> TextOf(const TAuTagValue &value) {
  if (auto *s = std::get_if<std::string>(&value))
    return *s;
  if (auto *w = std::get_if<std::u16string>(&value))
    return plat::Utf16ToUtf8(*w);
  return std::nullopt;
}

// The number a whole text spells in decimal, within the 32-bit range.
std::optional<int64_t> ParseDecimal(const std::string &text) {
  const char *first = text.data();
  const char *last = first + text.size();
  if (first != last && *first == '+')
    ++first;
  int32_t n = 0;
  auto [end, error] = std::from_chars(first, last, n);
  if (error != std::errc() || end != last || first == last)
    return std::nullopt;
  return n;
}

} // namespace

bool IsUnassigned(const TAuTagValue &value) {
  return std::holds_alternative<std::monostate>(value);
}

bool SameTagValue(const TAuTagValue &a, const TAuTagValue &b) {
  if (IsUnassigned(a) || IsUnassigned(b))
    return IsUnassigned(a) && IsUnassigned(b);
  auto na = IntegerOf(a), nb = IntegerOf(b);
  if (na && nb)
    return *na == *nb;
  auto ta = TextOf(a), tb = TextOf(b);
  if (ta && tb)
    return *ta == *tb;
  // A number against a text: equal when the text spells that number.
  auto parsed = ParseDecimal(ta ? *ta : *tb);
  return parsed && *parsed == (na ? *na : *nb);
}

std::string TAuTags::Names(int index) const {
  if (index < 0 || index >= Count())
    return {};
  return Values[index].first;
}

size_t TAuTags::Position(const std::string &name) const {
  auto it = std::lower_bound(
      Values.begin(), Values.end(), name,
      [](const auto &entry, const std::string &n) { return NameLess(entry.first, n); });
  return it - Values.begin();
}

int TAuTags::IndexOf(const std::string &name) const {
  size_t i = Position(name);
  return i < Values.size() && !NameLess(name, Values[i].first) ? static_cast<int>(i) : -1;
}

bool TAuTags::AddTag(const std::string &name, const TAuTagValue &value) {
  if (name.empty())
    return false;
  if (IndexOf(name) < 0)
    Values.insert(Values.begin() + Position(name), {name, value});
  return true;
}

TAuTagValue TAuTags::GetValue(const std::string &name) const {
  int i = IndexOf(name);
  return i < 0 ? TAuTagValue{} : Values[i].second;
}

void TAuTags::SetValue(const std::string &name, const TAuTagValue &value) {
  int i = IndexOf(name);
  if (i < 0 || SameTagValue(Values[i].second, value))
    return;
  Values[i].second = value;
  FEmpty = false;
  FChanged = true;
}

int64_t TAuTags::AsInteger(const std::string &name) const {
  TAuTagValue v = GetValue(name);
  if (auto n = IntegerOf(v))
    return *n;
  if (auto t = TextOf(v))
    return ParseDecimal(*t).value_or(0);
  return 0;
}

std::string TAuTags::AsString(const std::string &name) const {
  TAuTagValue v = GetValue(name);
  if (auto n = IntegerOf(v))
    return std::to_string(*n);
  return TextOf(v).value_or(std::string());
}

std::u16string TAuTags::AsWideString(const std::string &name) const {
  TAuTagValue v = GetValue(name);
  if (auto *w = std::get_if<std::u16string>(&v))
    return *w;
  return plat::Utf8ToUtf16(AsString(name));
}

void TAuTags::Clear() {
  for (auto &entry : Values)
    entry.second = std::monostate{};
  FEmpty = true;
  FChanged = true;
}

void TAuTags::Assign(const TAuTags &source) {
  if (&source == this) // clearing first would lose every value
    return;
  Clear();
  for (const auto &[name, value] : source.Values)
    SetValue(name, value);
}

void TAuTags::AssignTo(TAuTags &dest) const { dest.Assign(*this); }

TCommonTags::TCommonTags() {
  for (const char *name : {"Artist", "Album", "Genre", "Title"})
    AddTag(name, std::u16string());
  for (const char *name : {"Year", "Track"})
    AddTag(name, std::string());
}

const std::string &Id3v1GenreName(int number) {
  // The genre list's names, except where tag sets spell a genre differently.
  static const std::array<std::string, GenreCount> names = [] {
    std::array<std::string, GenreCount> table;
    for (const TGenre &genre : GenreList)
      table[genre.Id3] = genre.Name;
    table[22] = "Death metal";
    table[46] = "Instrumental pop";
    table[47] = "Instrumental rock";
    table[59] = "Gangsta";
    table[81] = "Folk-Rock";
    table[84] = "Fast Fusion";
    table[104] = "Chamber music";
    table[118] = "Rhythmic soul";
    table[127] = "Drum & Bass";
    table[136] = "Christian Gangsta Rap";
    return table;
  }();
  static const std::string none;
  return number >= 0 && number < GenreCount ? names[number] : none;
}

TId3v1Tags::TId3v1Tags() {
  for (const char *name : {"title", "artist", "album", "year", "comment", "track"})
    AddTag(name, std::monostate{});
  AddTag("genre", uint8_t{12});
}

std::string TId3v1Tags::Artist() const {
  return TextOf(GetValue("artist")).value_or(std::string());
}

uint8_t TId3v1Tags::GenreId() const {
  int64_t id = AsInteger("genre");
  return id >= 0 && id < GenreCount ? static_cast<uint8_t>(id) : 12;
}

void TId3v1Tags::SetGenre(const std::string &v) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  auto first = std::find_if_not(v.begin(), v.end(), blank);
  auto last = std::find_if_not(v.rbegin(), std::make_reverse_iterator(first), blank).base();
  std::string name(first, last);
  for (int id = 0; id < GenreCount; ++id) {
    if (plat::SameText(Id3v1GenreName(id), name)) {
      SetGenreId(static_cast<uint8_t>(id));
      return;
    }
  }
}

TId3v2Tags::TId3v2Tags() {
  for (const char *name :
       {"TAL", "TALB", "TP1", "TPE1", "TCO", "TCON", "TT2", "TIT2", "TRK", "TRCK", "TYE", "TYER",
        "COM", "COMM", "TCM", "TCOM", "TEN", "TENC", "TCR", "TCOP", "TLA", "TLAN", "WXX", "WXXX"})
    AddTag(name, std::monostate{});
}

TAPEv2Tags::TAPEv2Tags() {
  for (const char *name :
       {"Artist",       "Composer",        "Album",    "Debut album", "Publisher",
        "Conductor",    "Copyright",       "ISBN",     "ISRC",        "EAN/UPC",
        "LC",           "Catalog",         "Language", "Genre",       "Year",
        "Record Date",  "Record Location", "File",     "Related",     "Abstract",
        "Bibliography", "Track",           "Title",    "Subtitle",    "Comment"})
    AddTag(name, std::monostate{});
}

TVorbisTags::TVorbisTags() {
  for (const char *name :
       {"album", "artist", "date", "genre", "title", "comment", "tracknumber", "tracktotal",
        "discnumber", "isrc", "replaygain_reference_loudness", "replaygain_track_gain",
        "replaygain_track_peak", "replaygain_album_gain", "replaygain_album_peak"})
    AddTag(name, std::monostate{});
}
