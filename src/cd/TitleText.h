#pragma once
// Titles that come from outside (a web service, the disc's CD-Text) as the program keeps
// them: they end up in file names and tags, so nothing in them may steer a terminal or a file
// name, and none grows without bound.
#include <cstddef>
#include <string>
#include <string_view>

namespace cddb {

// The longest value a freedb field may keep (titles, year, genre: they end up in file names).
constexpr std::size_t MaxFieldBytes = 255;

// Cuts text to at most max bytes without splitting a UTF-8 character.
void CutUtf8(std::string &text, std::size_t max);
// Each byte read as Latin-1.
std::string Latin1ToUtf8(std::string_view text);
// Valid UTF-8 as it is; any other byte read as Latin-1.
std::string ToUtf8(const std::string &text);

} // namespace cddb

// The text without control characters (C0, DEL and C1), blanks trimmed at both ends, cut to
// at most cddb::MaxFieldBytes bytes without splitting a UTF-8 character.
std::string TitleText(std::string_view raw);
