#include "TitleText.h"

namespace cddb {

void CutUtf8(std::string &text, std::size_t max) {
  if (text.size() <= max)
    return;
  std::size_t n = max;
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
    --n;
  text.resize(n);
}

std::string Latin1ToUtf8(std::string_view text) {
  std::string utf8;
  for (unsigned char c : text) {
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else {
      utf8 += static_cast<char>(0xC0 | c >> 6);
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return utf8;
}

namespace {

// Length of the valid UTF-8 character at text[i], 0 when there is none.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
  const unsigned char c = text[i];
  const std::size_t n = c < 0x80         ? 1
                        : (c >> 5) == 6  ? 2
                        : (c >> 4) == 14 ? 3
                        : (c >> 3) == 30 ? 4
                                         : 0;
  if (n == 0 || i + n > text.size())
    return 0;
  for (std::size_t k = 1; k < n; ++k)
    if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
      return 0;
  // Overlong forms and code points past U+10FFFF are not UTF-8.
  if ((n == 2 && c < 0xC2) ||
      (n == 3 && c == 0xE0 && static_cast<unsigned char>(text[i + 1]) < 0xA0) ||
      (n == 4 && (c > 0xF4 || (c == 0xF0 && static_cast<unsigned char>(text[i + 1]) < 0x90))))
    return 0;
  return n;
}

} // namespace

std::string ToUtf8(const std::string &text) {
  std::string utf8;
  utf8.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (const std::size_t n = Utf8Length(text, i)) {
      utf8.append(text, i, n);
      i += n;
    } else {
      utf8 += Latin1ToUtf8(std::string_view(text).substr(i, 1));
      ++i;
    }
  }
  return utf8;
}

} // namespace cddb

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
