#include "DiscText.h"

#include "TitleText.h"

#include <cdio/cdtext.h>
#include <cdio/disc.h>

namespace {

// libcdio reads a CUE sheet's texts as Latin-1, so a sheet written in UTF-8 (as most are
// today) comes back encoded twice; undone when the bytes it stands for are UTF-8.
std::string OnceEncoded(const std::string &text) {
  std::string bytes;
  bool high = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      bytes += static_cast<char>(c);
    } else if ((c == 0xC2 || c == 0xC3) && i + 1 < text.size()) {
      bytes += static_cast<char>(((c & 0x03) << 6) | (text[++i] & 0x3F));
      high = true;
    } else {
      return text; // a character beyond Latin-1: not a text read as Latin-1
    }
  }
  return high && cddb::ToUtf8(bytes) == bytes ? bytes : text;
}

} // namespace

TDiscText ReadDiscText(CdIo_t *cdio, const TDiscLayout &disc) {
  TDiscText text;
  const cdtext_t *cdtext = cdio_get_cdtext(cdio);
  const auto field = [cdtext](cdtext_field_t name, int track) {
    const char *value =
        cdtext ? cdtext_get_const(cdtext, name, static_cast<track_t>(track)) : nullptr;
    return value ? TitleText(OnceEncoded(value)) : "";
  };
  text.FirstTrack = disc.FirstTrack;
  text.Album = field(CDTEXT_FIELD_TITLE, 0); // track 0 holds the disc's own texts
  text.Performer = field(CDTEXT_FIELD_PERFORMER, 0);
  for (std::size_t i = 0; i < disc.Tracks.size(); ++i) {
    text.Titles.push_back(field(CDTEXT_FIELD_TITLE, disc.FirstTrack + static_cast<int>(i)));
    text.Performers.push_back(field(CDTEXT_FIELD_PERFORMER, disc.FirstTrack + static_cast<int>(i)));
  }
  return text;
}
