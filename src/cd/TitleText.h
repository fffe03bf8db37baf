#pragma once
// Titles that come from outside (a web service, the disc's CD-Text) as the program keeps
// them: they end up in file names and tags, so nothing in them may steer a terminal or a file
// name, and none grows without bound.
#include <string>
#include <string_view>

// The text without control characters (C0, DEL and C1), blanks trimmed at both ends, cut to
// at most cddb::MaxFieldBytes bytes without splitting a UTF-8 character.
std::string TitleText(std::string_view raw);
