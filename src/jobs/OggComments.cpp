#include "OggComments.h"

#include "AuTags.h"
#include "DiscInfo.h"
#include "Genres.h"
#include "Text.h"

namespace {

void FillDiscComments(TVorbisTags &tags, const std::string &genre, const std::string &title,
                      int track) {
  tags.Clear();
  tags.SetArtist(plat::Utf8ToUtf16(DiscInfo.ArtistOf(track)));
  tags.SetAlbum(plat::Utf8ToUtf16(DiscInfo.Album));
  tags.SetDate(plat::Utf8ToUtf16(DiscInfo.Year));
  tags.SetGenre(plat::Utf8ToUtf16(genre));
  tags.SetTitle(plat::Utf8ToUtf16(title));
  tags.SetTrack(plat::Utf8ToUtf16(std::to_string(track)));
  tags.SetComment(plat::Utf8ToUtf16(DiscInfo.Comment));
}

} // namespace

void FillOggComments(TVorbisTags &tags, const std::string &title, int track) {
  FillDiscComments(tags, std::to_string(GenreToId3(DiscInfo.Genre + 1)), title, track);
}

void FillTrackComments(TVorbisTags &tags, const std::string &title, int track, int trackTotal) {
  const bool genre = DiscInfo.Genre >= 0 && DiscInfo.Genre < GenreCount;
  FillDiscComments(tags, genre ? GenreList[DiscInfo.Genre].Name : "", title, track);
  if (trackTotal > 0)
    tags.SetTrackTotal(plat::Utf8ToUtf16(std::to_string(trackTotal)));
}
