#include "OggComments.h"

#include "AuTags.h"
#include "DiscInfo.h"
#include "Genres.h"
#include "Text.h"

void FillTrackComments(TVorbisTags &tags, const std::string &fileTitle, int track, int trackTotal) {
  const bool genre = DiscInfo.Genre >= 0 && DiscInfo.Genre < GenreCount;
  tags.Clear();
  tags.SetArtist(plat::Utf8ToUtf16(DiscInfo.ArtistOf(track)));
  tags.SetAlbum(plat::Utf8ToUtf16(DiscInfo.Album));
  tags.SetDate(plat::Utf8ToUtf16(DiscInfo.Year));
  tags.SetGenre(plat::Utf8ToUtf16(genre ? GenreList[DiscInfo.Genre].Name : ""));
  tags.SetTitle(plat::Utf8ToUtf16(DiscInfo.TitleOf(track, fileTitle)));
  tags.SetTrack(plat::Utf8ToUtf16(std::to_string(track)));
  tags.SetComment(plat::Utf8ToUtf16(DiscInfo.Comment));
  if (track >= 0 && track <= MaxDiscTitles && !DiscInfo.Isrcs[track].empty())
    tags.SetIsrc(plat::Utf8ToUtf16(DiscInfo.Isrcs[track]));
  if (trackTotal > 0)
    tags.SetTrackTotal(plat::Utf8ToUtf16(std::to_string(trackTotal)));
}
