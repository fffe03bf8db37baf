#include "OggComments.h"

#include "AuTags.h"
#include "DiscInfo.h"
#include "Genres.h"
#include "Text.h"

void FillOggComments(TVorbisTags &tags, const std::string &title, int track) {
  tags.Clear();
  tags.SetArtist(plat::Utf8ToUtf16(DiscInfo.Artist));
  tags.SetAlbum(plat::Utf8ToUtf16(DiscInfo.Album));
  tags.SetDate(plat::Utf8ToUtf16(DiscInfo.Year));
  tags.SetGenre(plat::Utf8ToUtf16(std::to_string(GenreToId3(DiscInfo.Genre + 1))));
  tags.SetTitle(plat::Utf8ToUtf16(title));
  tags.SetTrack(plat::Utf8ToUtf16(std::to_string(track)));
  tags.SetComment(plat::Utf8ToUtf16(DiscInfo.Comment));
}
