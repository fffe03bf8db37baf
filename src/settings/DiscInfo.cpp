#include "DiscInfo.h"

#include "Global.h"
#include "IniFile.h"

#include <algorithm>

TDiscInfo DiscInfo;

std::string DiscInfoFileName() { return GetSettingsFolder() + "cdinfo.dat"; }

const std::string &TDiscInfo::ArtistOf(int track) const {
  const bool own = track >= 1 && track <= MaxDiscTitles && !TrackArtists[track].empty();
  return own ? TrackArtists[track] : Artist;
}

const std::string &TDiscInfo::TitleOf(int track, const std::string &fileTitle) const {
  if (track < 1 || track > MaxDiscTitles)
    return fileTitle;
  // fileTitle must be what is left of the title after dropping characters.
  const std::string &title = Titles[track];
  std::size_t at = 0;
  for (char c : fileTitle) {
    if ((at = title.find(c, at)) == std::string::npos)
      return fileTitle;
    ++at;
  }
  return title;
}

namespace {
std::string ArtistKey(int track) { return "Artist" + std::to_string(track); }
} // namespace

bool LoadDiscInfo(const std::string &id) {
  if (id.empty())
    return false;
  TIniFile ini(DiscInfoFileName());
  CheckSettingsFile(ini);
  TDiscInfo &d = DiscInfo;
  d.Artist = ini.ReadString(id, "Artist", "");
  d.Album = ini.ReadString(id, "Album", "");
  d.Year = ini.ReadString(id, "Year", "");
  d.Comment = ini.ReadString(id, "Comment", "");
  d.Genre = ini.ReadInteger(id, "Genre", -1);
  // A damaged count must not reach past the titles held.
  d.TitleCount = std::clamp(ini.ReadInteger(id, "TrackNumber", MaxDiscTitles), 0, MaxDiscTitles);
  for (int n = 1; n <= MaxDiscTitles; ++n) {
    std::string title = n <= d.TitleCount ? ini.ReadString(id, std::to_string(n), "") : "";
    // Titles past the count are cleared so a previous disc's titles never show up here.
    d.Titles[n] = title.empty() && n <= d.TitleCount ? "Track" + TwoDigits(n) : title;
    d.TitleSources[n] = title.empty() ? "" : "title cache";
    d.TrackArtists[n] = n <= d.TitleCount ? ini.ReadString(id, ArtistKey(n), "") : "";
  }
  return ini.SectionExists(id);
}

bool SaveDiscInfo(const std::string &id) {
  std::string fileName = DiscInfoFileName();
  if (id.empty())
    return true;
  TIniFile ini(fileName);
  CheckSettingsFile(ini);
  const TDiscInfo &d = DiscInfo;
  ini.WriteString(id, "Artist", d.Artist);
  ini.WriteString(id, "Album", d.Album);
  ini.WriteString(id, "Year", d.Year);
  ini.WriteString(id, "Comment", d.Comment);
  ini.WriteInteger(id, "Genre", d.Genre);
  int count = std::clamp(d.TitleCount, 0, MaxDiscTitles);
  ini.WriteInteger(id, "TrackNumber", count);
  for (int n = 1; n <= count; ++n) {
    ini.WriteString(id, std::to_string(n), d.Titles[n]);
    // Only tracks with an artist of their own get the key: older files stay as they were.
    if (!d.TrackArtists[n].empty() || ini.ValueExists(id, ArtistKey(n)))
      ini.WriteString(id, ArtistKey(n), d.TrackArtists[n]);
  }
  return ini.UpdateFile();
}
