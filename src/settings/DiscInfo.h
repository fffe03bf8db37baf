#pragma once
// The disc information that goes into tags, and its per-disc cache "cdinfo.dat" in the
// settings folder: one section per disc identifier.
#include <array>
#include <string>

struct TDiscInfo {
  std::string Artist, Album, Year, Comment;
  int Genre = -1; // position in the genre list minus one; -1 none
  int TitleCount = 0;
  // Titles[n] is the title of track n, 1..100; [0] that of the hidden track before track 1,
  // never cached.
  std::array<std::string, 101> Titles;
  // Where Titles[n] came from, as the rip log names it: "title cache", "CD-Text", "freedb",
  // "MusicBrainz" or "typed"; "" for the "TrackNN" a title without one gets.
  std::array<std::string, 101> TitleSources;
  // TrackArtists[n]: the artist of track n where it is not the disc's artist, else "".
  std::array<std::string, 101> TrackArtists;
  // Isrcs[n]: the ISRC of track n as the disc being ripped carries it, else "". Read from the
  // disc for each rip, never cached.
  std::array<std::string, 101> Isrcs;
  // The artist of track n: its own, else the disc's.
  const std::string &ArtistOf(int track) const;
  // The title of track n as the list holds it, for the tags of the file titled fileTitle:
  // unlike the file's name it keeps every character. fileTitle itself where the list's title
  // is not the one it was made from (by dropping characters), which is then another track's.
  const std::string &TitleOf(int track, const std::string &fileTitle) const;
};

// Read by the jobs and encoders while they run; changed only on the user-interface thread.
extern TDiscInfo DiscInfo;

constexpr int MaxDiscTitles = 100;

// The cache file's full path.
std::string DiscInfoFileName();
// Fills DiscInfo from the cache (defaults for a disc never seen); nothing for an empty id.
// True when the cache holds the disc.
bool LoadDiscInfo(const std::string &id);
// Writes DiscInfo to the disc's section of the cache; nothing for an empty id. False when
// the changed cache could not be written.
bool SaveDiscInfo(const std::string &id);
