#include "TitleText.h"

#include "Cddb.h"

std::string TitleText(std::string_view raw) {
  std::string text;
  text.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const auto c = static_cast<unsigned char>(raw[i]);
    // C1 controls are U+0080..U+009F, in UTF-8 the bytes C2 80..C2 9F.
    if (c == 0xC2 && i + 1 < raw.size() && static_cast<unsigned char>(raw[i + 1]) <= 0x9F &&
        static_cast<unsigned char>(raw[i + 1]) >= 0x80) {
      ++i;
      continue;
    }
    if (c >= 0x20 && c != 0x7F)
      text += static_cast<char>(c);
  }
  text.erase(0, text.find_first_not_of(' '));
  text.erase(text.find_last_not_of(' ') + 1);
  cddb::CutUtf8(text, cddb::MaxFieldBytes);
  return text;
}
