#include "TrackId3Tag.h"

#include "DiscInfo.h"
#include "Genres.h"
#include "Id3Tag.h"

std::uint16_t WriteTrackId3Tag(const std::string &fileTitle, int track, const std::string &mp3) {
  Tid3tag tag;
  tag.SetTitle(DiscInfo.TitleOf(track, fileTitle));
  tag.SetArtist(DiscInfo.Artist);
  tag.SetAlbum(DiscInfo.Album);
  tag.SetYear(DiscInfo.Year);
  tag.SetComment(DiscInfo.Comment);
  tag.Genre = GenreToId3(DiscInfo.Genre + 1);
  tag.SetTrack(static_cast<std::uint8_t>(track));
  return tag.WriteTag(mp3);
}
