#include "VorbisComments.h"

#include "AuTags.h"
#include "Text.h"

std::vector<std::string> VorbisCommentEntries(const TVorbisTags &tags) {
  std::vector<std::string> entries;
  for (int i = 0; i < tags.Count(); ++i) {
    const std::string name = tags.Names(i);
    const std::string value = tags.AsString(name);
    if (!value.empty())
      entries.push_back(plat::UpperCase(name) + "=" + value);
  }
  return entries;
}

void ReadVorbisComment(std::string_view entry, TVorbisTags &tags) {
  const std::size_t equals = entry.find('=');
  if (equals == std::string_view::npos)
    return;
  tags.SetValue(plat::LowerCase(std::string(entry.substr(0, equals))),
                plat::Utf8ToUtf16(std::string(entry.substr(equals + 1))));
}

void CommonTagsOf(const TVorbisTags &tags, TCommonTags &common) {
  common.Clear();
  common.SetArtist(tags.Artist());
  common.SetAlbum(tags.Album());
  common.SetTitle(tags.Title());
  common.SetYear(plat::Utf16ToUtf8(tags.Date()));
  common.SetTrack(plat::Utf16ToUtf8(tags.Track()));
  common.SetGenre(tags.Genre());
}
